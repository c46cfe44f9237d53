#include "app/commdlg.h"

FARPROC GetCommonDialogProc(const char* pszFunction)
{
    // Loaded once and kept: the modeless find dialogs live on in it.
    static HMODULE s_hModule;
    if (!s_hModule)
        s_hModule = LoadLibraryA("comdlg32.dll");
    return s_hModule ? GetProcAddress(s_hModule, pszFunction) : NULL;
}
