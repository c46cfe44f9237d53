// A copy of a window's text in fixed global memory, alive for one operation.
#ifndef TEKSTOR_EDIT_TEXTBUFFER_H
#define TEKSTOR_EDIT_TEXTBUFFER_H

#include <windows.h>

// The most bytes a copy holds without its NUL: room for the NUL, and a size
// that GlobalAlloc and the ANSI text calls (which count in int) can both take.
constexpr DWORD kMaxText = 0x7FFFFFFEu;

struct TextBuffer {
    char* pszText;  // NUL-terminated; NULL when nothing is held
    DWORD cchText;  // bytes without the NUL
};

// With cchText 0 on entry: copies the window's whole text. With cchText preset:
// gives an empty zero-filled block of cchText + 1 bytes. FALSE when no copy
// could be made; pszText is then NULL.
BOOL GetEditText(HWND hwnd, TextBuffer* buffer);
// An empty zero-filled block of cchText + 1 bytes (cchText may be 0), for
// bytes that do not come from a window. FALSE when it could not be had;
// pszText is then NULL.
BOOL AllocateText(TextBuffer* buffer, DWORD cchText);
void FreeEditText(TextBuffer* buffer);

#endif
