#include "removal/RemovalRun.h"

#include "framework/String.h"
#include "removal/ExitCodes.h"
#include "removal/LogFile.h"
#include "support/Handles.h"

namespace {

const wchar_t* const OutcomeWords[] = {L"removed", L"absent", L"kept", L"would remove", L"would keep", L"skipped"};
constexpr int OutcomeCount = sizeof(OutcomeWords) / sizeof(OutcomeWords[0]);

// Appends text with every control character turned into a blank.
void AppendOneLine(CString& line, const wchar_t* text) {
    if (!text) return;
    for (const wchar_t* c = text; *c; ++c) line += (*c < 0x20 || *c == 0x7F) ? L' ' : *c;
}

// "<code>: <the system's text for it>", trailing line breaks and dots kept
// as the system writes them, inner line breaks as blanks.
void AppendErrorText(CString& line, DWORD error) {
    CString number;
    number.Format(L"%lu: ", static_cast<unsigned long>(error));
    line += number;
    // FORMAT_MESSAGE_ALLOCATE_BUFFER: the system allocates the text with
    // LocalAlloc and stores its address where the buffer argument points.
    CLocalMemory<wchar_t*> text;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(text.Receive()), 0, nullptr);
    wchar_t* message = text.Get();
    if (length == 0 || !message) {
        line += L"(no text for this code)";
        return;
    }
    int end = static_cast<int>(length);
    while (end > 0 && (message[end - 1] == L'\r' || message[end - 1] == L'\n' || message[end - 1] == L' ')) --end;
    message[end] = L'\0';
    AppendOneLine(line, message);
}

// The local date and time with its offset from UTC: 2026-03-01 14:03:22 +01:00.
CString LocalTimeText() {
    FILETIME universal, local;
    GetSystemTimeAsFileTime(&universal);
    FileTimeToLocalFileTime(&universal, &local);
    SYSTEMTIME time;
    FileTimeToSystemTime(&local, &time);
    // The offset from UTC in whole minutes (half a minute rounds away from
    // zero) out of its 100-ns ticks. A minute's 600,000,000 ticks are
    // 512 * 1,171,875: after the shift a 32-bit division is left, so the
    // 32-bit build needs no 64-bit division routines. It is exact for
    // offsets below 61 hours; time zones stay within a day.
    const LONGLONG difference = ((static_cast<LONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime) -
                                ((static_cast<LONGLONG>(universal.dwHighDateTime) << 32) | universal.dwLowDateTime);
    const ULONGLONG distance = static_cast<ULONGLONG>(difference < 0 ? -difference : difference) + 300000000;
    const DWORD minutes = static_cast<DWORD>(distance >> 9) / 1171875;
    CString text;
    text.Format(L"%04u-%02u-%02u %02u:%02u:%02u %c%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
                time.wMinute, time.wSecond, difference < 0 && minutes ? L'-' : L'+',
                static_cast<unsigned>(minutes / 60), static_cast<unsigned>(minutes % 60));
    return text;
}

// The file version of the program's own version resource: 6.5.0.0.
CString ProgramVersionText() {
    CString text(L"unknown");
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
    const HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    // The fixed part starts with its signature, 0xFEEF04BD, on a DWORD boundary.
    for (DWORD offset = 0; data && offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
        const VS_FIXEDFILEINFO* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + offset);
        if (fixed->dwSignature != 0xFEEF04BD) continue;
        text.Format(L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                    HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        break;
    }
    return text;
}

const wchar_t* OrNone(const wchar_t* text) {
    return text && text[0] ? text : L"(none)";
}

// "DOMAIN\user (elevated)" for the account the process runs as: the one whose
// per-user keys (HKCU) the run cleans.
CString AccountText() {
    CString text(L"(unknown)");
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return text;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } owner;
    DWORD size = 0;
    if (GetTokenInformation(token.Get(), TokenUser, &owner, sizeof owner, &size)) {
        wchar_t name[256], domain[256];
        DWORD nameLength = 256, domainLength = 256;
        SID_NAME_USE use;
        if (LookupAccountSidW(nullptr, owner.user.User.Sid, name, &nameLength, domain, &domainLength, &use)) {
            text = domain;
            text += L"\\";
            text += name;
        }
    }
    TOKEN_ELEVATION elevation = {};
    if (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        text += elevation.TokenIsElevated ? L" (elevated)" : L" (not elevated)";
    return text;
}

CString ComputerText() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? CString(name) : CString(L"(unknown)");
}

