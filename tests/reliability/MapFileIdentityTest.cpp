// What the map file is must outlast an install, and a power cut during one: every file put in
// place reaches the disk before its rename and its folder after; a linked map changes where
// the link leads; owner and group stay; the system judges who may write; files of the user's
// named like ours stay untouched; and what is removed or replaced lets go of its name at once.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "install/MapBackup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;
using test::PrintTo;

using Call = std::pair<std::string, fs::path>; // fault point, file

// The backup reaches the disk before its rename and its folder after, and one whose flush fails
// is not made (FaultInjectionTest holds every file the install puts in place to the same).
TEST(PutInPlace, TheBackupIsFlushedBeforeItsRenameItsFolderAfterAndAFailedFlushLeavesNone)
{
    InstallScene scene(MapUnlikeTheTemplates().Build());
    std::vector<Call> calls;
    fileops::SetFaultHook([&](std::string_view point, const fs::path& path) { calls.emplace_back(point, path); });
    const auto installed = scene.Install(true);
    fileops::SetFaultHook(nullptr);
    ASSERT_TRUE(installed.installed) << installed.error;
    const auto rename = std::find(calls.begin(), calls.end(), Call("rename", scene.backupPath()));
    ASSERT_TRUE(rename != calls.end() && rename != calls.begin() && rename + 1 != calls.end());
    const fs::path temp = (rename - 1)->second;
    EXPECT_EQ((rename - 1)->first, "flush");
    EXPECT_EQ(temp.parent_path(), scene.mapFolder());
    EXPECT_NE(temp, scene.backupPath());
    EXPECT_EQ(*(rename + 1), Call("flush-folder", scene.mapFolder()));

    scene.Reset();
    fileops::SetFaultHook([&](std::string_view point, const fs::path& path) {
        if (point == "flush" && path == temp)
            throw FileError(std::make_error_code(std::errc::io_error), "Cannot flush the backup (injected)");
    });
    const auto failed = scene.Install(true);
    fileops::SetFaultHook(nullptr);
    EXPECT_NE(failed.error.find("(injected)"), std::string::npos) << failed.error;
    EXPECT_EQ(scene.ExplainIfNotUntouched(), "");
}

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

struct Removal {
    const char* label;
    void (*make)(const fs::path&);
    bool replace; // RenameReplacing with a new file, else Remove or RemoveEmptyFolder
};

const Removal kRemovals[] = {
    {"BigFileReplaced", [](const fs::path& p) { WriteBytes(p, RandomBytes(std::size_t{3} << 20, 7)); }, true},
    {"BigFileRemoved", [](const fs::path& p) { WriteBytes(p, RandomBytes(std::size_t{3} << 20, 7)); }, false},
    {"SmallFileReplaced", [](const fs::path& p) { WriteText(p, "small"); }, true},
    {"FolderRemoved", [](const fs::path& p) { fs::create_directory(p); }, false},
    {"PipeReplaced", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, true},
};

class RemovedData : public ::testing::TestWithParam<Removal> {};

