// In-process test support: start the program's own window the way WinMain
// does, and drive its message loop from the test.
#ifndef TEKSTOR_TESTS_HARNESS_H
#define TEKSTOR_TESTS_HARNESS_H

#include <windows.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "app/state.h"

// Runs every message that is waiting through the program's own loop step.
// Returns false once WM_QUIT was seen; its code goes to *pnQuitCode. The
// character messages that passed are added to *pnChars.
bool PumpMessages(HACCEL hAccel = NULL, int* pnQuitCode = nullptr, int* pnChars = nullptr);

// Pumps until pred() holds or timeoutMs ran out; returns pred()'s last value.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000, HACCEL hAccel = NULL);

std::string WindowText(HWND hwnd);

// Presses a key through the loop as the keyboard would: with the modifier
// state set for the thread, a WM_KEYDOWN/WM_KEYUP pair posted to the focus.
// Returns how many character messages the loop made of it.
int PressKey(UINT vk, bool bCtrl, bool bShift, HACCEL hAccel);

// Makes CreateWindowEx fail for windows of one class on this thread while it
// lives (a CBT hook that vetoes the creation).
class WindowCreationBlocker {
public:
    explicit WindowCreationBlocker(const char* pszClass);
    ~WindowCreationBlocker();
    int Blocked() const;
private:
    HHOOK m_hHook;
};

// A running editor in this process, started as WinMain starts it.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void Pump() { PumpMessages(m_hAccel); }
    void Command(UINT uId);
    std::string PaneText() const { return WindowText(g_hwndEdit); }
    void SetPaneText(const std::string& text);
    HACCEL m_hAccel = NULL;
};

#endif
