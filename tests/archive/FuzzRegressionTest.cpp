// Maps on which Debian's StormLib 9.22 crashed or hung (found by scripts/fuzz-stormlib.sh, kept
// in fuzz/regressions): read and changed as an install does, each ends well or in an ArchiveError.
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

struct Regression {
    const char* file;
    const char* found; // what 9.22 did with it
};

const Regression kRegressions[] = {
    {"bzip2-sector-loop.w3x", "loops for ever in bzip2 decompression reading war3map.j"},
};

void PrintTo(const Regression& regression, std::ostream* out)
{
    *out << regression.file;
}

class FuzzRegression : public ::testing::TestWithParam<Regression> {};

// Anything but an ArchiveError escapes and fails the test; a crash or a hang fails it too.
template <typename Call>
void EndsWellOrInArchiveError(Call&& call)
{
    try {
        call();
    } catch (const ArchiveError&) {
    }
}

TEST_P(FuzzRegression, EndsWellOrInAClearError)
{
#if defined(VORNAK_SYSTEM_STORMLIB)
    GTEST_SKIP() << "built against the system's StormLib, on which this input " << GetParam().found;
#endif
    TempDir dir;
    const fs::path map = dir / "map.w3x";
    fs::copy_file(SourceDir() / "fuzz" / "regressions" / GetParam().file, map);
    WriteText(dir / "added.j", "// added\r\n");
    StormMapArchive archive;
    EndsWellOrInArchiveError([&] {
        for (const std::string& name : archive.List(map, {}).names)
            EndsWellOrInArchiveError([&] { archive.ReadEntry(map, name); });
    });
    EndsWellOrInArchiveError([&] {
        archive.AddEntry(map, dir / "added.j", "war3map.j", kStoreCompressed);
        archive.Compact(map, {});
    });
}

INSTANTIATE_TEST_SUITE_P(StormLib922, FuzzRegression, ::testing::ValuesIn(kRegressions),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name.resize(name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace vornak::test
