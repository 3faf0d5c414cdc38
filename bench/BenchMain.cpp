// The performance benchmark: installs into generated maps of several sizes and sets the
// time against a plain copy of the map and against the smpq tool doing the same change,
// measures the camera line scan and rewrite, and the growth of a map over repeated installs.
//
//   vornak-bench run --out DIR [--data DIR] [--work DIR] [--runs-scale X] [--only PARTS]
//     PARTS: comma-separated of 0.1MB, 1MB, 8MB, 64MB, scripts, paint
//   vornak-bench install-once APPDIR MAP      (child: one install, prints its time)
//   vornak-bench idle                         (child: does nothing, for the memory floor)

#include "MapGenerator.h"
#include "ProcessRunner.h"
#include "SampleContent.h"
#include "Stats.h"
#include "TimedMapArchive.h"

#include "archive/StormMapArchive.h"
#include "base/FileOps.h"
#include "install/CameraLineTransfer.h"
#include "install/InstallProcedure.h"
#include "install/InstallerUi.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vornak::bench;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The peak resident set of this process since its exec. The child's rusage would not do: a
// spawned child's maximum takes in the parent's memory from before the exec.
long PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}


constexpr std::array<const char*, 6> kDataFiles = {"war3map.j", "war3map.w3u", "war3map.wts",
                                                   "war3map.w3i", "war3map.w3c", "listw3m.txt"};
constexpr std::array<const char*, 5> kEntries = {"war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i",
                                                 "war3map.w3c"};

// Nobody answers: the install runs as it would with the window's boxes closed at once.
class SilentUi : public vornak::InstallerUi {
public:
    void WarnTilesetProblem() override {}
    void ShowBusyPointer() override {}
    void ShowRequiredFile(const std::string&) override {}
    void ShowFinishedPage() override {}
    void Unload() override {}
};

void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteBytes(const fs::path& path, const Bytes& bytes)
{
    WriteText(path, std::string(bytes.begin(), bytes.end()));
}

// Templates of the modification's sizes for when the project's Data folder is not given.
fs::path MakeStandInData(const fs::path& folder)
{
    fs::create_directories(folder);
    Rng rng(99);
    WriteText(folder / "war3map.j", MakeScript(48 * 1024, rng, 2));
    WriteBytes(folder / "war3map.w3u", MakeStructuredData(3000, rng));
    WriteText(folder / "war3map.wts", "STRING 1\r\n{\r\nVQ\r\n}\r\n");
    WriteBytes(folder / "war3map.w3i", MakeMapInfo('L', 1024.0f, 1024.0f));
    WriteBytes(folder / "war3map.w3c", MakeNoise(120, rng));
    std::string list;
    for (const char* name : {"war3map.w3e", "war3map.shd", "war3map.wpm", "war3map.doo", "war3mapUnits.doo",
                             "war3map.w3r", "war3map.mmp", "war3mapMap.blp", "war3mapPreview.tga", "war3map.wtg",
                             "war3map.wct", "war3map.imp", "war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i",
                             "war3map.w3c"})
        list += std::string(name) + "\r\n";
    WriteText(folder / "listw3m.txt", list);
    return folder;
}

// A fresh program folder: a copy of the templates, as a user's unpacked installer.
void FreshAppFolder(const fs::path& appDir, const fs::path& data)
{
    fs::remove_all(appDir);
    fs::create_directories(appDir / "Data");
    for (const char* name : kDataFiles)
        if (fs::exists(data / name))
            fs::copy_file(data / name, appDir / "Data" / name);
}

void FreshCopy(const fs::path& from, const fs::path& to)
{
    fs::remove(to);
    fs::copy_file(from, to);
}

// Waits until the disk holds what the benchmark wrote to set a run up. A user's map was saved
// long before the install; without this, every flush that is timed would also wait for the
// copies just made for it, and the contenders that flush would pay for the ones that do not.
void Settle()
{
    ::sync();
}

