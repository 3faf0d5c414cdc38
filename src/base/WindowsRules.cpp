#include "base/WindowsRules.h"

namespace vornak::windows_rules {

bool PassingRefusal(unsigned long error, bool targetReadOnly, Step step)
{
    switch (error) {
    case kSharingViolation:
    case kLockViolation:
    case kDeletePending:
        return true;
    case kAccessDenied:
        return !targetReadOnly;
    case kDirNotEmpty:
        return step == Step::RemovingFolder;
    default:
        return false;
    }
}

bool TooLong(std::size_t utf16Units, bool folderToCreate, bool longPathsEnabled)
{
    if (longPathsEnabled)
        return false;
    constexpr std::size_t kMaxPath = 260;
    constexpr std::size_t kShortName = 12;
    const std::size_t room = folderToCreate ? kMaxPath - kShortName : kMaxPath;
    return utf16Units + 1 > room;
}

std::uint32_t CarriedAttributes(std::uint32_t map, std::uint32_t staged)
{
    constexpr std::uint32_t kCarried = kHidden | kSystem | kArchive | kNotContentIndexed;
    return (staged & ~kCarried) | (map & kCarried);
}

bool CarryAccessList(bool protectedFromInheritance, bool anyExplicitEntry)
{
    return protectedFromInheritance || anyExplicitEntry;
}

} // namespace vornak::windows_rules
