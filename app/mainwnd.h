#ifndef TEKSTOR_APP_MAINWND_H
#define TEKSTOR_APP_MAINWND_H

#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