std::string Fixed(double value, int digits)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(digits) << value;
    return out.str();
}

double Mb(std::uintmax_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// One timed operation: wall time, and the CPU time it took (user and system), which a busy
// machine disturbs far less.
struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

double CpuMsOfThisProcess()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Series {
    std::vector<double> wall, cpu;
    void Add(const Timing& t)
    {
        wall.push_back(t.wallMs);
        cpu.push_back(t.cpuMs);
    }
};

struct SizeResult {
    std::string label;
    std::string note;
    std::uintmax_t mapBytes = 0;
    std::size_t entries = 0;
    Series copy, durableCopy, smpq, install;
    std::vector<long> installRssKiB;
    std::vector<std::map<std::string, double>> spentMs; // per run: ms per archive operation
    std::uintmax_t afterFirst = 0, afterTen = 0, smpqAfterFirst = 0, smpqAfterTen = 0;
};

struct Options {
    fs::path out;
    fs::path work;
    fs::path data;
    double runsScale = 1.0;
    std::string only; // comma-separated parts to run ("8MB,scripts"); empty runs everything
    std::string self;

    bool Wants(const std::string& part) const
    {
        return only.empty() || ("," + only + ",").find("," + part + ",") != std::string::npos;
    }
};

Timing TimedCopy(const fs::path& from, const fs::path& to)
{
    fs::remove(to);
    const double cpu = CpuMsOfThisProcess();
    const auto start = Clock::now();
    fs::copy_file(from, to);
    return {MsSince(start), CpuMsOfThisProcess() - cpu};
}

// The least a durable all-or-nothing update costs: the copy written beside the map it replaces,
// flushed, renamed over it and its folder flushed, as the install puts its staged map in place.
Timing TimedDurableCopy(const fs::path& from, const fs::path& to)
{
    FreshCopy(from, to);
    auto temp = to;
    temp += ".part";
    fs::remove(temp);
    Settle();
    const double cpu = CpuMsOfThisProcess();
    const auto start = Clock::now();
    fs::copy_file(from, temp);
    vornak::fileops::PutInPlace(temp, to);
    return {MsSince(start), CpuMsOfThisProcess() - cpu};
}

// The map maker's way: smpq -d of the five names (smpq compacts the map after removing),
// then smpq -a of the five files, run in the folder that holds them.
Timing RunSmpq(const fs::path& map, const fs::path& dataDir)
{
    std::vector<std::string> remove = {"smpq", "-d", "-q", map.string()};
    std::vector<std::string> add = {"smpq", "-a", "-q", map.string()};
    for (const char* name : kEntries) {
        remove.emplace_back(name);
        add.emplace_back(name);
    }
    const auto start = Clock::now();
    const auto removed = RunChild(remove, dataDir);
    const auto added = RunChild(add, dataDir);
    const double ms = MsSince(start);
    if (removed.exitCode != 0 || added.exitCode != 0)
        throw std::runtime_error("smpq failed on " + map.string());
    return {ms, removed.cpuMs + added.cpuMs};
}

ChildOutcome RunInstallChild(const Options& options, const fs::path& appDir, const fs::path& map)
{
    auto outcome = RunChild({options.self, "install-once", appDir.string(), map.string()});
    if (outcome.exitCode != 0)
        throw std::runtime_error("the install into " + map.string() + " failed: " + outcome.output);
    return outcome;
}

double Field(const std::string& output, const std::string& name)
{
    const auto at = output.find(name + "=");
    if (at == std::string::npos)
        throw std::runtime_error("no " + name + " from the install child: " + output);
    return std::stod(output.substr(at + name.size() + 1));
}

// "spent <operation> <ms> <calls>" lines of the install child.
std::map<std::string, double> SpentByOperation(const std::string& output)
{
    std::map<std::string, double> spent;
    std::istringstream lines(output);
    std::string word, operation;
    double ms = 0;
    int calls = 0;
    while (lines >> word)
        if (word == "spent" && lines >> operation >> ms >> calls)
            spent[operation] = ms;
    return spent;
}

// Copies a program folder as it stands, its rewritten templates included, with their times:
// the map records the time of each file added to it, so a copy with new times would not be
// the folder that installed the map.
void CopyAppFolder(const fs::path& from, const fs::path& to)
{
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
    for (const auto& item : fs::recursive_directory_iterator(from))
        if (item.is_regular_file())
            fs::last_write_time(to / fs::relative(item.path(), from), item.last_write_time());
}

// first: each run installs into a fresh copy of the generated map, with fresh templates.
// reinstall: each run installs again into a copy of a map that already holds the
// modification, from the program folder that installed it (its templates carry that map's values).
SizeResult MeasureScenario(const Options& options, const GeneratedMap& map, bool reinstall, const std::string& label,
                           const std::string& note, int runs)
{
    SizeResult result;
    result.label = label;
    result.note = note;
    result.entries = map.entries;

    const fs::path copyTarget = options.work / "copy.w3m";
    const fs::path smpqMap = options.work / "smpq.w3m";
    const fs::path appDir = options.work / "app";
    const fs::path installMap = options.work / "install.w3m";
    const fs::path baseMap = options.work / "base.w3m";
    const fs::path baseApp = options.work / "base-app";

    FreshCopy(map.file, baseMap);
    FreshAppFolder(baseApp, options.data);
    if (reinstall)
        RunInstallChild(options, baseApp, baseMap);
    result.mapBytes = fs::file_size(baseMap);

    for (int run = 0; run < runs; ++run) {
        std::cerr << "[bench] " << label << " run " << run + 1 << "/" << runs << "\n";
        // The three take turns within a run so that a busy moment of the machine falls on all.
        Settle();
        result.copy.Add(TimedCopy(baseMap, copyTarget));
        result.durableCopy.Add(TimedDurableCopy(baseMap, copyTarget));

        FreshCopy(baseMap, smpqMap);
        CopyAppFolder(baseApp, appDir);
        Settle();
        result.smpq.Add(RunSmpq(smpqMap, appDir / "Data"));

        FreshCopy(baseMap, installMap);
        CopyAppFolder(baseApp, appDir);
        Settle();
        const auto child = RunInstallChild(options, appDir, installMap);
        result.install.Add({Field(child.output, "install_ms"), Field(child.output, "cpu_ms")});
        result.installRssKiB.push_back(static_cast<long>(Field(child.output, "peak_kib")));
        result.spentMs.push_back(SpentByOperation(child.output));
    }

    if (!reinstall) {
        // Growth: ten installs in a row into one map, from one program folder, as a user would.
        FreshCopy(baseMap, installMap);
        CopyAppFolder(baseApp, appDir);
        for (int n = 1; n <= 10; ++n) {
            RunInstallChild(options, appDir, installMap);
            if (n == 1)
                result.afterFirst = fs::file_size(installMap);
        }
        result.afterTen = fs::file_size(installMap);

        FreshCopy(baseMap, smpqMap);
        CopyAppFolder(baseApp, appDir);
        for (int n = 1; n <= 10; ++n) {
            RunSmpq(smpqMap, appDir / "Data");
            if (n == 1)
                result.smpqAfterFirst = fs::file_size(smpqMap);
        }
        result.smpqAfterTen = fs::file_size(smpqMap);
    }

    for (const auto& path : {copyTarget, smpqMap, installMap, baseMap})
        fs::remove(path);
    fs::remove_all(appDir);
    fs::remove_all(baseApp);
    return result;
}

struct Throughput {
    std::uintmax_t scriptBytes = 0;
    std::vector<double> findMs, replaceMs;
};

Throughput MeasureScripts(const Options& options, std::size_t bytes, int runs)
{
    std::cerr << "[bench] camera line scan and rewrite on " << Mb(bytes) << " MB\n";
    Rng rng(7);
    const fs::path script = options.work / "big-war3map.j";
    const fs::path templ = options.work / "big-template.j";
    const fs::path templCopy = options.work / "big-template.j.orig";
    const fs::path working = options.work / "big-template.j2";
    WriteText(script, MakeScript(bytes, rng, 1));
    WriteText(templCopy, MakeScript(bytes, rng, 3));

    Throughput result;
    result.scriptBytes = fs::file_size(script);
    std::string line;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        line = vornak::FindCameraLine(script);
        result.findMs.push_back(MsSince(start));
        if (line != SampleCameraLine())
            throw std::runtime_error("the scan found the wrong camera line");

        FreshCopy(templCopy, templ);
        start = Clock::now();
        vornak::ReplaceCameraLines(templ, working, line);
        result.replaceMs.push_back(MsSince(start));
    }
    for (const auto& path : {script, templ, templCopy})
        fs::remove(path);
    return result;
}

