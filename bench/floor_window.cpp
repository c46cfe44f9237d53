// The least a window program does before it is ready for the user: register
// a class, show one window, and wait for messages. The start-up floor.
//
// For tekstor_bench's breakdown it notes the moments between those steps and
// writes them to its standard output at exit ("name ms", as startup_probe
// does). Started with a library's name, it loads that library first: the
// floor plus what loading that library costs a start.
#include <windows.h>

#include <cstdio>

#include "bench/clock.h"

static double s_marks[4];
static const char* const s_names[4] = {"class", "window", "show", "idle"};

static void WriteMarks(double msLibrary)
{
    HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    char text[256];
    int cch = 0;
    for (int i = 0; i < 4; ++i)
        cch += snprintf(text + cch, sizeof text - cch, "%s %.4f\n", s_names[i], s_marks[i]);
    if (msLibrary > 0)
        cch += snprintf(text + cch, sizeof text - cch, "library %.4f\n", msLibrary);
    DWORD written;
    WriteFile(hOut, text, static_cast<DWORD>(cch), &written, NULL);
}

static LRESULT CALLBACK FloorWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_DESTROY) {
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    s_marks[0] = Now();
    double msLibrary = 0;
    if (lpCmdLine[0]) {
        LoadLibraryExA(lpCmdLine, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
        msLibrary = Now() - s_marks[0];
        s_marks[0] = Now();
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "FloorWindow";
    if (!RegisterClassA(&wc))
        return 0;
    s_marks[1] = Now();
    HWND hwnd = CreateWindowExA(0, "FloorWindow", "Floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL,
                                hInstance, NULL);
    if (!hwnd)
        return 0;
    s_marks[2] = Now();
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
    s_marks[3] = Now();
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WriteMarks(msLibrary);
    return static_cast<int>(msg.wParam);
}
