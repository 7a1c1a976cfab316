// devenv.exe stand-in for tests: appends one line to the log file named by
// HKCU\Software\QvTest\FakeDevenv "Log":
//   <own path>|<command line>|<current directory>
// and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t logPath[1024] = L"";
    DWORD size = sizeof(logPath);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\QvTest\\FakeDevenv", L"Log", RRF_RT_REG_SZ, nullptr, logPath,
                     &size) != ERROR_SUCCESS)
        return 2;
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t current[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring line = std::wstring(self) + L"|" + GetCommandLineW() + L"|" + current + L"\r\n";

    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &text[0], bytes, nullptr, nullptr);
    // Several instances may run at once: each appends its line in one write.
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(log);
    return 0;
}
