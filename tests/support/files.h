// Files for tests: a fresh folder per test, and whole-file reads and writes.
#ifndef TEKSTOR_TESTS_FILES_H
#define TEKSTOR_TESTS_FILES_H

#include <windows.h>

#include <string>

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

bool WriteBytes(const std::string& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
std::string ShortPath(const std::string& path);
std::string LongPath(const std::string& path);
// The name under which the shell shows the file.
std::string ShellDisplayName(const std::string& path);
// The path up to and with its last backslash.
std::string DirectoryPart(const std::string& path);

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
