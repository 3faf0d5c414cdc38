// Faults the reliability work found, each cut down to what matters, so they stay fixed.

#include "InstallScene.h"
#include "TestFiles.h"
#include "install/CameraLineTransfer.h"
#include "install/FileOps.h"
#include "install/InstallError.h"
#include "install/StagedMapUpdate.h"

#include <gtest/gtest.h>

namespace vornak::test {
namespace {

struct CameraFinding {
    const char* label;
    const char* script;
    const char* cameraLine;
};

void PrintTo(const CameraFinding& c, std::ostream* out)
{
    *out << c.label;
}

// A call on the line that opens or closes main (behind a comment) was skipped altogether,
// so a script whose only call stood there gave no camera line at all.
const CameraFinding kCameraFindings[] = {
    {"CallOnTheLineOpeningMain",
     "function main takes nothing returns nothing // CALL SETCAMERABOUNDS(1, 2)\r\n    call Foo()\r\nendfunction\r\n",
     "function main takes nothing returns nothing // CALL SETCAMERABOUNDS(1, 2)"},
    {"CallOnTheLineClosingMain",
     "function main takes nothing returns nothing\r\n    call Foo()\r\nendfunction // call SetCameraBounds(3)\r\n",
     "endfunction // call SetCameraBounds(3)"},
    {"CallInsideMainStillWins",
     "function main takes nothing returns nothing // call SetCameraBounds(1)\r\n"
     "    call SetCameraBounds(2)\r\nendfunction\r\n",
     "    call SetCameraBounds(2)"},
};

class CameraLineFinding : public ::testing::TestWithParam<CameraFinding> {};

TEST_P(CameraLineFinding, IsFound)
{
    TempDir dir;
    WriteText(dir / "war3map.j", GetParam().script);
    EXPECT_EQ(FindCameraLine(dir / "war3map.j"), GetParam().cameraLine);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CameraLineFinding, ::testing::ValuesIn(kCameraFindings),
                         [](const auto& info) { return std::string(info.param.label); });

// Found by fault injection: when closing the probe file (the first write beside the map)
// failed, the empty staged copy stayed beside the map.
TEST(FaultFinding, FailedCloseOfTheWriteProbeLeavesNothingBesideTheMap)
{
    InstallScene scene(TypicalMapBytes(16 * 1024));
    fileops::SetFaultHook([&](std::string_view operation, const std::filesystem::path& path) {
        if (operation == "close" && path == scene.stagedPath())
            throw InstallError("Cannot finish writing: injected");
    });
    const auto outcome = scene.Install();
    fileops::SetFaultHook(nullptr);
    EXPECT_FALSE(outcome.installed);
    EXPECT_EQ(scene.ExplainIfNotUntouched({}), "");
}

} // namespace
} // namespace vornak::test
