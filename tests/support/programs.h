// Finding one's own folder and another program's windows: shared by the tests
// and the bench, so it needs nothing of the test framework.
#ifndef TEKSTOR_TESTS_PROGRAMS_H
#define TEKSTOR_TESTS_PROGRAMS_H

#include <windows.h>

#include <string>

// The folder of the running program's exe.
std::string TestExeDir();

// The first window of class pszClass that process pid owns; with bUsable,
// only one that is shown and enabled.
HWND FindProcessWindow(DWORD pid, const char* pszClass, bool bUsable = false);

#endif
