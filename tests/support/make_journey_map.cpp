// Writes a map for the journeys that drive the real program, Linux and Windows alike: a typical
// map whose (listfile) is stored compressed with a wrong Adler-32 check, as maps from the field
// come. Usage: make_journey_map <out.w3m>
#include "MapBuilder.h"
#include "TestFiles.h"
#include "base/FileOps.h"

#include <iostream>

int main(int argc, char** argv)
{
    using namespace vornak::test;
    if (argc != 2) {
        std::cerr << "usage: make_journey_map <out.w3m>\n";
        return 64;
    }
    const std::vector<std::string> names = {"war3map.j", "war3map.w3i", "war3map.wts", "war3map.w3c", "war3map.w3e",
                                            "war3mapImported\\file1.dat", "war3mapImported\\file2.dat",
                                            "war3mapImported\\file3.dat"};
    std::string list;
    for (const auto& name : names)
        list += name + "\r\n";
    TypicalMap({.w3i = ReadBytes(SourceDir() / "Data" / "war3map.w3i"), .fillerEntries = 4, .withW3u = false})
        .ListFile(false)
        .CompressedEntry("(listfile)", list)
        .DamagedSector("(listfile)", MapBuilder::SectorDamage::ChecksumWrong)
        .WriteTo(vornak::fileops::PathFromUtf8(argv[1]));
    return 0;
}
