// The editor with a fresh folder for files, and the pane's state as the
// document tests look at it.
#ifndef TEKSTOR_TESTS_DOCUMENT_FIXTURE_H
#define TEKSTOR_TESTS_DOCUMENT_FIXTURE_H

#include "document/document.h"
#include "support/files.h"
#include "support/harness.h"

class DocumentFixture : public EditorTest {
protected:
    bool Modified() const { return SendMessageA(g_hwndEdit, EM_GETMODIFY, 0, 0) != 0; }
    bool CanUndo() const { return SendMessageA(g_hwndEdit, EM_CANUNDO, 0, 0) != 0; }
    // A user's edit: replaces the whole text, marks the pane modified and
    // leaves something to undo.
    void Type(const std::string& text)
    {
        SendMessageA(g_hwndEdit, EM_SETSEL, 0, -1);
        SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Makes path the document's file, as a Save As would (no file loaded or
    // saved under it yet).
    void UseFile(const std::string& path)
    {
        wchar_t szFull[DOCUMENT_PATH_SIZE];
        GetFullPathNameW(Wide(path).c_str(), DOCUMENT_PATH_SIZE, szFull, NULL);
        SetDocumentFile(szFull);
    }
    TempDir m_dir;
};

#endif