CString ProgramPathText() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? CString(path) : CString(L"(unknown)");
}

}  // namespace

// Writes one line as UTF-8 with one WriteFile call: nothing is held back.
void CRemovalRun::WriteLine(const CString& line) const {
    if (!log_) return;
    const CString text = line + L"\r\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    CProcessHeapBlock<char> utf8(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, bytes)));
    if (!utf8) return;
    WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), utf8.Get(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(log_.Get(), utf8.Get(), static_cast<DWORD>(bytes), &written, nullptr);
}

void CRemovalRun::WriteField(const wchar_t* name, const wchar_t* value) const {
    CString line(name);
    line += L": ";
    AppendOneLine(line, value);
    WriteLine(line);
}

int CRemovalRun::OpenLog(const wchar_t* path, const CRemovalLogHeader& header, const wchar_t* const* keptOut,
                         int keptOutCount) {
    if (log_) return 0;
    log_.Reset(CreateLogFile(path, keptOut, keptOutCount));
    if (!log_) return 0;
    // The byte order mark tells Windows' own tools that the text is UTF-8.
    const char byteOrderMark[] = "\xEF\xBB\xBF";
    DWORD written = 0;
    WriteFile(log_.Get(), byteOrderMark, 3, &written, nullptr);
    WriteLine(plan_ ? L"GlyphSmith uninstall plan: nothing is removed" : L"GlyphSmith uninstall log");
    WriteField(L"date", LocalTimeText());
    WriteField(L"version", ProgramVersionText());
    WriteField(L"program", ProgramPathText());
    WriteField(L"command line", OrNone(header.CommandLine));
    WriteField(L"mode", OrNone(header.Mode));
    WriteField(L"account", AccountText());
    WriteField(L"computer", ComputerText());
    WriteField(L"product key", OrNone(header.ProductKey));
    WriteField(L"display name", OrNone(header.DisplayName));
    WriteField(L"install folder", OrNone(header.InstallFolder));
    WriteField(L"preview folder", OrNone(header.PreviewFolder));
    for (int& count : counts_) count = 0;
    return 1;
}

void CRemovalRun::Log(const wchar_t* what, const wchar_t* subject, LogOutcome outcome, DWORD error) const {
    if (!log_) return;
    int index = static_cast<int>(outcome);
    if (index < 0 || index >= OutcomeCount) index = static_cast<int>(LogOutcome::Kept);
    ++counts_[index];
    CString line(OutcomeWords[index]);
    line += L": ";
    AppendOneLine(line, what);
    line += L" \"";
    AppendOneLine(line, subject);
    line += L"\" - error ";
    AppendErrorText(line, error);
    WriteLine(line);
}

void CRemovalRun::Note(const wchar_t* text) const {
    if (log_) WriteField(L"note", text);
}

void CRemovalRun::CloseLog(int exitCode) {
    if (!log_) return;
    WriteField(L"end", LocalTimeText());
    // A plan counts what it would remove and keep.
    const int removed = plan_ ? static_cast<int>(LogOutcome::WouldRemove) : static_cast<int>(LogOutcome::Removed);
    const int kept = plan_ ? static_cast<int>(LogOutcome::WouldKeep) : static_cast<int>(LogOutcome::Kept);
    CString totals;
    totals.Format(L"%s %d, absent %d, %s %d, skipped %d", OutcomeWords[removed], counts_[removed],
                  counts_[static_cast<int>(LogOutcome::Absent)], OutcomeWords[kept], counts_[kept],
                  counts_[static_cast<int>(LogOutcome::Skipped)]);
    WriteField(L"totals", totals);
    // In this program's words: the system's text for a code (1 is
    // "Incorrect function.", 170 "The requested resource is in use.") would
    // mislead.
    CString line;
    line.Format(L"exit code %d: %s", exitCode, ExitCodeMeaning(exitCode));
    WriteLine(line);
    log_.Reset();
    plan_ = 0;
}
