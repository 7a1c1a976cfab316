// File helpers for tests: fresh folders on drive C: of the test prefix,
// whole-file reads and writes, recursive clean-up and tree listings.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace qvtest {

// C:\QvTest\<name>, emptied and created anew.
std::wstring FreshTestFolder(const std::wstring& name);

// The freshly built programs, as Windows paths.
std::wstring BuiltProgram(const std::wstring& fileName);
inline std::wstring UninstallExe() { return BuiltProgram(L"Uninstall.exe"); }

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

// The names of the temporary files ("inst*.tmp") in the work folder.
std::set<std::wstring> WorkFolderTempFiles();

std::wstring ParentOf(const std::wstring& path);
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

}  // namespace qvtest
