// Writes a map for the journeys that drive the real program, Linux and Windows alike: a typical
// map whose (listfile) is stored compressed with a wrong Adler-32 check, as maps from the field
// come. Usage: make_journey_map <out.w3m>
#include "MapBuilder.h"
#include "W3iBuilder.h"
#include "base/FileOps.h"

#include <iostream>

int main(int argc, char** argv)
{
    using namespace vornak::test;
    if (argc != 2) {
        std::cerr << "usage: make_journey_map <out.w3m>\n";
        return 64;
    }
    TypicalMap({.w3i = TemplateInfo(), .fillerEntries = 4, .withW3u = false})
        .CompressedListFile()
        .DamagedSector("(listfile)", MapBuilder::SectorDamage::ChecksumWrong)
        .WriteTo(vornak::fileops::PathFromUtf8(argv[1]));
    return 0;
}