#ifdef VORNAK_FIRSTPAINT_EXE
// The window's start-up, offscreen: one warm-up start, then the timed ones.
std::vector<double> MeasureFirstPaint(const Options& options, int runs)
{
    std::cerr << "[bench] window start-up to first paint\n";
    const fs::path appDir = options.work / "paint-app";
    FreshAppFolder(appDir, options.data);
    if (fs::exists(VORNAK_BANNER))
        fs::copy_file(VORNAK_BANNER, appDir / "banner.gif");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::vector<double> ms;
    for (int run = -1; run < runs; ++run) {
        const auto spawn = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch());
        setenv("VORNAK_SPAWN_NS", std::to_string(spawn.count()).c_str(), 1);
        const auto child = RunChild({VORNAK_FIRSTPAINT_EXE, appDir.string()});
        const auto at = child.output.find("first_paint_ms=");
        if (child.exitCode != 0 || at == std::string::npos)
            throw std::runtime_error("the window did not paint: " + child.output);
        if (run >= 0)
            ms.push_back(std::stod(child.output.substr(at + 15)));
    }
    unsetenv("VORNAK_SPAWN_NS");
    fs::remove_all(appDir);
    return ms;
}
#endif

std::string MachineLine()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string text;
    std::string model = "unknown CPU";
    while (std::getline(cpuinfo, text))
        if (text.rfind("model name", 0) == 0) {
            model = text.substr(text.find(':') + 2);
            break;
        }
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

