#include "bench/TestFiles.h"

#include <windows.h>

#include <algorithm>

#include "bench/Driver.h"

namespace qvtest {

std::wstring FreshTestFolder(const std::wstring& name) {
    const std::wstring folder = L"C:\\QvTest\\" + name;
    RemoveTree(folder);
    MakeFolders(folder);
    return folder;
}

std::wstring BuiltProgram(const std::wstring& fileName) {
    return std::wstring(QV_BINARY_DIR) + L"\\" + fileName;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::wstring& path) {
    if (path.empty() || IsFolder(path)) return true;
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2) MakeFolders(path.substr(0, slash));
    return CreateDirectoryW(path.c_str(), nullptr) || IsFolder(path);
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    RemoveDirectoryW(path.c_str());
}

static void ListInto(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW found;
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring entry = relative.empty() ? name : relative + L"\\" + name;
        const bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.push_back(folderEntry ? entry + L"\\" : entry);
        if (folderEntry && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ListInto(root, entry, out);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::vector<std::wstring> entries;
    ListInto(root, L"", entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}

FileState StateOf(const std::wstring& path) {
    return FileState{ReadFileBytes(path), GetFileAttributesW(path.c_str())};
}

namespace {

// The Linux path of a Windows path, from Wine's own conversion.
std::string UnixPath(const std::wstring& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = convert ? convert(path.c_str()) : nullptr;
    if (!name) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a command of the Linux shell. Wine starts a Linux program named by its
// Z: path but hands back no process handle, so the command ends by putting its
// exit status into a file, which this waits for. True when it exited with 0.
bool RunLinuxCommand(const std::string& command) {
    static int serial = 0;
    MakeFolders(L"C:\\QvTest");
    const std::wstring done =
        L"C:\\QvTest\\linux-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial) + L".status";
    const std::string doneUnix = UnixPath(done);
    if (doneUnix.empty()) return false;
    std::string line = "Z:\\bin\\sh -c \"" + command + "; echo $? >'" + doneUnix + ".part' && mv '" + doneUnix +
                       ".part' '" + doneUnix + "'\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return false;
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    const bool finished = WaitUntil([&] { return PathExists(done); });
    const std::string status = ReadFileBytes(done);
    DeleteFileW(done.c_str());
    return finished && status == "0\n";
}

std::string Quoted(const std::string& unixPath) {
    return "'" + unixPath + "'";
}

}  // namespace

bool PlantLink(const std::wstring& link, const std::wstring& target) {
    const std::string linkUnix = UnixPath(link), targetUnix = UnixPath(target);
    if (linkUnix.empty() || targetUnix.empty()) return false;
    return RunLinuxCommand("ln -s " + Quoted(targetUnix) + " " + Quoted(linkUnix));
}

bool RemoveLink(const std::wstring& link) {
    const std::string linkUnix = UnixPath(link);
    if (linkUnix.empty()) return false;
    return RunLinuxCommand("test ! -L " + Quoted(linkUnix) + " || rm " + Quoted(linkUnix));
}

namespace {

const wchar_t WatchMarker[] = L"QvWatch.mark";

}  // namespace

FolderWatch::FolderWatch(const std::wstring& folder) : folder_(folder), buffer_(16384) {
    directory_ =
        CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Read();
}

FolderWatch::~FolderWatch() {
    if (reading_) {
        CancelIo(directory_);
        DWORD bytes = 0;
        GetOverlappedResult(directory_, &overlapped_, &bytes, TRUE);
    }
    if (directory_ != INVALID_HANDLE_VALUE) CloseHandle(directory_);
    if (overlapped_.hEvent) CloseHandle(overlapped_.hEvent);
}

void FolderWatch::Read() {
    ResetEvent(overlapped_.hEvent);
    reading_ = directory_ != INVALID_HANDLE_VALUE &&
               ReadDirectoryChangesW(directory_, buffer_.data(), static_cast<DWORD>(buffer_.size() * sizeof(DWORD)),
                                     FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, nullptr,
                                     &overlapped_, nullptr);
}

std::vector<std::wstring> FolderWatch::Changes() {
    std::vector<std::wstring> names;
    if (!reading_) return {L"(the folder cannot be watched)"};
    const std::wstring marker = folder_ + L"\\" + WatchMarker;
    if (!WriteFileBytes(marker, "")) return {L"(no marker file)"};
    bool markerSeen = false;
    while (!markerSeen && reading_) {
        if (WaitForSingleObject(overlapped_.hEvent, DefaultWaitMs) != WAIT_OBJECT_0) break;
        DWORD bytes = 0;
        reading_ = false;
        if (!GetOverlappedResult(directory_, &overlapped_, &bytes, FALSE)) break;
        if (bytes == 0) names.push_back(L"(more changes than the buffer holds)");
        const BYTE* record = reinterpret_cast<const BYTE*>(buffer_.data());
        for (DWORD offset = 0; bytes != 0;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(record + offset);
            const std::wstring name(change->FileName, change->FileNameLength / sizeof(wchar_t));
            if (name == WatchMarker)
                markerSeen = true;
            else if (!markerSeen)
                names.push_back(name);
            if (change->NextEntryOffset == 0) break;
            offset += change->NextEntryOffset;
        }
        if (!markerSeen) Read();
    }
    DeleteFileW(marker.c_str());
    if (!markerSeen) names.push_back(L"(the marker's record never came)");
    return names;
}

std::wstring ParentOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

bool IsMarkedAsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace qvtest
