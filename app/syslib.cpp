#include "app/syslib.h"

static const char* const kLibraryNames[SYSLIB_COUNT] = {"comdlg32.dll", "shell32.dll",
                                                          "ole32.dll"};

// LOAD_LIBRARY_SEARCH_SYSTEM32 is known where AddDllDirectory is (Windows 8,
// and Vista and 7 with update KB2533623); older systems refuse the flag with
// ERROR_INVALID_PARAMETER.
static bool HasSearchFlags()
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    return hKernel && GetProcAddress(hKernel, "AddDllDirectory");
}

void RestrictLibrarySearch()
{
    // Found by name: where kernel32 lacks it (Vista and 7 without KB2533623),
    // an import would keep the program from starting at all.
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    auto pfnSetDefault = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(
        hKernel ? GetProcAddress(hKernel, "SetDefaultDllDirectories") : NULL));
    if (pfnSetDefault && pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Takes the current folder out of the search; the program's own folder
    // stays first there, which only the call above can change.
    SetDllDirectoryW(L"");
}

// There the full path does the same. With the altered search path, the
// libraries it needs in turn are also looked for in its folder first, not
// beside the exe.
static HMODULE LoadByFullPath(const char* pszName)
{
    char szPath[MAX_PATH];
    const UINT cchDir = GetSystemDirectoryA(szPath, MAX_PATH);
    const int cchName = lstrlenA(pszName);
    if (cchDir == 0 || cchDir + 1 + cchName >= MAX_PATH)
        return NULL;
    szPath[cchDir] = '\\';
    lstrcpynA(szPath + cchDir + 1, pszName, MAX_PATH - cchDir - 1);
    return LoadLibraryExA(szPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

static HMODULE LoadFromSystemFolder(const char* pszName)
{
    if (HasSearchFlags()) {
        HMODULE hModule = LoadLibraryExA(pszName, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (hModule || GetLastError() != ERROR_INVALID_PARAMETER)
            return hModule;
    }
    return LoadByFullPath(pszName);
}

HMODULE LoadSystemLibrary(SystemLibrary library)
{
    static HMODULE s_hModules[SYSLIB_COUNT];
    if (library < 0 || library >= SYSLIB_COUNT)
        return NULL;
    if (!s_hModules[library])
        s_hModules[library] = LoadFromSystemFolder(kLibraryNames[library]);
    return s_hModules[library];
}

FARPROC GetSystemLibraryProc(SystemLibrary library, const char* pszFunction)
{
    HMODULE hModule = LoadSystemLibrary(library);
    return hModule ? GetProcAddress(hModule, pszFunction) : NULL;
}