std::string Verdict(bool met)
{
    return met ? "met" : "**missed**";
}

void WriteInstallTable(std::ostringstream& md, const std::vector<SizeResult>& sizes, bool cpu)
{
    md << "| map | plain copy ms | copy + flush ms | smpq ms | install ms | install / copy | install / (copy + flush) | "
          "install / smpq | limit 3 x copy + 25 ms | targets (8 and 64 MiB) |\n|---|---|---|---|---|---|---|---|---|---|\n";
    for (const auto& s : sizes) {
        const auto& copy = cpu ? s.copy.cpu : s.copy.wall;
        const auto& durable = cpu ? s.durableCopy.cpu : s.durableCopy.wall;
        const auto& smpq = cpu ? s.smpq.cpu : s.smpq.wall;
        const auto& install = cpu ? s.install.cpu : s.install.wall;
        const double limit = 3 * Median(copy) + 25;
        const bool targeted = s.label.rfind("8MB", 0) == 0 || s.label.rfind("64MB", 0) == 0;
        md << "| " << s.label << " | " << Fixed(Median(copy), 1) << " | " << Fixed(Median(durable), 1) << " | "
           << Fixed(Median(smpq), 1) << " | " << Fixed(Median(install), 1) << " | "
           << Fixed(Median(Ratios(install, copy)), 2) << " | " << Fixed(Median(Ratios(install, durable)), 2) << " | "
           << Fixed(Median(Ratios(install, smpq)), 2) << " | " << Fixed(limit, 1) << " | "
           << (targeted ? Verdict(Median(install) <= limit) + " / " + Verdict(Median(install) < Median(smpq)) : "-")
           << " |\n";
    }
}

