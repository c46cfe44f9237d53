// A copy of a window's text in fixed global memory, alive for one operation.
#ifndef TEKSTOR_EDIT_TEXTBUFFER_H
#define TEKSTOR_EDIT_TEXTBUFFER_H

#include <windows.h>

struct TextBuffer {
    char* pszText;  // NUL-terminated; NULL when nothing is held
    DWORD cchText;  // bytes without the NUL
};

// With cchText 0 on entry: copies the window's whole text. With cchText preset:
// gives an empty zero-filled block of cchText + 1 bytes. FALSE when no copy
// could be made; pszText is then NULL.
BOOL GetEditText(HWND hwnd, TextBuffer* buffer);
void FreeEditText(TextBuffer* buffer);

#endif
