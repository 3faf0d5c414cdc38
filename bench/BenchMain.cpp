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

#include "archive/StormMapArchive.h"
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

namespace fs = std::filesystem;
using namespace vornak::bench;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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

struct SizeResult {
    std::string label;
    std::uintmax_t mapBytes = 0;
    std::size_t entries = 0;
    std::vector<double> copyMs, smpqMs, installMs;
    std::vector<long> installRssKiB;
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

double RunSmpq(const fs::path& map, const fs::path& dataDir)
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
    return ms;
}

ChildOutcome RunInstallChild(const Options& options, const fs::path& appDir, const fs::path& map)
{
    auto outcome = RunChild({options.self, "install-once", appDir.string(), map.string()});
    if (outcome.exitCode != 0)
        throw std::runtime_error("the install into " + map.string() + " failed: " + outcome.output);
    return outcome;
}

double InstallMs(const ChildOutcome& outcome)
{
    const auto at = outcome.output.find("install_ms=");
    if (at == std::string::npos)
        throw std::runtime_error("no time from the install child: " + outcome.output);
    return std::stod(outcome.output.substr(at + 11));
}

SizeResult MeasureSize(const Options& options, MapGenerator& generator, const std::string& label,
                       std::uintmax_t bytes, std::size_t scriptBytes, int runs)
{
    std::cerr << "[bench] generating the " << label << " map\n";
    const auto map = generator.Generate({"bench-" + label + ".w3m", bytes, scriptBytes, true, bytes});
    SizeResult result;
    result.label = label;
    result.mapBytes = map.bytes;
    result.entries = map.entries;

    const fs::path copyTarget = options.work / "copy.w3m";
    const fs::path smpqMap = options.work / "smpq.w3m";
    const fs::path appDir = options.work / "app";
    const fs::path installMap = options.work / "install.w3m";

    for (int run = 0; run < runs; ++run) {
        std::cerr << "[bench] " << label << " run " << run + 1 << "/" << runs << "\n";
        // The three take turns within a run so that a busy moment of the machine falls on all.
        fs::remove(copyTarget);
        auto start = Clock::now();
        fs::copy_file(map.file, copyTarget);
        result.copyMs.push_back(MsSince(start));

        FreshCopy(map.file, smpqMap);
        FreshAppFolder(appDir, options.data);
        result.smpqMs.push_back(RunSmpq(smpqMap, appDir / "Data"));

        FreshCopy(map.file, installMap);
        FreshAppFolder(appDir, options.data);
        const auto child = RunInstallChild(options, appDir, installMap);
        result.installMs.push_back(InstallMs(child));
        result.installRssKiB.push_back(child.maxRssKiB);
    }

    // Growth: ten installs in a row into one map, from one program folder, as a user would.
    FreshCopy(map.file, installMap);
    FreshAppFolder(appDir, options.data);
    for (int n = 1; n <= 10; ++n) {
        RunInstallChild(options, appDir, installMap);
        if (n == 1)
            result.afterFirst = fs::file_size(installMap);
    }
    result.afterTen = fs::file_size(installMap);

    FreshCopy(map.file, smpqMap);
    FreshAppFolder(appDir, options.data);
    for (int n = 1; n <= 10; ++n) {
        RunSmpq(smpqMap, appDir / "Data");
        if (n == 1)
            result.smpqAfterFirst = fs::file_size(smpqMap);
    }
    result.smpqAfterTen = fs::file_size(smpqMap);

    fs::remove(copyTarget);
    fs::remove(smpqMap);
    fs::remove(installMap);
    fs::remove_all(appDir);
    fs::remove(map.file);
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

void WriteReport(const Options& options, const std::vector<SizeResult>& sizes, const Throughput& scripts,
                 long idleRssKiB, const std::vector<double>& firstPaintMs)
{
    std::ostringstream md;
    md << "Machine: " << MachineLine() << ". Medians of the runs given; ratios are taken run by run "
       << "(the three measurements of one run follow each other) and their median shown.\n\n";
    md << "| map | entries | plain copy ms | smpq ms | install ms | install / copy | install / smpq | "
          "limit 3 x copy + 25 ms | peak memory of the install MiB | runs |\n";
    md << "|---|---|---|---|---|---|---|---|---|---|\n";
    for (const auto& s : sizes) {
        const double copy = Median(s.copyMs);
        long peak = 0;
        for (long rss : s.installRssKiB)
            peak = std::max(peak, rss);
        md << "| " << s.label << " (" << Fixed(Mb(s.mapBytes), 2) << " MiB) | " << s.entries << " | " << Fixed(copy, 1)
           << " | " << Fixed(Median(s.smpqMs), 1) << " | " << Fixed(Median(s.installMs), 1) << " | "
           << Fixed(Median(Ratios(s.installMs, s.copyMs)), 2) << " | "
           << Fixed(Median(Ratios(s.installMs, s.smpqMs)), 2) << " | " << Fixed(3 * copy + 25, 1) << " | "
           << Fixed(peak / 1024.0, 1) << " | " << s.copyMs.size() << " |\n";
    }
    md << "\nPeak memory is the child process's maximum resident set (wait4), the program's own floor "
       << "included: a process of the same binary that does nothing peaks at " << Fixed(idleRssKiB / 1024.0, 1)
       << " MiB.\n\n";

    md << "| map | size after the first install | after ten installs | smpq sequence: after the first | "
          "after ten |\n|---|---|---|---|---|\n";
    for (const auto& s : sizes)
        md << "| " << s.label << " | " << s.afterFirst << " | " << s.afterTen << " | " << s.smpqAfterFirst << " | "
           << s.smpqAfterTen << " |\n";

    const double mib = Mb(scripts.scriptBytes);
    if (!scripts.findMs.empty())
        md << "\n| script operation (" << Fixed(mib, 1) << " MiB script) | median ms | MiB/s | runs |\n|---|---|---|---|\n";
    if (!scripts.findMs.empty())
        md << "| `FindCameraLine` (camera line in `main`, at the end) | " << Fixed(Median(scripts.findMs), 1) << " | "
       << Fixed(mib / (Median(scripts.findMs) / 1000.0), 0) << " | " << scripts.findMs.size() << " |\n";
    if (!scripts.findMs.empty())
        md << "| `ReplaceCameraLines` (four camera lines) | " << Fixed(Median(scripts.replaceMs), 1) << " | "
       << Fixed(mib / (Median(scripts.replaceMs) / 1000.0), 0) << " | " << scripts.replaceMs.size() << " |\n";
    if (!firstPaintMs.empty())
        md << "\n| window start-up | median ms | slowest ms | runs |\n|---|---|---|---|\n"
           << "| process spawned to the window's first paint (offscreen) | " << Fixed(Median(firstPaintMs), 1) << " | "
           << Fixed(*std::max_element(firstPaintMs.begin(), firstPaintMs.end()), 1) << " | " << firstPaintMs.size()
           << " |\n";
    WriteText(options.out / "results.md", md.str());

    std::ostringstream dat;
    dat << "# map_MiB plain_copy_ms smpq_ms install_ms\n";
    for (const auto& s : sizes)
        dat << Fixed(Mb(s.mapBytes), 3) << " " << Fixed(Median(s.copyMs), 2) << " " << Fixed(Median(s.smpqMs), 2)
            << " " << Fixed(Median(s.installMs), 2) << "\n";
    WriteText(options.out / "install.dat", dat.str());
}

int RunAll(const Options& options)
{
    fs::create_directories(options.work);
    fs::create_directories(options.out);
    MapGenerator generator(options.work / "maps");

    const auto runs = [&](int n) { return std::max(3, static_cast<int>(n * options.runsScale)); };
    struct Size {
        const char* label;
        std::uintmax_t bytes;
        std::size_t script;
        int runs;
    };
    const std::array<Size, 4> plan = {{{"0.1MB", 100 * 1024, 160 * 1024, 15},
                                       {"1MB", 1024 * 1024, 1536 * 1024, 11},
                                       {"8MB", 8 * 1024 * 1024, 3 * 1024 * 1024, 9},
                                       {"64MB", 64 * 1024 * 1024, 4 * 1024 * 1024, 7}}};
    std::vector<SizeResult> sizes;
    for (const auto& size : plan)
        if (options.Wants(size.label))
            sizes.push_back(MeasureSize(options, generator, size.label, size.bytes, size.script, runs(size.runs)));

    Throughput scripts;
    if (options.Wants("scripts"))
        scripts = MeasureScripts(options, 50 * 1024 * 1024, runs(7));
    const long idle = RunChild({options.self, "idle"}).maxRssKiB;
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
        vornak::StormMapArchive archive;
        SilentUi ui;
        vornak::InstallProcedure install(appDir, archive, ui);
        const auto start = Clock::now();
        const auto result = install.Run(map);
        const double ms = MsSince(start);
        if (result != vornak::InstallResult::Installed) {
            std::cout << "the install ended early\n";
            return 2;
        }
        std::cout << "install_ms=" << Fixed(ms, 3) << "\n";
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
        if (args.size() == 1 && args[0] == "idle")
            return 0;
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
