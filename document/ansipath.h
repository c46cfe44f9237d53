// Names as the program holds them: bytes of the ANSI code page. The system
// hands an ANSI program every other name through a best-fit conversion, which
// turns a character the code page lacks into a look-alike (Greek capital
// omega into a Latin O) or into '?': a name of another file, or of none. So a
// name is taken in its wide form, and kept only in a spelling that converts
// exactly and opens that same file: its long form, or its short (8.3) form.
#ifndef TEKSTOR_DOCUMENT_ANSIPATH_H
#define TEKSTOR_DOCUMENT_ANSIPATH_H

#include <windows.h>

// TRUE when pszWide converts to the ANSI code page and back unchanged; the
// bytes are then in pszAnsi (cbAnsi bytes with the NUL).
BOOL ConvertNameExactly(const wchar_t* pszWide, char* pszAnsi, int cbAnsi);

// The ANSI name to keep for the file that the wide name pszGiven opens, into
// pszStored (MAX_PATH bytes). Under Wine two files can share one short name,
// and a file really named like another's short name is found instead of it;
// on Windows a short name is handed out again once its file is gone. So a
// spelling is kept only when it opens the very file the given name opens
// (same volume and file index): the short form first when bPreferShort, else
// the long form first; whichever of them the code page spells exactly. A name
// that opens no file yet is kept as its long form, or as its folder's kept
// form and an exact leaf, when bMayBeNew; otherwise it is refused. The long
// full form of the given name goes to pszLong (MAX_PATH characters), so that
// a later save can tell whether the kept name still opens that file.
BOOL GetStoredName(const wchar_t* pszGiven, BOOL bPreferShort, BOOL bMayBeNew, char* pszStored,
                   wchar_t* pszLong);

// The same for a name given in ANSI bytes (an argument that was already
// converted exactly).
BOOL GetStoredNameA(const char* pszGiven, BOOL bPreferShort, BOOL bMayBeNew, char* pszStored,
                    wchar_t* pszLong);

enum NameMatch {
    NAMES_SAME_FILE,  // both open one file
    NAMES_NO_FILE,    // neither opens a file
    NAMES_DIFFER,     // they open different files, or only one opens one
};
NameMatch MatchNames(const char* pszStored, const wchar_t* pszLong);

// GetLongPathNameA, but only with a long form that converts exactly: 0 when
// the long form cannot be spelled in the code page (or does not exist).
DWORD GetExactLongPath(const char* pszPath, char* pszLong, DWORD cchLong);

#endif