void WriteReport(const Options& options, const std::vector<SizeResult>& sizes, const Throughput& scripts,
                 long idleRssKiB, const std::vector<double>& firstPaintMs)
{
    std::ostringstream md;
    md << "Machine: " << MachineLine() << ". Each figure is the median of the runs; each ratio is the median "
       << "of the ratios taken run by run (one run times the copy, the copy + flush, the smpq sequence and the "
       << "install one after the other).\n\n";

    if (!sizes.empty()) {
        md << "### Maps\n\n| map | file size | entries | runs | what the install does |\n|---|---|---|---|---|\n";
        for (const auto& s : sizes)
            md << "| " << s.label << " | " << s.mapBytes << " bytes (" << Fixed(Mb(s.mapBytes), 2) << " MiB) | "
               << s.entries << " | " << s.copy.wall.size() << " | " << s.note << " |\n";

        md << "\n### Install against plain copy and smpq: wall-clock time\n\n";
        WriteInstallTable(md, sizes, false);
        md << "\nTargets column: \"3 x copy + 25 ms\" / \"faster than smpq\". \"copy + flush\" writes the copy "
              "beside a copy of the map, flushes it to the disk, renames it over that copy and flushes the folder, "
              "as the install puts its staged map in place: the least a durable all-or-nothing update costs. The "
              "plain copy and smpq flush nothing.\n";
        md << "\n### The same runs in CPU time (user + system)\n\nWall-clock time on a shared machine includes "
              "waiting for a core; CPU time does not, and shows what the work itself costs.\n\n";
        WriteInstallTable(md, sizes, true);

        md << "\n### Where the install's time goes (wall-clock ms, medians; archive calls through StormLib)\n\n"
              "| map | install | ";
        std::vector<std::string> operations;
        for (const auto& s : sizes)
            for (const auto& run : s.spentMs)
                for (const auto& [operation, ms] : run)
                    if (std::find(operations.begin(), operations.end(), operation) == operations.end())
                        operations.push_back(operation);
        std::sort(operations.begin(), operations.end());
        for (const auto& operation : operations)
            md << operation << " | ";
        md << "everything else |\n|---|---|";
        for (std::size_t i = 0; i <= operations.size(); ++i)
            md << "---|";
        md << "\n";
        for (const auto& s : sizes) {
            md << "| " << s.label << " | " << Fixed(Median(s.install.wall), 1) << " | ";
            std::vector<double> rest = s.install.wall;
            for (const auto& operation : operations) {
                // An operation a run did not call (compaction) counts 0 there.
                std::vector<double> ms;
                for (std::size_t i = 0; i < s.spentMs.size(); ++i) {
                    const auto found = s.spentMs[i].find(operation);
                    ms.push_back(found == s.spentMs[i].end() ? 0.0 : found->second);
                    rest[i] -= ms.back();
                }
                md << Fixed(Median(ms), 1) << " | ";
            }
            md << Fixed(Median(rest), 1) << " |\n";
        }
        md << "\n\"open\" opens the map and checks its structure; \"stage\" writes the staged map without the five "
              "entries in one pass and opens it for changes; \"replace\" adds the five; \"save\" saves the staged map and "
              "reads it back, checking every entry it kept of the map; \"everything else\" is the wait for the staged map's flush (which runs in the background from the end "
              "of the copy on), the final rename, the two template rewrites and the checks of the install's own "
              "code.\n";

        md << "\n### Peak memory of the install\n\n| map | peak resident set MiB (highest of the runs) | target < 50 "
              "MiB |\n|---|---|---|\n";
        for (const auto& s : sizes) {
            const long peak = *std::max_element(s.installRssKiB.begin(), s.installRssKiB.end());
            md << "| " << s.label << " | " << Fixed(peak / 1024.0, 1) << " | " << Verdict(peak < 50 * 1024) << " |\n";
        }
        md << "\nThe install runs in a child process, which reports its own high-water resident set (VmHWM) after "
              "the install; the process's floor is included: the same program doing nothing peaks at "
           << Fixed(idleRssKiB / 1024.0, 1) << " MiB.\n";

        md << "\n### Map size over ten installs in a row\n\n| map | original | after the first install | after ten "
              "| target equal | smpq sequence: after the first | after ten |\n|---|---|---|---|---|---|---|\n";
        for (const auto& s : sizes)
            if (s.afterFirst != 0)
                md << "| " << s.label << " | " << s.mapBytes << " | " << s.afterFirst << " | " << s.afterTen << " | "
                   << Verdict(s.afterTen == s.afterFirst) << " | " << s.smpqAfterFirst << " | " << s.smpqAfterTen
                   << " |\n";
    }

    if (!scripts.findMs.empty()) {
        const double mib = Mb(scripts.scriptBytes);
        md << "\n### Camera line scan and template rewrite on a " << Fixed(mib, 1) << " MiB script\n\n"
           << "| operation | median ms | MiB/s | target >= 200 MB/s | runs |\n|---|---|---|---|---|\n";
        const auto row = [&](const char* name, const std::vector<double>& ms) {
            const double rate = mib / (Median(ms) / 1000.0);
            md << "| " << name << " | " << Fixed(Median(ms), 1) << " | " << Fixed(rate, 0) << " | "
               << Verdict(rate * 1.048576 >= 200) << " | " << ms.size() << " |\n";
        };
        row("`FindCameraLine` (the camera line in `main`, near the end)", scripts.findMs);
        row("`ReplaceCameraLines` (four camera lines to replace)", scripts.replaceMs);
    }

    if (!firstPaintMs.empty())
        md << "\n### Window start-up\n\n| measure | median ms | slowest ms | target < 400 ms | runs |\n"
              "|---|---|---|---|---|\n| process spawned to the window's first paint (offscreen) | "
           << Fixed(Median(firstPaintMs), 1) << " | "
           << Fixed(*std::max_element(firstPaintMs.begin(), firstPaintMs.end()), 1) << " | "
           << Verdict(Median(firstPaintMs) < 400) << " | " << firstPaintMs.size() << " |\n";
    WriteText(options.out / "results.md", md.str());

    std::ostringstream dat;
    dat << "# map_MiB plain_copy_ms smpq_ms install_ms smpq_again_ms install_again_ms copy_flush_ms (wall-clock "
           "medians)\n";
    for (const auto& s : sizes) {
        const auto again = std::find_if(sizes.begin(), sizes.end(),
                                        [&](const SizeResult& r) { return r.label == s.label + " again"; });
        if (again == sizes.end())
            continue;
        dat << Fixed(Mb(s.mapBytes), 3) << " " << Fixed(Median(s.copy.wall), 2) << " " << Fixed(Median(s.smpq.wall), 2)
            << " " << Fixed(Median(s.install.wall), 2) << " " << Fixed(Median(again->smpq.wall), 2) << " "
            << Fixed(Median(again->install.wall), 2) << " " << Fixed(Median(s.durableCopy.wall), 2) << "\n";
    }
    WriteText(options.out / "install.dat", dat.str());
}

