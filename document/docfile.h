// The document's file, reached by its exact wide path and known by its
// identity: the file that was loaded or last saved. A name alone can come to
// stand for another file (renamed, replaced), so a save compares identities.
#ifndef TEKSTOR_DOCUMENT_DOCFILE_H
#define TEKSTOR_DOCUMENT_DOCFILE_H

#include <windows.h>

#include "app/state.h"

BOOL ReadFileIdentity(HANDLE hFile, FileIdentity* identity);
// Only two known identities can be the same file.
BOOL IsSameFile(const FileIdentity* a, const FileIdentity* b);

// CreateFileW on a full path, through the \\?\ form where the path is too
// long for the plain one, so that every file the system can hold can be
// opened, created and saved.
HANDLE OpenPath(const wchar_t* pszPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition,
                DWORD dwFlags);

#endif
