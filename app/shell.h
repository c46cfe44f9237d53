// Start, message loop and end of a run. WinMain is these three calls; tests
// make the same calls so that they run the program as it really starts.
#ifndef TEKSTOR_APP_SHELL_H
#define TEKSTOR_APP_SHELL_H

#include <windows.h>

extern const char kMainClassName[];

HWND CreateMainWindow(HINSTANCE hPrevInstance);

// The argument string: the wide command line after the program's own name.
LPWSTR GetArgumentString();

// Everything WinMain does before its loop. FALSE when the main window could
// not be created (nothing else was loaded then). pszArgs is the argument
// string, posted to the window for OpenFromArguments.
BOOL StartInstance(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR pszArgs,
                   int nCmdShow, HACCEL* phAccel);

// One pass of the loop for one retrieved message.
void HandleLoopMessage(MSG* pMsg, HACCEL hAccel);

// Runs until WM_QUIT and returns its exit code.
int RunMessageLoop(HACCEL hAccel);

void EndInstance();

#endif
