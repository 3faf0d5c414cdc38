#include "MapGenerator.h"

#include "ProcessRunner.h"
#include "SampleContent.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace vornak::bench {
namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const fs::path& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t Share(std::uintmax_t total, double part, std::size_t atLeast)
{
    return std::max(atLeast, static_cast<std::size_t>(static_cast<double>(total) * part));
}

std::string TriggerStrings(std::size_t count)
{
    std::string out = "\xEF\xBB\xBF";
    for (std::size_t i = 1; i <= count; ++i)
        out += "STRING " + std::to_string(i) + "\r\n{\r\nText number " + std::to_string(i) + " of the map\r\n}\r\n\r\n";
    return out;
}

std::string Padded(std::size_t n)
{
    std::string digits = std::to_string(n);
    return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

} // namespace

MapGenerator::MapGenerator(fs::path workDir) : workDir_(std::move(workDir))
{
    fs::create_directories(workDir_);
}

GeneratedMap MapGenerator::Generate(const MapShape& shape)
{
    GeneratedMap map;
    map.file = workDir_ / shape.name;
    const fs::path archive = workDir_ / (shape.name + ".mpq");

    // The imports make up whatever the fixed entries leave; how much the tool's compression
    // takes off is only known afterwards, so the budget is corrected by the secant method.
    const double target = static_cast<double>(shape.targetBytes) - (shape.withHeader ? 512.0 : 0.0);
    double lastBudget = 0;
    double lastSize = 0;
    double budget = target * 0.6;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const double size = static_cast<double>(Build(shape, static_cast<std::uintmax_t>(budget), archive, map.entries));
        if (std::abs(size - target) < target * 0.02)
            break;
        const double slope = attempt == 0 ? size / std::max(budget, 1.0) : (size - lastSize) / (budget - lastBudget);
        lastBudget = budget;
        lastSize = size;
        budget = std::max(0.0, budget + (target - size) / std::max(slope, 0.1));
    }

    Bytes file;
    if (shape.withHeader)
        file = MakeMapHeader("Benchmark map", 4);
    const Bytes mpq = ReadFile(archive);
    file.insert(file.end(), mpq.begin(), mpq.end());
    WriteFile(map.file, file);
    fs::remove(archive);
    map.bytes = fs::file_size(map.file);
    return map;
}

std::uintmax_t MapGenerator::Build(const MapShape& shape, std::uintmax_t importBudget, const fs::path& archive,
                                   std::size_t& entries)
{
    const fs::path folder = workDir_ / (shape.name + ".entries");
    fs::remove_all(folder);
    fs::create_directories(folder);
    Rng rng(shape.seed);
    const auto total = shape.targetBytes;

    std::vector<std::string> names;
    const auto put = [&](const std::string& name, const auto& content) {
        WriteFile(folder / name, content);
        names.push_back(name);
    };

    // The editor's own entries, sized as they are in real maps relative to the whole.
    put("war3map.w3e", MakeStructuredData(Share(total, 0.06, 2048), rng));
    put("war3map.shd", MakeStructuredData(Share(total, 0.01, 1024), rng));
    put("war3map.wpm", MakeStructuredData(Share(total, 0.03, 1024), rng));
    put("war3map.doo", MakeStructuredData(Share(total, 0.03, 1024), rng));
    put("war3mapUnits.doo", MakeStructuredData(Share(total, 0.01, 512), rng));
    put("war3map.w3r", MakeStructuredData(512, rng));
    put("war3map.mmp", MakeStructuredData(256, rng));
    put("war3mapMap.blp", MakeNoise(Share(total, 0.01, 2048), rng));
    put("war3mapPreview.tga", MakeStructuredData(Share(total, 0.005, 1024), rng));
    put("war3map.wtg", MakeStructuredData(Share(total, 0.005, 512), rng));
    put("war3map.wct", MakeStructuredData(Share(total, 0.002, 256), rng));
    // The five the modification replaces.
    put("war3map.j", MakeScript(shape.scriptBytes, rng, 1));
    put("war3map.w3u", MakeStructuredData(Share(total, 0.005, 512), rng));
    put("war3map.wts", TriggerStrings(std::max<std::size_t>(8, static_cast<std::size_t>(total / 4096))));
    put("war3map.w3i", MakeMapInfo('L', 3328.0f, 3584.0f));
    put("war3map.w3c", MakeNoise(180, rng));

    // Imported models (compress), textures and sounds (do not), sized so that a big map
    // has hundreds of entries rather than a few huge ones.
    const std::size_t largest = std::clamp<std::size_t>(static_cast<std::size_t>(total / 48), 4096, 256 * 1024);
    std::uniform_int_distribution<std::size_t> size(largest / 8, largest);
    std::string importList;
    std::uintmax_t used = 0;
    for (std::size_t n = 0; used < importBudget; ++n) {
        const std::size_t bytes = size(rng);
        std::string name;
        switch (n % 3) {
        case 0:
            name = "war3mapImported\\model_" + Padded(n) + ".mdx";
            put(name, MakeStructuredData(bytes, rng));
            break;
        case 1:
            name = "war3mapImported\\texture_" + Padded(n) + ".blp";
            put(name, MakeNoise(bytes, rng));
            break;
        default:
            name = "war3mapImported\\sound_" + Padded(n) + ".mp3";
            put(name, MakeNoise(bytes, rng));
            break;
        }
        importList += name + "\r\n";
        used += bytes;
    }
    put("war3map.imp", importList);

    fs::remove(archive);
    std::vector<std::string> argv = {"smpq", "-c", "-q", "-M", "1", archive.string()};
    argv.insert(argv.end(), names.begin(), names.end());
    const auto outcome = RunChild(argv, folder);
    if (outcome.exitCode != 0)
        throw std::runtime_error("smpq could not build " + archive.string());
    fs::remove_all(folder);
    entries = names.size();
    return fs::file_size(archive);
}

} // namespace vornak::bench
