#include "support/files.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

TempDir::TempDir()
{
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    static int s_nSerial;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char name[64];
        wsprintfA(name, "tekstor test %lu-%d", GetCurrentProcessId(), ++s_nSerial);
        std::string path = std::string(tmp) + name;
        if (CreateDirectoryA(path.c_str(), NULL)) {
            m_path = path;
            return;
        }
    }
}

static void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0],
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow(text.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0],
                                      static_cast<int>(narrow.size()), NULL, NULL);
    narrow.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return narrow;
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    return WriteBytes(Wide(path), bytes);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path)
{
    return ReadBytes(Wide(path));
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(GetFileSize(h, NULL), '\0');
    DWORD got = 0;
    if (!bytes.empty())
        ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &got, NULL);
    CloseHandle(h);
    bytes.resize(got);
    return bytes;
}

// Runs a shell command in folder from the Linux side: true when it succeeded.
static bool RunInFolderFromLinux(const std::string& folder, const std::string& script)
{
    const std::string unixFolder = LinuxPath(folder);
    // The folder goes in single quotes; it holds none.
    return !unixFolder.empty() && RunLinuxCommand("cd '" + unixFolder + "' && " + script + " && echo done") == "done\n";
}

bool WriteBytesFromLinux(const std::string& folder, const std::string& leaf,
                         const std::string& bytes)
{
    return RunInFolderFromLinux(folder, "printf %s '" + bytes + "' > '" + leaf + "'");
}

std::string ReadBytesFromLinux(const std::string& folder, const std::string& leaf)
{
    const std::string copy = folder + "\\linux.copy";
    if (!RunInFolderFromLinux(folder, "cat '" + leaf + "' > linux.copy"))
        return "<missing>";
    const std::string bytes = ReadBytes(copy);
    DeleteFileA(copy.c_str());
    return bytes;
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target)
{
    const HRESULT hrInit = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    bool bMade = false;
    IShellLinkW* pLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&pLink)))) {
        IPersistFile* pFile = nullptr;
        if (SUCCEEDED(pLink->SetPath(target.c_str())) &&
            SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
            bMade = SUCCEEDED(pFile->Save(link.c_str(), TRUE));
            pFile->Release();
        }
        pLink->Release();
    }
    if (SUCCEEDED(hrInit))
        CoUninitialize();
    return bMade;
}

std::string MakeShortReadFile(const std::string& folder)
{
    const std::string path = folder + "\\kurz.txt";
    if (!RunInFolderFromLinux(folder, "ln -sf /sys/devices/system/cpu/online kurz.txt"))
        return "";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    char buf[64];
    DWORD got = 0;
    const bool bShort = GetFileSize(h, NULL) > sizeof buf && ReadFile(h, buf, sizeof buf, &got, NULL) &&
                        got > 0 && got < sizeof buf;
    CloseHandle(h);
    return bShort ? path : "";
}

std::string ShortPath(const std::wstring& path)
{
    wchar_t wide[MAX_PATH] = L"";
    char bytes[MAX_PATH] = "";
    BOOL bLost = FALSE;
    if (!GetShortPathNameW(path.c_str(), wide, MAX_PATH) ||
        !WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, bytes, MAX_PATH, NULL,
                             &bLost) ||
        bLost)
        return "";
    return bytes;
}

std::string ShortPath(const std::string& path)
{
    char buf[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), buf, MAX_PATH);
    return buf;
}

std::string LongPath(const std::string& path)
{
    char buf[MAX_PATH] = "";
    GetLongPathNameA(path.c_str(), buf, MAX_PATH);
    return buf;
}

FileLock::FileLock(const std::string& path)
    : m_hFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, 0, NULL))
{
}

FileLock::~FileLock()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
}

std::string ShellDisplayName(const std::string& path)
{
    SHFILEINFOA info = {};
    SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
    return info.szDisplayName;
}

std::string DirectoryPart(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\') + 1);
}

static DWORD WINAPI LongPathAsShort(LPCWSTR pszLong, LPWSTR pszShort, DWORD cchShort)
{
    const DWORD cch = static_cast<DWORD>(lstrlenW(pszLong));
    if (cch >= cchShort)
        return cch + 1;
    lstrcpyW(pszShort, pszLong);
    return cch;
}

ShortNamesOff::ShortNamesOff()
    : m_patch(GetModuleHandleA(NULL), "GetShortPathNameW", reinterpret_cast<void*>(LongPathAsShort))
{
}

std::string LinuxPath(const std::string& path)
{
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto pfnUnixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* pszUnix = pfnUnixName ? pfnUnixName(Wide(path).c_str()) : nullptr;
    if (!pszUnix)
        return "";
    const std::string unix = pszUnix;
    HeapFree(GetProcessHeap(), 0, pszUnix);
    return unix;
}

std::string RunLinuxCommand(const std::string& command, DWORD timeoutMs)
{
    TempDir dir;
    const std::string script = dir / "run.sh";
    const std::string out = LinuxPath(dir / "out");
    if (out.empty() || !WriteBytes(script, "(" + command + ") >'" + out + ".tmp' 2>&1\nmv '" + out +
                                              ".tmp' '" + out + "'\n"))
        return "<failed>";
    // Wine splits the command line by the Windows rules, which know double
    // quotes only.
    std::string cmd = "/bin/sh \"" + LinuxPath(script) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA("Z:\\bin\\sh", &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return "<failed>";
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    const DWORD dwStart = GetTickCount();
    while (GetFileAttributesA((dir / "out").c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - dwStart > timeoutMs)
            return "<failed>";
        Sleep(10);
    }
    return ReadBytes(dir / "out");
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

std::string JournalFolder()
{
    char szBase[MAX_PATH] = "";
    GetEnvironmentVariableA("LOCALAPPDATA", szBase, MAX_PATH);
    return std::string(szBase) + "\\Tekstor\\Journal";
}

std::vector<std::string> JournalFiles()
{
    return FilesIn(JournalFolder());
}
