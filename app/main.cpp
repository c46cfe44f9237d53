#include <windows.h>

#include "app/shell.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
    HACCEL hAccel;
    if (!StartInstance(hInstance, hPrevInstance, GetArgumentString(), nCmdShow, &hAccel))
        return 0;
    const int nExitCode = RunMessageLoop(hAccel);
    EndInstance();
    return nExitCode;
}
