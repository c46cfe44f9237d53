// Whether the pane shows a loaded file's bytes as they are. The Edit control
// ends its text at the first NUL, and where it keeps its text as Unicode (Wine;
// Windows with version 6 of the common controls) bytes that are no character
// of the ANSI code page do not come back; a save would write what the pane
// shows over the file's real bytes.
#ifndef TEKSTOR_DOCUMENT_READBACK_H
#define TEKSTOR_DOCUMENT_READBACK_H

#include <windows.h>

#include "app/state.h"

// Read back after a load: TRUE when the pane holds exactly the file's bytes.
BOOL PaneShowsBytes(HWND hwndEdit, const char* pBytes, DWORD cbBytes);
// Tells the user that the pane does not show the loaded file's bytes.
void TellChangedBytes(HWND hwndOwner);

// TRUE when a save into target may go on: it is not the file whose bytes the
// pane changed, or the user says yes.
BOOL MaySaveChangedBytes(HWND hwndOwner, const FileIdentity* target);

#endif
