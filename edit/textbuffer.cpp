#include "edit/textbuffer.h"

// Leaves room for the NUL and keeps a size that GlobalAlloc and the ANSI text
// calls (which count in int) can both take.
static constexpr DWORD kMaxText = 0x7FFFFFFEu;

BOOL GetEditText(HWND hwnd, TextBuffer* buffer)
{
    const BOOL bCopy = buffer->cchText == 0;
    buffer->pszText = NULL;
    if (bCopy) {
        const int cch = GetWindowTextLengthA(hwnd);
        if (cch < 0)
            return FALSE;
        buffer->cchText = static_cast<DWORD>(cch);
    }
    if (buffer->cchText > kMaxText)
        return FALSE;
    buffer->pszText = static_cast<char*>(GlobalAlloc(GPTR, buffer->cchText + 1));
    if (!buffer->pszText)
        return FALSE;
    if (!bCopy || buffer->cchText == 0)
        return TRUE;

    const int cchCopied = GetWindowTextA(hwnd, buffer->pszText,
                                         static_cast<int>(buffer->cchText) + 1);
    // A window with text that yields none failed to copy; an empty copy in its
    // place would later be saved over the user's file as if it were the text.
    if (cchCopied <= 0) {
        FreeEditText(buffer);
        return FALSE;
    }
    // The length call may overstate multi-byte text; count what was copied.
    buffer->cchText = static_cast<DWORD>(cchCopied);
    return TRUE;
}

void FreeEditText(TextBuffer* buffer)
{
    if (buffer->pszText) {
        GlobalFree(buffer->pszText);
        buffer->pszText = NULL;
    }
}
