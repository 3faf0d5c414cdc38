// Compiled into StormLib: it uses StormLib's own steps for its internal files, as its own
// list writer does, with the installer's text in place of the one StormLib would make.
#include "StormLibListFile.h"

#include "StormCommon.h"

bool VornakKeepListFile(HANDLE mpq)
{
    TMPQArchive* ha = IsValidMpqHandle(mpq);
    if (ha == NULL || (ha->dwFlags & MPQ_FLAG_LISTFILE_NEW) != 0)
        return false;
    // StormLib's mark for "this archive has no list": it neither drops nor writes one.
    ha->dwFlags |= MPQ_FLAG_LISTFILE_NONE;
    return true;
}

DWORD VornakWriteListFile(HANDLE mpq, const void* text, DWORD size)
{
    TMPQArchive* ha = IsValidMpqHandle(mpq);
    if (ha == NULL)
        return ERROR_INVALID_HANDLE;
    if (ha->dwFlags & MPQ_FLAG_READ_ONLY)
        return ERROR_ACCESS_DENIED;

    // Let StormLib drop the old list and keep a place for the new one, as any change does.
    ha->dwFlags &= ~MPQ_FLAG_LISTFILE_NONE;
    InvalidateInternalFiles(ha);
    if ((ha->dwFlags & MPQ_FLAG_LISTFILE_NEW) == 0)
        return ERROR_FILE_NOT_FOUND;
    if (ha->dwFileFlags1 == MPQ_FILE_DEFAULT_INTERNAL)
        ha->dwFileFlags1 = GetDefaultSpecialFileFlags(size, ha->pHeader->wFormatVersion);

    TMPQFile* hf = NULL;
    DWORD error = SFileAddFile_Init(ha, LISTFILE_NAME, 0, size, LANG_NEUTRAL, ha->dwFileFlags1 | MPQ_FILE_REPLACEEXISTING, &hf);
    if (error == ERROR_SUCCESS) {
        error = SFileAddFile_Write(hf, text, size, MPQ_COMPRESSION_ZLIB);
        const DWORD finished = SFileAddFile_Finish(hf);
        if (error == ERROR_SUCCESS)
            error = finished;
    }
    if (error != ERROR_SUCCESS)
        return error;
    // Written: the save must neither write StormLib's own list over it nor drop it.
    ha->dwFlags &= ~MPQ_FLAG_LISTFILE_NEW;
    ha->dwReservedFiles--;
    ha->dwFlags |= MPQ_FLAG_LISTFILE_NONE;
    return ERROR_SUCCESS;
}
