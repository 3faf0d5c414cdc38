#include "archive/StormMapArchive.h"

#include "archive/ArchiveError.h"
#include "archive/StormFailure.h"
#include "archive/StormHandles.h"
#include "archive/StormMapSession.h"
#include "archive/StormNames.h"
#include "base/FileOps.h"

#include <StormLib.h>

#include <utility>

namespace vornak {
namespace fs = std::filesystem;
using namespace storm;

StormMapArchive::StormMapArchive(std::vector<fs::path> nameLists)
    : nameLists_(std::move(nameLists))
{
}

std::unique_ptr<MapSession> StormMapArchive::Open(const fs::path& map)
{
    std::vector<fs::path> lists;
    for (const fs::path& list : nameLists_)
        if (fileops::FileExists(list))
            lists.push_back(list);
    return std::make_unique<StormMapSession>(map, std::move(lists));
}

std::vector<std::string> StormMapArchive::EntriesDisagreeingWithAttributes(const fs::path& map)
{
    const Where where{"Verifying the attributes", fileops::Display(map), ""};
    RequireMapFile(map, where);
    StormArchive archive(map, Access::Read, where, Sectors::Check);
    LearnNames(archive.get(), nameLists_, where);
    std::vector<std::string> disagreeing;
    for (const Found& entry : Scan(archive.get(), where)) {
        // The weak signature is made last, over the archive with its (attributes).
        if (entry.name == "(signature)")
            continue;
        const DWORD result = SFileVerifyFile(archive.get(), entry.name.c_str(), SFILE_VERIFY_FILE_CRC | SFILE_VERIFY_FILE_MD5);
        if ((result & (VERIFY_FILE_CHECKSUM_ERROR | VERIFY_FILE_MD5_ERROR)) != 0)
            disagreeing.push_back(entry.name);
    }
    archive.Close(where);
    return disagreeing;
}

bool StormMapArchive::VerifyWeakSignature(const fs::path& map)
{
    const Where where{"Verifying the weak signature", fileops::Display(map), ""};
    RequireMapFile(map, where);
    StormArchive archive(map, Access::Read, where, Sectors::Check);
    const DWORD result = SFileVerifyArchive(archive.get());
    archive.Close(where);
    switch (result) {
    case ERROR_WEAK_SIGNATURE_OK: return true;
    case ERROR_WEAK_SIGNATURE_ERROR: return false;
    case ERROR_NO_SIGNATURE: Fail(where, "the map holds no signature", ERROR_FILE_NOT_FOUND);
    case ERROR_STRONG_SIGNATURE_OK:
    case ERROR_STRONG_SIGNATURE_ERROR:
        Fail(where, "the map holds a strong signature, not a weak one", ERROR_NOT_SUPPORTED);
    default: Fail(where, "the signature cannot be read", ERROR_FILE_CORRUPT);
    }
}

} // namespace vornak
