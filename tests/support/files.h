// Files for tests: a fresh folder per test, and whole-file reads and writes.
#ifndef TEKSTOR_TESTS_FILES_H
#define TEKSTOR_TESTS_FILES_H

#include <windows.h>

#include <string>
#include <vector>

#include "support/imports.h"

// A new, empty folder under the temporary folder; removed with all it holds.
// Its name contains a space so that paths in it have a distinct short form.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }
private:
    std::string m_path;
};

// The text in the wide form, through the ANSI code page.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

bool WriteBytes(const std::string& path, const std::string& bytes);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
std::string ReadBytes(const std::wstring& path);
// Writes or reads the file named leaf in folder from the Linux side, where
// the name is taken literally: through Wine, a name like another file's short
// name may open that file instead. Names and bytes hold no single quote.
bool WriteBytesFromLinux(const std::string& folder, const std::string& leaf,
                         const std::string& bytes);
std::string ReadBytesFromLinux(const std::string& folder, const std::string& leaf);
// A file in folder whose reads end before its size: a link, made from the
// Linux side, to a value under /sys, which Linux gives the size 4096 and
// reads as its few bytes. Its path, or "" where there is none.
std::string MakeShortReadFile(const std::string& folder);
// A shell shortcut (.lnk) at link that points at target.
bool MakeShortcut(const std::wstring& link, const std::wstring& target);
std::string ShortPath(const std::string& path);
// The short form of a wide path, in ANSI bytes when it holds only characters
// of the code page; "" otherwise.
std::string ShortPath(const std::wstring& path);
std::string LongPath(const std::string& path);
// The name under which the shell shows the file.
std::string ShellDisplayName(const std::string& path);
// The path up to and with its last backslash.
std::string DirectoryPart(const std::string& path);

// The names of the files (not folders) in dir.
std::vector<std::string> FilesIn(const std::string& dir);

// Where the editor keeps the journals of saves not yet finished, and the
// names of those there now.
std::string JournalFolder();
std::vector<std::string> JournalFiles();

// The file's path on the Linux side (Wine's wine_get_unix_file_name).
std::string LinuxPath(const std::string& path);
// Runs a shell command line on the Linux side (Wine starts Unix programs)
// and returns what it printed, or "<failed>" when it did not finish within
// timeoutMs. Wine's handle of a Unix process does not tell when it ends, so
// the output goes into a file that is renamed into place last.
std::string RunLinuxCommand(const std::string& command, DWORD timeoutMs = 10000);

// While it lives, this program sees no short (8.3) names: GetShortPathNameW
// gives the long path back, as on a volume where short names are turned off
// (Wine makes one up for every name, so the case cannot be had otherwise).
class ShortNamesOff {
public:
    ShortNamesOff();
    bool Active() const { return m_patch.Installed(); }
private:
    ImportPatch m_patch;
};

// Holds a file open for writing without sharing it, as another program may.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    bool Held() const { return m_hFile != INVALID_HANDLE_VALUE; }
private:
    HANDLE m_hFile;
};

#endif
