// Two calls compiled into StormLib (cmake/stormlib/StormLibListFile.cpp) for the archive layer.
//
// StormLib rewrites an archive's (listfile) on every change, from the names it knows: those of
// a list it could not read are gone, and so are names of files the archive does not hold. The
// installer keeps the map's own list instead, and adds to it only the names of what it adds.
#pragma once

#include <StormLib.h>

// Leaves the archive's (listfile) as it is, stored bytes and all, when the archive is saved.
// Call it before the first change; false when a change already let StormLib drop the list.
bool VornakKeepListFile(HANDLE mpq);

// Stores `text` as the archive's (listfile) now, with the flags of the list it replaces, so
// that the save leaves it and writes (attributes) for it. ERROR_FILE_NOT_FOUND: the archive
// holds no list (none is made).
DWORD VornakWriteListFile(HANDLE mpq, const void* text, DWORD size);
