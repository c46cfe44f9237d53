// The edit pane: the one Edit control that fills the main window and holds the
// document's text. It is re-created, text and all, whenever word wrap changes.
#ifndef TEKSTOR_EDIT_EDITPANE_H
#define TEKSTOR_EDIT_EDITPANE_H

#include <windows.h>

constexpr DWORD EDIT_STYLE_WRAP = 0x40201104;    // no horizontal scrolling
constexpr DWORD EDIT_STYLE_NOWRAP = 0x40301184;  // with ES_AUTOHSCROLL, WS_HSCROLL

HFONT CreatePaneFont();

// Creates the pane for the current g_bWordWrap, or replaces the existing one.
// Non-zero on success. On failure the pane that existed before is still there,
// unchanged.
int CreateEditPane(HWND hwndParent, UINT uMsg, WPARAM wParam, LPARAM lParam);

void LayoutEditPane(HWND hwndParent, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The word-wrap command: flips g_bWordWrap and re-creates the pane; when that
// fails, the flag and the check mark go back to match the pane that remains.
void ToggleWordWrap(WPARAM wParam, LPARAM lParam);

#endif
