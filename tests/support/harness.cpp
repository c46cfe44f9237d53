#include "support/harness.h"

#include "app/shell.h"

bool PumpMessages(HACCEL hAccel, int* pnQuitCode, int* pnChars)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (pnQuitCode)
                *pnQuitCode = static_cast<int>(msg.wParam);
            return false;
        }
        if (pnChars && (msg.message == WM_CHAR || msg.message == WM_SYSCHAR))
            ++*pnChars;
        HandleLoopMessage(&msg, hAccel);
    }
    return true;
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs, HACCEL hAccel)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpMessages(hAccel);
        if (pred())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return pred();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

std::string WindowText(HWND hwnd)
{
    const int cch = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(cch) + 1, '\0');
    const int got = GetWindowTextA(hwnd, &text[0], cch + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

int PressKey(UINT vk, bool bCtrl, bool bShift, HACCEL hAccel)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = bCtrl ? 0x80 : 0;
    state[VK_SHIFT] = bShift ? 0x80 : 0;
    SetKeyboardState(state);
    HWND hwnd = GetFocus();
    const UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
    int nChars = 0;
    PumpMessages(hAccel, nullptr, &nChars);
    state[VK_CONTROL] = 0;
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
    return nChars;
}

static std::string g_blockedClass;
static int g_nBlocked;
static HHOOK g_hBlockHook;

static LRESULT CALLBACK BlockCreationProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char name[64] = "";
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        if (lstrcmpiA(name, g_blockedClass.c_str()) == 0) {
            ++g_nBlocked;
            return 1;
        }
    }
    return CallNextHookEx(g_hBlockHook, code, wParam, lParam);
}

WindowCreationBlocker::WindowCreationBlocker(const char* pszClass)
{
    g_blockedClass = pszClass;
    g_nBlocked = 0;
    m_hHook = g_hBlockHook = SetWindowsHookExA(WH_CBT, BlockCreationProc, NULL, GetCurrentThreadId());
}

WindowCreationBlocker::~WindowCreationBlocker()
{
    UnhookWindowsHookEx(m_hHook);
    g_hBlockHook = NULL;
}

int WindowCreationBlocker::Blocked() const
{
    return g_nBlocked;
}

void EditorTest::SetUp()
{
    static wchar_t szArgs[] = L"";
    ASSERT_TRUE(StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &m_hAccel));
    ASSERT_NE(m_hAccel, nullptr);
    ASSERT_NE(g_hMenu, nullptr);
    SetForegroundWindow(g_hwndMain);
    Pump();
}

void EditorTest::TearDown()
{
    if (IsWindow(g_hwndMain))
        DestroyWindow(g_hwndMain);
    PumpMessages(m_hAccel);
    EndInstance();
}

void EditorTest::Command(UINT uId)
{
    SendMessageA(g_hwndMain, WM_COMMAND, uId, 0);
    Pump();
}

void EditorTest::SetPaneText(const std::string& text)
{
    SetWindowTextA(g_hwndEdit, text.c_str());
    Pump();
}
