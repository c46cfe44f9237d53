#include <windows.h>

#include "app/shell.h"
#include "app/syslib.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
    RestrictLibrarySearch();
    HACCEL hAccel;
    if (!StartInstance(hInstance, hPrevInstance, GetArgumentString(), nCmdShow, &hAccel))
        return 0;
    const int nExitCode = RunMessageLoop(hAccel);
    EndInstance();
    return nExitCode;
}