int RunAll(const Options& options)
{
    fs::create_directories(options.work);
    fs::create_directories(options.out);
    MapGenerator generator(options.work / "maps");

    const auto runs = [&](int n) { return std::max(3, static_cast<int>(n * options.runsScale)); };
    constexpr std::uintmax_t MiB = 1024 * 1024;
    struct Plan {
        const char* label;
        std::uintmax_t bytes;
        std::size_t script;
        int runs;
        const char* note;
    };
    const std::array<Plan, 4> plan = {{
        {"0.1MB", MiB / 10, 160 * 1024, 15, "a first install into the generated map"},
        {"1MB", MiB, 1536 * 1024, 11, "a first install into the generated map"},
        {"8MB", 8 * MiB, 3 * MiB, 9, "a first install into the generated map"},
        {"64MB", 64 * MiB, 4 * MiB, 7, "a first install into the generated map"},
    }};
    std::vector<SizeResult> sizes;
    std::vector<SizeResult> reinstalls;
    for (const auto& size : plan) {
        if (!options.Wants(size.label))
            continue;
        std::cerr << "[bench] generating the " << size.label << " map\n";
        const auto map = generator.Generate(
            {std::string("bench-") + size.label + ".w3m", size.bytes, size.script, true, size.bytes});
        sizes.push_back(MeasureScenario(options, map, false, size.label, size.note, runs(size.runs)));
        reinstalls.push_back(MeasureScenario(options, map, true, std::string(size.label) + " again",
                                             "a reinstall: the map already holds the modification",
                                             runs(size.runs)));
        fs::remove(map.file);
    }
    sizes.insert(sizes.end(), reinstalls.begin(), reinstalls.end());

    Throughput scripts;
    if (options.Wants("scripts"))
        scripts = MeasureScripts(options, 50 * MiB, runs(7));
    const long idle = static_cast<long>(Field(RunChild({options.self, "idle"}).output, "peak_kib"));
    std::vector<double> firstPaint;
#ifdef VORNAK_FIRSTPAINT_EXE
    if (options.Wants("paint"))
        firstPaint = MeasureFirstPaint(options, runs(11));
#endif
    WriteReport(options, sizes, scripts, idle, firstPaint);
    std::cerr << "[bench] results in " << (options.out / "results.md") << "\n";
    return 0;
}

