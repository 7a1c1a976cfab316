// File helpers for tests: fresh folders on drive C: of the test prefix,
// whole-file reads and writes, recursive clean-up and tree listings, links
// made on the Linux side and a watch of the names made in a folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvtest {

// C:\QvTest\<name>, emptied and created anew.
std::wstring FreshTestFolder(const std::wstring& name);

// The freshly built programs, as Windows paths.
std::wstring BuiltProgram(const std::wstring& fileName);
inline std::wstring UninstallExe() {
    return BuiltProgram(L"Uninstall.exe");
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// Creates every missing folder of the path (which names a folder).
bool MakeFolders(const std::wstring& path);
// Deletes a folder tree or a file, clearing read-only marks; never follows
// reparse points.
void RemoveTree(const std::wstring& path);
// Every file and folder below root, as paths relative to it, sorted.
std::vector<std::wstring> ListTree(const std::wstring& root);

// A file's bytes and attributes, to compare a file before and after.
struct FileState {
    std::string bytes;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    bool operator==(const FileState& other) const { return bytes == other.bytes && attributes == other.attributes; }
};
FileState StateOf(const std::wstring& path);

// Links, made and removed from the Linux side: Wine's CreateSymbolicLinkW
// makes nothing, but a Unix symbolic link inside the prefix is a link for the
// Windows programs (a folder link shows FILE_ATTRIBUTE_REPARSE_POINT; a link
// whose target is missing is invisible to them). Never remove a link with
// DeleteFileW or RemoveDirectoryW: under Wine they remove its target.
bool PlantLink(const std::wstring& link, const std::wstring& target);
// True when the entry exists and is marked as a reparse point (a link).
bool IsMarkedAsLink(const std::wstring& path);
bool RemoveLink(const std::wstring& link);

// Records the names added, removed or renamed directly in a folder from its
// construction on.
class FolderWatch {
public:
    explicit FolderWatch(const std::wstring& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Ends the watch and returns the names of every change, in order. A
    // marker file of the watch's own is made last and deleted again: once its
    // record is read, every earlier change has been.
    std::vector<std::wstring> Changes();

private:
    void Read();
    std::wstring folder_;
    HANDLE directory_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    std::vector<DWORD> buffer_;
    bool reading_ = false;
};

std::wstring ParentOf(const std::wstring& path);
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

}  // namespace qvtest
