// Replaces, for the lifetime of the object, the address that one module's
// import table holds for a function: every call the module makes to it then
// reaches the replacement. Tests use it to watch or to vary what the system
// does, without a hook in the program.
#ifndef TEKSTOR_TESTS_IMPORTS_H
#define TEKSTOR_TESTS_IMPORTS_H

#include <windows.h>

class ImportPatch {
public:
    ImportPatch(HMODULE hModule, const char* pszFunction, void* pfnReplacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    // False when the module imports no function of that name.
    bool Installed() const { return m_ppSlot != nullptr; }
    // The function the module called before.
    void* Original() const { return m_pOriginal; }
private:
    void** m_ppSlot = nullptr;
    void* m_pOriginal = nullptr;
};

#endif
