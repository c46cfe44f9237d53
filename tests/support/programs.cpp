#include "support/programs.h"

std::string TestExeDir()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path, n);
    const size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

struct FindData {
    DWORD pid;
    const char* pszClass;
    HWND hwnd;
    bool bUsable;  // only a visible, enabled window
};

static BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam)
{
    FindData* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    const bool bUsable = IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
    if (pid == data->pid && lstrcmpA(cls, data->pszClass) == 0 && (bUsable || !data->bUsable)) {
        data->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(DWORD pid, const char* pszClass, bool bUsable)
{
    FindData data = {pid, pszClass, NULL, bUsable};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&data));
    return data.hwnd;
}
