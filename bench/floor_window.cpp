// The least a window program does before it is ready for the user: register
// a class, show one window, and wait for messages. The start-up floor.
//
// Started with "pane", its window holds what the editor's window must: the
// same Edit control, with the editor's styles (both scroll bars), limit and
// font, filling the client area and given the focus. The second floor: what
// any program with that pane pays, whose first paint alone (scroll bars under
// a visual theme) is more than the editor's own work.
//
// For tekstor_bench's breakdown it notes the moments between those steps and
// writes them to its standard output at exit ("name ms", as startup_probe
// does). Started with a library's name, it loads that library first: the
// floor plus what loading that library costs a start.
#include <windows.h>

#include <cstdio>

#include "bench/clock.h"
#include "edit/editpane.h"

static struct {
    const char* pszName;
    double ms;
} s_marks[8];
static int s_nMarks;
static bool s_bPane;
static HWND s_hwndPane;
static HFONT s_hFont;

static void Note(const char* pszName)
{
    if (s_nMarks < 8)
        s_marks[s_nMarks++] = {pszName, Now()};
}

static void WriteMarks(double msLibrary)
{
    HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    char text[512];
    int cch = 0;
    for (int i = 0; i < s_nMarks; ++i)
        cch += snprintf(text + cch, sizeof text - cch, "%s %.4f\n", s_marks[i].pszName, s_marks[i].ms);
    if (msLibrary > 0)
        cch += snprintf(text + cch, sizeof text - cch, "library %.4f\n", msLibrary);
    DWORD written;
    WriteFile(hOut, text, static_cast<DWORD>(cch), &written, NULL);
}

// As the editor makes its pane in WM_CREATE: the font, the control sized to
// the client area with the limit lifted and the font set, then shown.
static void CreatePane(HWND hwnd)
{
    Note("font");
    s_hFont = CreatePaneFont();
    Note("pane");
    RECT rc;
    GetClientRect(hwnd, &rc);
    s_hwndPane = CreateWindowExA(0, "Edit", NULL, EDIT_STYLE_NOWRAP, 0, 0, rc.right, rc.bottom,
                                 hwnd, NULL, GetModuleHandleA(NULL), NULL);
    SendMessageA(s_hwndPane, EM_SETLIMITTEXT, 0, 0);
    SendMessageA(s_hwndPane, WM_SETFONT, reinterpret_cast<WPARAM>(s_hFont), 0);
    ShowWindow(s_hwndPane, SW_SHOW);
    SetFocus(s_hwndPane);
}

static LRESULT CALLBACK FloorWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        if (s_bPane)
            CreatePane(hwnd);
        return 0;
    case WM_SIZE:
        if (s_hwndPane)
            MoveWindow(s_hwndPane, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (s_hwndPane)
            SetFocus(s_hwndPane);
        return 0;
    case WM_DESTROY:
        DeleteObject(s_hFont);
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    s_bPane = lstrcmpA(lpCmdLine, "pane") == 0;
    double msLibrary = 0;
    if (lpCmdLine[0] && !s_bPane) {
        const double t0 = Now();
        LoadLibraryExA(lpCmdLine, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
        msLibrary = Now() - t0;
    }
    Note("class");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "FloorWindow";
    if (!RegisterClassA(&wc))
        return 0;
    Note("window");
    HWND hwnd = CreateWindowExA(0, "FloorWindow", "Floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL,
                                hInstance, NULL);
    if (!hwnd)
        return 0;
    Note("show");
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
    Note("idle");
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WriteMarks(msLibrary);
    return static_cast<int>(msg.wParam);
}
