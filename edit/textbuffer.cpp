#include "edit/textbuffer.h"

BOOL AllocateText(TextBuffer* buffer, DWORD cchText)
{
    buffer->pszText = NULL;
    buffer->cchText = cchText;
    if (cchText > kMaxText)
        return FALSE;
    buffer->pszText = static_cast<char*>(GlobalAlloc(GPTR, cchText + 1));
    return buffer->pszText != NULL;
}

BOOL GetEditText(HWND hwnd, TextBuffer* buffer)
{
    const BOOL bCopy = buffer->cchText == 0;
    buffer->pszText = NULL;
    if (!bCopy)
        return AllocateText(buffer, buffer->cchText);
    const int cch = GetWindowTextLengthA(hwnd);
    if (cch < 0 || !AllocateText(buffer, static_cast<DWORD>(cch)))
        return FALSE;
    if (buffer->cchText == 0)
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
