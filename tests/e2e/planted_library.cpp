// A library that does nothing but leave a mark when a process loads it: put
// beside tekstor.exe under a system library's name, it shows whether the
// editor would take a stranger's library for the system's.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        // "NAME.dll.loaded" beside the library itself.
        char szMark[MAX_PATH + 16];
        const DWORD cch = GetModuleFileNameA(hInstance, szMark, MAX_PATH);
        if (cch > 0 && cch < MAX_PATH) {
            lstrcpynA(szMark + cch, ".loaded", 16);
            HANDLE hFile = CreateFileA(szMark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (hFile != INVALID_HANDLE_VALUE)
                CloseHandle(hFile);
        }
    }
    return TRUE;
}
