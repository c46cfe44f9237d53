#include "support/dialogs.h"
#include "support/files.h"

#include <iterator>

#include <commdlg.h>

#include <algorithm>

namespace {

struct ScriptState {
    std::vector<DialogAction> actions;
    std::vector<SeenDialog> seen;
    size_t next = 0;
    int unexpected = 0;
    HWND hwndLastActed = NULL;
    std::string lastFolder;  // of the file dialog acted on last
    std::vector<HWND> ignored;
    UINT_PTR idTimer = 0;
};
ScriptState* g_pScript;

constexpr int kNameField = 0x480;
constexpr int kTypeList = 0x470;
constexpr int kMessageText = 0xFFFF;

BOOL CALLBACK CollectDialogProc(HWND hwnd, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::string ItemText(HWND hwndDlg, int id)
{
    char buf[1024] = "";
    GetDlgItemTextA(hwndDlg, id, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK FindIconProc(HWND hwnd, LPARAM lParam)
{
    if ((GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        reinterpret_cast<HICON>(SendMessageA(hwnd, STM_GETICON, 0, 0)) ==
            LoadIconA(NULL, IDI_EXCLAMATION))
        *reinterpret_cast<bool*>(lParam) = true;
    return TRUE;
}

SeenDialog Describe(HWND hwnd)
{
    SeenDialog seen;
    seen.hwndOwner = GetWindow(hwnd, GW_OWNER);
    char buf[MAX_PATH * 2] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    seen.caption = buf;
    GetWindowRect(hwnd, &seen.rc);
    if (GetDlgItem(hwnd, kTypeList) && GetDlgItem(hwnd, kNameField)) {
        seen.kind = DialogKind::FileDialog;
        seen.text = ItemText(hwnd, kNameField);
        // The dialogs are the wide ones, which answer in the wide form.
        wchar_t wide[MAX_PATH * 2] = L"";
        SendMessageW(hwnd, CDM_GETFOLDERPATH, std::size(wide), reinterpret_cast<LPARAM>(wide));
        seen.folder = Narrow(wide);
        HWND hwndTypes = GetDlgItem(hwnd, kTypeList);
        const LRESULT n = SendMessageA(hwndTypes, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            buf[0] = '\0';
            SendMessageA(hwndTypes, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
            seen.types.push_back(buf);
        }
    } else if (GetDlgItem(hwnd, kMessageText)) {
        seen.kind = DialogKind::MessageBox;
        seen.text = ItemText(hwnd, kMessageText);
        EnumChildWindows(hwnd, FindIconProc, reinterpret_cast<LPARAM>(&seen.bExclamation));
        auto shown = [hwnd](int id) {
            HWND h = GetDlgItem(hwnd, id);
            return h && IsWindowVisible(h);
        };
        seen.bYesNoCancel = shown(IDYES) && shown(IDNO) && shown(IDCANCEL) && !shown(IDOK);
    }
    return seen;
}

// Posted, not sent: the dialog carries the answer out in its own loop, after
// this timer callback has returned, so a dialog it opens in turn (an
// overwrite question) is met by a later tick.
void Act(HWND hwnd, const DialogAction& action)
{
    if (action.kind == DialogKind::FileDialog && action.nButton == IDOK) {
        if (!action.wideName.empty())
            SetDlgItemTextW(hwnd, kNameField, action.wideName.c_str());
        else
            SetDlgItemTextA(hwnd, kNameField, action.fileName.c_str());
    }
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(action.nButton, BN_CLICKED), 0);
}

void CALLBACK ScriptTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    ScriptState* s = g_pScript;
    if (!s)
        return;
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialogProc, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND hwnd : dialogs) {
        if (std::find(s->ignored.begin(), s->ignored.end(), hwnd) != s->ignored.end())
            continue;
        // The dialog acted on last may not have ended yet; it counts again only
        // once another dialog (a question it asked) came and went, or once it
        // went to another folder (a folder name was chosen).
        SeenDialog seen = Describe(hwnd);
        if (hwnd == s->hwndLastActed && seen.folder == s->lastFolder)
            continue;
        s->seen.push_back(seen);
        s->hwndLastActed = hwnd;
        s->lastFolder = seen.folder;
        if (s->next < s->actions.size() && s->actions[s->next].kind == seen.kind) {
            Act(hwnd, s->actions[s->next++]);
        } else {
            ++s->unexpected;
            PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
}

}  // namespace

DialogScript::DialogScript(std::vector<DialogAction> actions)
{
    g_pScript = new ScriptState;
    g_pScript->actions = std::move(actions);
    g_pScript->idTimer = SetTimer(NULL, 0, 20, ScriptTimerProc);
}

DialogScript::~DialogScript()
{
    KillTimer(NULL, g_pScript->idTimer);
    delete g_pScript;
    g_pScript = nullptr;
}

const std::vector<SeenDialog>& DialogScript::Seen() const
{
    return g_pScript->seen;
}

size_t DialogScript::Done() const
{
    return g_pScript->next;
}

int DialogScript::Unexpected() const
{
    return g_pScript->unexpected;
}

void DialogScript::Ignore(HWND hwnd)
{
    g_pScript->ignored.push_back(hwnd);
}
