#include "app/shell.h"

#include "app/mainwnd.h"
#include "app/state.h"
#include "find/findreplace.h"
#include "macro/macro.h"
#include "res/resource.h"

const char kMainClassName[] = "WndClassTekstor";

HWND CreateMainWindow(HINSTANCE hPrevInstance)
{
    if (!hPrevInstance) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = MainWndProc;
        wc.hInstance = g_hInstance;
        wc.hIcon = LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_MAIN));
        // The caption's small icon, taken from the same group. Left out, the
        // system makes it by reading the resource again through the large
        // icon, which under Wine costs the start two milliseconds.
        wc.hIconSm = static_cast<HICON>(LoadImageA(g_hInstance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0));
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kMainClassName;
        if (!RegisterClassExA(&wc)) {
            if (wc.hIconSm)
                DestroyIcon(wc.hIconSm);
            return NULL;
        }
    }
    // WS_EX_ACCEPTFILES makes it a drop target, all that DragAcceptFiles does,
    // so the shell is loaded only when something is dropped.
    g_hwndMain = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_OVERLAPPEDWINDOW | WS_EX_ACCEPTFILES,
                                 kMainClassName,
                                 "Tekstor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, g_hInstance, NULL);
    return g_hwndMain;
}

LPWSTR GetArgumentString()
{
    // Found as the start-up code finds WinMain's ANSI tail, which cannot be
    // used: it holds a look-alike for every character of a name that the
    // code page lacks, and so names another file.
    LPWSTR psz = GetCommandLineW();
    bool bQuoted = false;
    while (*psz > L' ' || (*psz && bQuoted)) {
        if (*psz == L'"')
            bQuoted = !bQuoted;
        ++psz;
    }
    while (*psz && *psz <= L' ')
        ++psz;
    return psz;
}

BOOL StartInstance(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR pszArgs,
                   int nCmdShow, HACCEL* phAccel)
{
    g_hwndFindDlg = NULL;
    g_hMenu = NULL;
    g_bWordWrap = FALSE;
    g_bRecording = FALSE;
    g_hJournalHook = NULL;
    g_pMacroHead = NULL;
    g_pMacroPos = NULL;
    g_hInstance = hInstance;

    *phAccel = NULL;
    if (!CreateMainWindow(hPrevInstance))
        return FALSE;
    *phAccel = LoadAcceleratorsA(g_hInstance, MAKEINTRESOURCEA(IDR_ACCEL));
    g_hMenu = LoadMenuA(g_hInstance, MAKEINTRESOURCEA(IDR_POPUPMENU));
    ShowWindow(g_hwndMain, nCmdShow);
    UpdateWindow(g_hwndMain);
    g_uFindReplaceMsg = RegisterWindowMessageA(FINDMSGSTRINGA);
    InitFindReplace();
    // Handled as the loop's first message, once the window is up.
    PostMessageA(g_hwndMain, WMU_OPENARGS, 0, reinterpret_cast<LPARAM>(pszArgs));
    return TRUE;
}

void HandleLoopMessage(MSG* pMsg, HACCEL hAccel)
{
    if (g_hwndFindDlg && IsDialogMessageA(g_hwndFindDlg, pMsg))
        return;
    // An accelerator key is still dispatched as a key message, but never
    // translated, so it types no character.
    g_pAcceleratorMsg = pMsg;
    const BOOL bCommand = TranslateAcceleratorA(g_hwndMain, hAccel, pMsg);
    g_pAcceleratorMsg = NULL;
    if (!bCommand)
        TranslateMessage(pMsg);
    DispatchMessageA(pMsg);
}

int RunMessageLoop(HACCEL hAccel)
{
    MSG msg = {};
    BOOL bResult;
    while ((bResult = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (bResult == -1)  // a broken queue would otherwise spin for ever
            return 0;
        HandleLoopMessage(&msg, hAccel);
    }
    return static_cast<int>(msg.wParam);
}

void EndInstance()
{
    if (g_hMenu) {
        DestroyMenu(g_hMenu);
        g_hMenu = NULL;
    }
}
