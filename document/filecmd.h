// The file commands (New, Open, Save, Save As), the save prompt that guards
// every step that would discard a modified document, and the file dialogs.
#ifndef TEKSTOR_DOCUMENT_FILECMD_H
#define TEKSTOR_DOCUMENT_FILECMD_H

#include <windows.h>
#include <commdlg.h>

#include <cstddef>

constexpr DWORD OPEN_DIALOG_FLAGS =
    OFN_EXPLORER | OFN_CREATEPROMPT | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
constexpr DWORD SAVE_DIALOG_FLAGS = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_ENABLEHOOK |
                                    OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
static_assert(OPEN_DIALOG_FLAGS == 0x82024 && SAVE_DIALOG_FLAGS == 0x80826, "dialog flags");

// The record as the first Explorer-style dialogs knew it: it ends with
// lpTemplateName (76 bytes on 32-bit Windows).
constexpr DWORD FILE_DIALOG_RECORD_SIZE =
    offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
#ifndef _WIN64
static_assert(FILE_DIALOG_RECORD_SIZE == 76, "the 32-bit record is 76 bytes");
#endif

// The extension the file dialogs give a name typed without one, and the one
// their first filter shows. A literal, so that it can join a wide one too.
#define DEFAULT_EXTENSION "txt"

constexpr int FILTER_SIZE = 260;
constexpr int PROMPT_HALF = 256;

// TRUE when the caller may go on: not modified, saved, or to be discarded.
BOOL QuerySaveChanges(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit);
BOOL FileNew(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit);
BOOL FileOpen(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit);
BOOL FileSave(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit);
BOOL FileSaveAs(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit);

UINT_PTR CALLBACK FileDialogHookProc(HWND hdlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void CenterWindowOnScreen(HWND hwnd);

// Fills the record both dialogs share: the initial name into pszFile
// (DOCUMENT_PATH_SIZE characters), the filter list into pszFilter
// (FILTER_SIZE characters). The dialogs are the wide ones: their result is
// the file's exact name, whatever characters it holds.
void PrepareFileDialog(OPENFILENAMEW* ofn, HINSTANCE hInstance, HWND hwndMain, wchar_t* pszFile,
                       wchar_t* pszFilter, DWORD dwFlags);

// Tells the user why pszGiven cannot be opened (uReason from FindDocumentFile).
void ShowOpenRefusal(HWND hwndOwner, const wchar_t* pszGiven, UINT uReason);

// The prompt's message for pszName into pszOut (PROMPT_HALF bytes); a name
// too long for it loses its beginning, marked by "...".
void FormatSavePrompt(char* pszOut, const char* pszFormat, const char* pszName);

#endif