// The blocks of a big file or a folder are freed on another thread, where a disk that erases
// freed blocks would keep the install waiting: the name must still change at once, and every
// handle held for that must be let go.
TEST_P(RemovedData, NameChangesAtOnceAndNothingStaysOpen)
{
    TempDir dir;
    const fs::path target = dir / "target";
    GetParam().make(target);
    const std::size_t before = OpenDescriptors();
    if (GetParam().replace) {
        WriteText(dir / "new", "new");
        fileops::RenameReplacing(dir / "new", target);
        EXPECT_EQ(ReadText(target), "new");
    } else if (fs::is_directory(target)) {
        fileops::RemoveEmptyFolder(target);
    } else {
        fileops::Remove(target);
    }
    if (!GetParam().replace) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(target)));
    }
    for (int waited = 0; waited < 500 && OpenDescriptors() > before; ++waited)
        ::usleep(10'000);
    EXPECT_EQ(OpenDescriptors(), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RemovedData, ::testing::ValuesIn(kRemovals), kRowLabel);

// Ids no one on a test machine has; 4343 is the group of the map of another owner.
constexpr uid_t kOwner = 4242, kOtherUser = 4244;
constexpr gid_t kGroup = 4343;

// One install by install_child as kOtherUser, in kGroup alone. Returns its error.
std::string InstallAsOtherUser(const InstallScene& scene, const fs::path& map)
{
    const std::string ids = std::to_string(kOtherUser) + " --regid=" + std::to_string(kGroup) +
        " --groups=" + std::to_string(kGroup);
    const std::string command = "setpriv --reuid=" + ids + " '" VORNAK_INSTALL_CHILD "' '" + scene.appDir().string() +
        "' '" + map.string() + "' 2>&1";
    FILE* child = ::popen(command.c_str(), "r");
    std::string output;
    for (int c; child && (c = std::fgetc(child)) != EOF;)
        output += static_cast<char>(c);
    const int status = child ? ::pclose(child) : -1;
    return status == 0 ? "" : command + ": " + output;
}

struct Situation {
    const char* label;
    bool needsRoot;
    bool otherUser; // installs as kOtherUser
    fs::path (*arrange)(const InstallScene&); // returns the path the user picks
    void (*check)(const InstallScene&, const MapEntries& before, const fs::path& picked, const std::string& error);
};

void ExpectInstalledAlone(const InstallScene& scene, const MapEntries& before, const fs::path&, const std::string& error)
{
    EXPECT_EQ(error, "");
    EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
}

const fs::path kUsersFiles[] = {"map.w3x.vqinstall", "map.w3x.2.vqinstall.tmp", "map_BackUp.w3m.part"};

const Situation kSituations[] = {
    // Picked through a link, with files of the user's beside the map named like ours, and an
    // older backup, which the new one replaces whole.
    {"SymlinkedMapChangesItsTargetAndTheUsersFilesStay", false, false,
     [](const InstallScene& s) {
         for (const auto& name : kUsersFiles)
             WriteText(s.mapFolder() / name, "the user's own " + name.string());
         WriteBytes(s.backupPath(), RandomBytes(s.mapBytes().size() + 100, 1)); // an older, longer backup
         MakeBackup(fileops::Display(s.mapPath()));
         const auto link = s.appDir().parent_path() / "links" / "chosen.w3x";
         fs::create_directories(link.parent_path());
         fs::create_symlink(s.mapPath(), link);
         return link;
     },
     [](const InstallScene& s, const MapEntries& before, const fs::path& link, const std::string& error) {
         EXPECT_EQ(error, "");
         EXPECT_EQ(ExplainIfNotInstalled(s.mapPath(), before, s.dataDir()), "");
         EXPECT_TRUE(fs::is_symlink(link));
         EXPECT_EQ(fs::read_symlink(link), s.mapPath());
         EXPECT_EQ(CaptureFolder(link.parent_path()).size(), 1u) << "something was left beside the link";
         EXPECT_EQ(ReadBytes(s.backupPath()), s.mapBytes());
         for (const auto& name : kUsersFiles)
             EXPECT_EQ(ReadText(s.mapFolder() / name), "the user's own " + name.string());
         EXPECT_EQ(CaptureFolder(s.mapFolder()).size(), 2u + std::size(kUsersFiles)) << "a staged file was left";
     }},
    {"OwnerAndGroupStay", true, false,
     [](const InstallScene& s) {
         EXPECT_EQ(::chown(s.mapPath().c_str(), kOwner, kGroup), 0);
         fs::permissions(s.mapPath(), fs::perms(0640));
         return s.mapPath();
     },
     [](const InstallScene& s, const MapEntries& before, const fs::path& map, const std::string& error) {
         ExpectInstalledAlone(s, before, map, error);
         struct stat status {};
         ASSERT_EQ(::stat(map.c_str(), &status), 0);
         EXPECT_EQ(status.st_uid, kOwner);
         EXPECT_EQ(status.st_gid, kGroup);
         EXPECT_EQ(status.st_mode & 07777, 0640u);
     }},
    // Only its group may write this map, which the system grants and its owner's bits do not.
    {"MapWritableThroughItsGroupInstalls", true, true,
     [](const InstallScene& s) {
         for (const auto& [path, mode] : {std::pair(s.mapFolder(), 0770), std::pair(s.mapPath(), 0460)}) {
             EXPECT_EQ(::chown(path.c_str(), kOwner, kGroup), 0);
             fs::permissions(path, fs::perms(mode));
         }
         for (const auto& item : fs::recursive_directory_iterator(s.appDir()))
             EXPECT_EQ(::chown(item.path().c_str(), kOtherUser, kGroup), 0);
         EXPECT_EQ(::chown(s.appDir().c_str(), kOtherUser, kGroup), 0);
         fs::permissions(s.appDir().parent_path(), fs::perms(0755));
         return s.mapPath();
     },
     [](const InstallScene& s, const MapEntries& before, const fs::path& map, const std::string& error) {
         ExpectInstalledAlone(s, before, map, error);
         struct stat status {};
         ASSERT_EQ(::stat(map.c_str(), &status), 0);
         EXPECT_EQ(status.st_gid, kGroup); // the owner is the installing user's now: only root may give files away
     }},
};

class MapFileIdentity : public ::testing::TestWithParam<Situation> {};

TEST_P(MapFileIdentity, InstallKeepsWhatTheMapFileIs)
{
    const auto& situation = GetParam();
    if (situation.needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "changing owners and ids needs root; run the tests as root to cover this";
    InstallScene scene(MapUnlikeTheTemplates().Build());
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());
    const fs::path picked = situation.arrange(scene);
    const std::string error = situation.otherUser ? InstallAsOtherUser(scene, picked) : RunInstall(scene.appDir(), picked).error;
    situation.check(scene, before, picked, error);
}

INSTANTIATE_TEST_SUITE_P(Situations, MapFileIdentity, ::testing::ValuesIn(kSituations), kRowLabel);

} // namespace
} // namespace vornak::test
