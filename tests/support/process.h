// Support for tests that run tekstor.exe as a separate program and drive it
// from outside, as a user (or the system) would.
#ifndef TEKSTOR_TESTS_PROCESS_H
#define TEKSTOR_TESTS_PROCESS_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/programs.h"

std::string TekstorExePath();

// Polls pred() every few milliseconds until it holds or timeoutMs ran out.
bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000);

class EditorProcess {
public:
    EditorProcess() = default;
    ~EditorProcess();
    EditorProcess(const EditorProcess&) = delete;
    EditorProcess& operator=(const EditorProcess&) = delete;

    // Starts the editor (or the copy of it at exe) with the argument string
    // and waits for its visible main window.
    bool Start(const std::string& args = "", const std::string& workDir = "",
               const std::string& exe = "");
    // The same with a wide argument string, as the shell passes names that
    // the ANSI code page cannot hold.
    bool Start(const std::wstring& args, const std::string& workDir = "",
               const std::string& exe = "");
    HWND Main() const { return m_hwndMain; }
    HWND Pane() const;
    DWORD Pid() const { return m_pi.dwProcessId; }
    // Waits for the process to end; returns its exit code, or -1 on time-out.
    int WaitForExit(DWORD timeoutMs = 10000);
    // Closes the window, answers No if the save prompt comes, and returns the
    // exit code as WaitForExit does.
    int CloseDiscardingChanges();

private:
    PROCESS_INFORMATION m_pi = {};
    HWND m_hwndMain = NULL;
};

std::string RemoteWindowText(HWND hwnd);
DWORD RemoteStyle(HWND hwnd);

// Real input through SendInput, to whatever window has the keyboard focus.
// extra goes into dwExtraInfo, the mark a program can put on what it sends.
void SendKey(WORD vk, bool bDown, ULONG_PTR extra = 0);
void SendChord(std::initializer_list<WORD> keys, ULONG_PTR extra = 0);
void TypeText(const std::string& text);
bool BringToFront(HWND hwnd);

// Real keys as X events: xdotool on the test's display, run through Wine's
// start of Unix programs. They reach Wine as a person's typing does, with the
// X server's times and its auto-repeat. With hwnd, the keys go to its X
// window, which gets the X focus first. Waits until xdotool is done.
bool RunXdotool(const std::string& args, HWND hwnd = NULL);

// The visible dialog (message box or file dialog) that process pid shows
// now and that is not disabled behind another one; NULL when there is none.
HWND FindProcessDialog(DWORD pid);

// Editor main windows that appear after this object was made, in any process
// (the copies that an editor starts for further names). Closes them at the end.
class NewEditorWindows {
public:
    NewEditorWindows();
    ~NewEditorWindows();
    NewEditorWindows(const NewEditorWindows&) = delete;
    NewEditorWindows& operator=(const NewEditorWindows&) = delete;
    // Visible ones not counted before, without those of process pidExcept.
    std::vector<HWND> Now(DWORD pidExcept = 0) const;
private:
    std::vector<HWND> m_before;
};

#endif
