// FakeRepair.exe: stands in for the product's repair program. Writes its
// command line and current directory, UTF-8, one per line, to its own path
// with ".log" appended, then ends.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace

int wmain() {
    wchar_t self[MAX_PATH * 2];
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    wchar_t folder[MAX_PATH * 2];
    GetCurrentDirectoryW(MAX_PATH * 2, folder);
    const std::string record = Utf8(GetCommandLineW()) + "\n" + Utf8(folder) + "\n";
    const std::wstring logPath = std::wstring(self) + L".log";
    // Written under a temporary name and renamed, so a reader never sees half.
    const std::wstring partial = logPath + L".part";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), logPath.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
