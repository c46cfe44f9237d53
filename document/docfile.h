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

// The file opened as the load opens it; INVALID_HANDLE_VALUE when it cannot
// be (a directory, a file held for writing, no such file).
HANDLE OpenDocumentToLoad(const wchar_t* pszPath);

// Whether pszGiven (any path the system takes: relative, with trailing blanks
// or dots, short or long) names a file that can be the document: an existing
// disk file that opens as the load opens it. A shortcut stands for its target.
// 0 when it can, with its exact full long path in pszExact
// (DOCUMENT_PATH_SIZE characters); else the string id of the reason it
// cannot, which is a format for the name.
UINT FindDocumentFile(const wchar_t* pszGiven, wchar_t* pszExact);

#endif
