#include "support/imports.h"

static void** FindImportSlot(HMODULE hModule, const char* pszFunction)
{
    BYTE* base = reinterpret_cast<BYTE*>(hModule);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name; ++desc) {
        // The name table stays as linked; the address table is what the loader filled.
        const DWORD rvaNames =
            desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + rvaNames);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), pszFunction) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

static void WriteSlot(void** ppSlot, void* pValue)
{
    DWORD dwOld = 0;
    VirtualProtect(ppSlot, sizeof *ppSlot, PAGE_READWRITE, &dwOld);
    *ppSlot = pValue;
    VirtualProtect(ppSlot, sizeof *ppSlot, dwOld, &dwOld);
}

ImportPatch::ImportPatch(HMODULE hModule, const char* pszFunction, void* pfnReplacement)
    : m_ppSlot(hModule ? FindImportSlot(hModule, pszFunction) : nullptr)
{
    if (m_ppSlot) {
        m_pOriginal = *m_ppSlot;
        WriteSlot(m_ppSlot, pfnReplacement);
    }
}

ImportPatch::~ImportPatch()
{
    if (m_ppSlot)
        WriteSlot(m_ppSlot, m_pOriginal);
}
