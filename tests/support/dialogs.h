// Answers the modal dialogs (message boxes, file dialogs) that this thread
// opens, in order, from a thread timer that fires inside their modal loops,
// and records what each dialog showed.
#ifndef TEKSTOR_TESTS_DIALOGS_H
#define TEKSTOR_TESTS_DIALOGS_H

#include <windows.h>

#include <string>
#include <vector>

enum class DialogKind { MessageBox, FileDialog, Other };

struct SeenDialog {
    DialogKind kind = DialogKind::Other;
    HWND hwndOwner = NULL;
    std::string caption;
    std::string text;    // message box: its message; file dialog: the name field
    std::string folder;  // file dialog: the folder it shows
    std::vector<std::string> types;  // file dialog: the type list
    RECT rc = {};
    bool bExclamation = false;       // message box: shows the exclamation icon
    bool bYesNoCancel = false;       // message box: has exactly Yes, No and Cancel
};

struct DialogAction {
    DialogKind kind;
    int nButton;           // IDYES/IDNO/IDCANCEL, or IDOK/IDCANCEL for a file dialog
    std::string fileName;   // typed into a file dialog's name field before IDOK
    std::wstring wideName;  // typed instead when given: a name outside the code page
};

inline DialogAction Answer(int nButton) { return {DialogKind::MessageBox, nButton, "", L""}; }
inline DialogAction Choose(const std::string& name)
{
    return {DialogKind::FileDialog, IDOK, name, L""};
}
inline DialogAction Choose(const std::wstring& name)
{
    return {DialogKind::FileDialog, IDOK, "", name};
}
inline DialogAction CancelFileDialog() { return {DialogKind::FileDialog, IDCANCEL, "", L""}; }

// Only one script runs at a time. A dialog that no action is left for, or of
// another kind than the next action, is cancelled and counted as unexpected.
class DialogScript {
public:
    explicit DialogScript(std::vector<DialogAction> actions);
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;
    const std::vector<SeenDialog>& Seen() const;
    size_t Done() const;        // actions carried out
    int Unexpected() const;
    // Leaves a dialog alone that stays open meanwhile (a Find dialog, or the
    // file dialog a prompt was asked over).
    void Ignore(HWND hwnd);
};

#endif
