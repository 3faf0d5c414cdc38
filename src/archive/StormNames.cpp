#include "archive/StormNames.h"

#include "archive/ArchiveError.h"
#include "archive/ListFileText.h"
#include "archive/StormHandles.h"
#include "base/FileOps.h"

#if defined(VORNAK_OWN_LIST_FILE)
#include <StormLibListFile.h>
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace vornak::storm {
namespace fs = std::filesystem;
namespace {

// Opening these by name teaches StormLib their names where the map's (listfile) lacks them;
// the install handles the first five, StormLib itself the last three.
constexpr std::array<const char*, 8> kWellKnownNames = {
    "war3map.j",  "war3map.w3u",  "war3map.wts",  "war3map.w3i",
    "war3map.w3c", "(listfile)", "(attributes)", "(signature)",
};

// StormLib names entries it cannot name "File00000012.xxx" (index and a guessed extension).
bool IsPseudoName(std::string_view name)
{
    if (name.size() < 14 || name.substr(0, 4) != "File" || name[12] != '.')
        return false;
    return std::all_of(name.begin() + 4, name.begin() + 12,
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

constexpr const char* kListFile = "(listfile)";

} // namespace

std::optional<std::vector<std::uint8_t>> ReadListFile(HANDLE archive, const Where& where)
{
    if (!SFileHasFile(archive, kListFile))
        return std::nullopt;
    try {
        StormFile file(archive, kListFile, where);
        if (file.size() > kMaxReadEntryBytes)
            return std::nullopt;
        std::vector<std::uint8_t> text;
        file.ReadAll([&](const char* data, DWORD count) { text.insert(text.end(), data, data + count); });
        return text;
    } catch (const ArchiveError&) {
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> LearnNames(HANDLE archive, const std::vector<fs::path>& lists,
                                                    const Where& where)
{
    for (const fs::path& list : lists) {
        std::error_code ec;
        if (!fs::is_regular_file(list, ec))
            Fail(where, "the list of names '" + fileops::Display(list) + "' does not exist",
                 std::make_error_code(std::errc::no_such_file_or_directory));
        const int error = SFileAddListFile(archive, StormPath(list).c_str());
        if (error != ERROR_SUCCESS)
            Fail(where, "the list of names '" + fileops::Display(list) + "' cannot be read: " +
                            ReasonText(static_cast<DWORD>(error)),
                 static_cast<DWORD>(error));
    }
    auto text = ReadListFile(archive, where);
#if defined(VORNAK_OWN_LIST_FILE)
    // StormLib splits its own list at line ends only; lists from the field also use ';'. It
    // matches each name against the whole hash table, so only such a list is offered again.
    if (text && std::find(text->begin(), text->end(), ';') != text->end()) {
        const std::vector<std::string> names = listfile::Names(*text);
        std::vector<const char*> pointers;
        for (const std::string& name : names)
            pointers.push_back(name.c_str());
        if (!pointers.empty())
            SFileAddListFileEntries(archive, pointers.data(), static_cast<DWORD>(pointers.size()));
    }
#endif
    // Opening by name (testing alone does not) makes StormLib keep the name.
    for (const char* name : kWellKnownNames) {
        HANDLE file = nullptr;
        if (SFileOpenFileEx(archive, name, SFILE_OPEN_FROM_MPQ, &file))
            SFileCloseFile(file);
    }
    return text;
}

std::vector<Found> Scan(HANDLE archive, const Where& where)
{
    std::vector<Found> entries;
    StormFind find(archive);
    if (!find.started()) {
        const DWORD error = LastError();
        if (error != ERROR_NO_MORE_FILES && error != ERROR_SUCCESS)
            Fail(where, "the map's entries cannot be listed: " + ReasonText(error), error);
        return entries;
    }
    do {
        const SFILE_FIND_DATA& found = find.current();
        entries.push_back({found.cFileName, !IsPseudoName(found.cFileName), found.dwFileSize, found.dwCompSize,
                           found.dwBlockIndex, found.dwFileFlags});
    } while (find.Next());
    return entries;
}

ArchiveListing Enumerate(const std::vector<Found>& entries)
{
    ArchiveListing listing;
    listing.allNamesKnown = true;
    for (const Found& entry : entries) {
        ++listing.entryCount;
        listing.allNamesKnown = listing.allNamesKnown && entry.known;
        if (entry.known)
            listing.names.push_back(entry.name);
    }
    return listing;
}

ListFileState DescribeListFile(const std::vector<Found>& entries, const std::optional<std::vector<std::uint8_t>>& text)
{
    ListFileState state;
    const auto found = std::find_if(entries.begin(), entries.end(), [](const Found& entry) {
        return listfile::NameKey(entry.name) == listfile::NameKey(kListFile);
    });
    if (found == entries.end())
        return state;
    if (text) {
        state.kind = ListFileState::Kind::Read;
        state.names = listfile::Names(*text);
    } else {
        state.kind = ListFileState::Kind::Unreadable;
    }
    state.size = found->size;
    state.storedSize = found->storedSize;
    state.flags = found->flags;
    return state;
}

void NameInListFile(HANDLE archive, const std::vector<NewEntry>& added, const Where& where)
{
#if defined(VORNAK_OWN_LIST_FILE)
    const auto text = ReadListFile(archive, where);
    if (!text)
        return; // none, or one that does not read: it stays as it is
    std::vector<std::string> names;
    for (const NewEntry& entry : added)
        names.push_back(entry.entry);
    const auto extended = listfile::WithNames(*text, names);
    if (!extended)
        return;
    const DWORD error = VornakWriteListFile(archive, extended->data(), static_cast<DWORD>(extended->size()));
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        Fail(where, "the map's list of names cannot be written: " + ReasonText(error), error);
#else
    (void)archive, (void)added, (void)where;
#endif
}

std::string MissingEntryReason(HANDLE archive, const std::string& entry)
{
    std::string reason = "the map holds no '" + entry + "'";
    if (entry == "war3map.j" && SFileHasFile(archive, "war3map.lua"))
        reason += " (its script is war3map.lua: the map is scripted in Lua)";
    return reason;
}

} // namespace vornak::storm
