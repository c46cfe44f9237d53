// Names as the program holds them: bytes of the ANSI code page. The system
// hands an ANSI program every other name through a best-fit conversion, which
// turns a character the code page lacks into a look-alike (Greek capital
// omega into a Latin O) or into '?': a name of another file, or of none. So a
// name is taken in its wide form, and used only when it converts exactly, or
// else through its short (8.3) form when that converts exactly.
#ifndef TEKSTOR_DOCUMENT_ANSIPATH_H
#define TEKSTOR_DOCUMENT_ANSIPATH_H

#include <windows.h>

// TRUE when pszWide converts to the ANSI code page and back unchanged; the
// bytes are then in pszAnsi (cbAnsi bytes with the NUL).
BOOL ConvertNameExactly(const wchar_t* pszWide, char* pszAnsi, int cbAnsi);

// The full path of pszWide as ANSI bytes that name the same file: the path
// itself when it converts exactly, else its short form when that does. FALSE
// when there is neither (no short form, or none without such characters).
BOOL GetExactAnsiPath(const wchar_t* pszWide, char* pszAnsi, int cbAnsi);

// GetLongPathNameA, but only with a long form that converts exactly: 0 when
// the long form cannot be spelled in the code page (or does not exist).
DWORD GetExactLongPath(const char* pszPath, char* pszLong, DWORD cchLong);

#endif