int InstallOnce(const fs::path& appDir, const fs::path& map)
{
    try {
        vornak::StormMapArchive storm;
        TimedMapArchive archive(storm);
        SilentUi ui;
        vornak::InstallProcedure install(appDir, archive, ui);
        const double cpu = CpuMsOfThisProcess();
        const auto start = Clock::now();
        const auto result = install.Run(map);
        const double ms = MsSince(start);
        const double cpuMs = CpuMsOfThisProcess() - cpu;
        if (result != vornak::InstallResult::Installed) {
            std::cout << "the install ended early\n";
            return 2;
        }
        std::cout << "install_ms=" << Fixed(ms, 3) << " cpu_ms=" << Fixed(cpuMs, 3) << " peak_kib=" << PeakRssKiB()
                  << "\n";
        for (const auto& [operation, spent] : archive.spent())
            std::cout << "spent " << operation << " " << Fixed(spent.ms, 3) << " " << spent.calls << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cout << e.what() << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "install-once")
            return InstallOnce(args[1], args[2]);
        if (args.size() == 1 && args[0] == "idle") {
            std::cout << "peak_kib=" << PeakRssKiB() << "\n";
            return 0;
        }
        if (!args.empty() && args[0] == "run") {
            Options options;
            options.self = fs::canonical("/proc/self/exe").string();
            for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
                if (args[i] == "--out")
                    options.out = args[i + 1];
                else if (args[i] == "--data")
                    options.data = args[i + 1];
                else if (args[i] == "--work")
                    options.work = args[i + 1];
                else if (args[i] == "--only")
                    options.only = args[i + 1];
                else if (args[i] == "--runs-scale")
                    options.runsScale = std::stod(args[i + 1]);
                else
                    throw std::invalid_argument("unknown option " + args[i]);
            }
            if (options.out.empty())
                throw std::invalid_argument("--out is required");
            if (options.work.empty())
                options.work = fs::temp_directory_path() / "vornak-bench";
            options.out = fs::absolute(options.out);
            options.work = fs::absolute(options.work);
            if (options.data.empty())
                options.data = MakeStandInData(options.work / "stand-in-data");
            options.data = fs::absolute(options.data);
            return RunAll(options);
        }
        std::cerr << "usage: vornak-bench run --out DIR [--data DIR] [--work DIR] [--runs-scale X] [--only PARTS]\n";
        return 64;
    } catch (const std::exception& e) {
        std::cerr << "vornak-bench: " << e.what() << "\n";
        return 1;
    }
}
