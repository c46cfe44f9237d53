#include "support/process.h"

#include <vector>

#include "support/files.h"

std::string TekstorExePath()
{
    // The package test points this at the exe unpacked from the archive.
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TEKSTOR_EXE", path, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        return path;
    return TestExeDir() + "\\tekstor.exe";
}

bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs)
            return pred();
        Sleep(5);
    }
    return true;
}

EditorProcess::~EditorProcess()
{
    if (m_pi.hProcess) {
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_pi.hProcess, 99);
            WaitForSingleObject(m_pi.hProcess, 5000);
        }
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
}

bool EditorProcess::Start(const std::string& args, const std::string& workDir,
                          const std::string& exe)
{
    return Start(Wide(args), workDir, exe);
}

bool EditorProcess::Start(const std::wstring& args, const std::string& workDir,
                          const std::string& exe)
{
    std::wstring cmd = L"\"" + Wide(exe.empty() ? TekstorExePath() : exe) + L"\"";
    if (!args.empty())
        cmd += L" " + args;
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(L'\0');
    const std::wstring dir = Wide(workDir);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(NULL, buf.data(), NULL, NULL, FALSE, 0, NULL,
                        dir.empty() ? NULL : dir.c_str(), &si, &m_pi))
        return false;
    WaitForInputIdle(m_pi.hProcess, 10000);
    return WaitUntil([this] {
        m_hwndMain = FindProcessWindow(m_pi.dwProcessId, "WndClassTekstor");
        return m_hwndMain && IsWindowVisible(m_hwndMain);
    });
}

HWND EditorProcess::Pane() const
{
    return FindWindowExA(m_hwndMain, NULL, "Edit", NULL);
}

int EditorProcess::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return static_cast<int>(code);
}

int EditorProcess::CloseDiscardingChanges()
{
    PostMessageA(m_hwndMain, WM_CLOSE, 0, 0);
    WaitUntil([this] {
        if (HWND box = FindProcessDialog(m_pi.dwProcessId))
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0;
    });
    return WaitForExit();
}

std::string RemoteWindowText(HWND hwnd)
{
    const LRESULT cch = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(cch) + 1, '\0');
    const LRESULT got = SendMessageA(hwnd, WM_GETTEXT, cch + 1, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(got));
    return text;
}

DWORD RemoteStyle(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
}

void SendKey(WORD vk, bool bDown, ULONG_PTR extra)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = bDown ? 0 : KEYEVENTF_KEYUP;
    if (vk >= VK_PRIOR && vk <= VK_DOWN)  // the cursor block is extended
        in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    in.ki.dwExtraInfo = extra;
    SendInput(1, &in, sizeof in);
}

void SendChord(std::initializer_list<WORD> keys, ULONG_PTR extra)
{
    for (WORD vk : keys)
        SendKey(vk, true, extra);
    for (auto it = keys.end(); it != keys.begin();)
        SendKey(*--it, false, extra);
}

void TypeText(const std::string& text)
{
    for (char c : text) {
        const SHORT vks = VkKeyScanA(c);
        const WORD vk = LOBYTE(vks);
        if (HIBYTE(vks) & 1)
            SendChord({VK_SHIFT, vk});
        else
            SendChord({vk});
    }
}

bool BringToFront(HWND hwnd)
{
    SetForegroundWindow(hwnd);
    return WaitUntil([hwnd] { return GetForegroundWindow() == hwnd; }, 5000);
}

bool RunXdotool(const std::string& args, HWND hwnd)
{
    const auto xid = reinterpret_cast<ULONG_PTR>(hwnd ? GetPropA(hwnd, "__wine_x11_whole_window") : NULL);
    const std::string focus = xid ? "xdotool windowfocus --sync " + std::to_string(xid) + "; " : "";
    return RunLinuxCommand(focus + "xdotool " + args, 60000) != "<failed>";
}

// A dialog that can take an answer: shown and not disabled by one above it.
HWND FindProcessDialog(DWORD pid)
{
    return FindProcessWindow(pid, "#32770", true);
}

static BOOL CALLBACK CollectEditorsProc(HWND hwnd, LPARAM lParam)
{
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "WndClassTekstor") == 0 && IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

static std::vector<HWND> EditorWindows()
{
    std::vector<HWND> found;
    EnumWindows(CollectEditorsProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

NewEditorWindows::NewEditorWindows() : m_before(EditorWindows())
{
}

std::vector<HWND> NewEditorWindows::Now(DWORD pidExcept) const
{
    std::vector<HWND> fresh;
    for (HWND hwnd : EditorWindows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        bool bOld = false;
        for (HWND old : m_before)
            bOld = bOld || old == hwnd;
        if (!bOld && pid != pidExcept)
            fresh.push_back(hwnd);
    }
    return fresh;
}

NewEditorWindows::~NewEditorWindows()
{
    for (HWND hwnd : Now()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        if (hProcess) {
            if (WaitForSingleObject(hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(hProcess, 99);
            CloseHandle(hProcess);
        }
    }
}
