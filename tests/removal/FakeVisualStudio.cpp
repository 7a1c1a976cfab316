#include "FakeVisualStudio.h"

#include <oleauto.h>

#include "bench/Driver.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "helpers/FakeDteIds.h"

namespace qvtest {

namespace {

const wchar_t ClassesRoot[] = L"Software\\Classes\\";
// The stand-in registers itself the way a program of this build's bitness
// does, in the process's own registry view (OwnView), with a type library for
// its own platform: a 32-bit client finds proxies only there.
constexpr SYSKIND OwnSysKind = sizeof(void*) == 4 ? SYS_WIN32 : SYS_WIN64;
const wchar_t DevenvConfigKey[] = L"Software\\QvTest\\FakeDevenv";

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64] = L"";
    StringFromGUID2(guid, text, 64);
    return text;
}

// A type library with the two model interfaces as dual interfaces without
// members of their own: enough for the type library marshaller to build
// proxies that forward the IDispatch calls.
bool WriteTypeLibrary(const std::wstring& path, std::wstring& error) {
    ICreateTypeLib2* library = nullptr;
    HRESULT result = CreateTypeLib2(OwnSysKind, path.c_str(), &library);
    if (FAILED(result)) {
        error = L"CreateTypeLib2 failed";
        return false;
    }
    library->SetGuid(LIBID_FakeDte);
    library->SetVersion(1, 0);
    library->SetName(const_cast<LPOLESTR>(L"QvFakeDte"));
    library->SetLcid(LOCALE_NEUTRAL);

    const GUID IID_StdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    ITypeLib* stdole = nullptr;
    ITypeInfo* dispatchInfo = nullptr;
    result = LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, &stdole);
    if (SUCCEEDED(result)) result = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    if (FAILED(result)) {
        error = L"stdole2 not available";
        if (stdole) stdole->Release();
        library->Release();
        return false;
    }
    const struct {
        const wchar_t* name;
        const IID* iid;
    } interfaces[] = {{L"_DTE", &IID_DTE}, {L"_CommandBars", &IID_CommandBars}};
    for (const auto& entry : interfaces) {
        ICreateTypeInfo* info = nullptr;
        result = library->CreateTypeInfo(const_cast<LPOLESTR>(entry.name), TKIND_INTERFACE, &info);
        if (FAILED(result)) break;
        info->SetGuid(*entry.iid);
        info->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
        HREFTYPE base = 0;
        result = info->AddRefTypeInfo(dispatchInfo, &base);
        if (SUCCEEDED(result)) result = info->AddImplType(0, base);
        if (SUCCEEDED(result)) result = info->LayOut();
        info->Release();
        if (FAILED(result)) break;
    }
    if (SUCCEEDED(result)) result = library->SaveAllChanges();
    dispatchInfo->Release();
    stdole->Release();
    library->Release();
    if (FAILED(result)) error = L"type library could not be written";
    return SUCCEEDED(result);
}

void DeleteInterfaceKeys() {
    DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + L"Interface\\" + GuidText(IID_DTE), OwnView);
    DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + L"Interface\\" + GuidText(IID_CommandBars), OwnView);
    DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + L"TypeLib\\" + GuidText(LIBID_FakeDte), OwnView);
}

// Deletes a log file, waiting while a stand-in that has just written its
// last line still holds it open.
bool DeleteLog(const std::wstring& path) {
    return WaitUntil(
        [&path] { return DeleteFileW(path.c_str()) || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

size_t CountLinesEndingWith(const std::vector<std::string>& lines, const std::string& tail) {
    size_t count = 0;
    for (const std::string& line : lines)
        if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) ++count;
    return count;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

FakeAutomation::FakeAutomation(const std::vector<std::wstring>& versions, const std::wstring& folder)
    : versions_(versions), logPath_(folder + L"\\automation.log"), typeLibPath_(folder + L"\\FakeDte.tlb") {
    const std::wstring server = BuiltProgram(L"helpers\\FakeDte.exe");
    DeleteInterfaceKeys();
    if (!WriteTypeLibrary(typeLibPath_, error_)) return;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(typeLibPath_.c_str(), REGKIND_REGISTER, &library))) {
        error_ = L"type library could not be registered";
        return;
    }
    library->Release();
    for (const std::wstring& version : versions_) {
        CLSID clsid;
        if (!FakeDteClassOf(version, clsid)) {
            error_ = L"no class for version " + version;
            return;
        }
        const std::wstring progId = L"VisualStudio.DTE." + version;
        const std::wstring classKey = std::wstring(ClassesRoot) + L"CLSID\\" + GuidText(clsid);
        SetRegString(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + progId + L"\\CLSID", L"", GuidText(clsid),
                     OwnView);
        SetRegString(HKEY_LOCAL_MACHINE, classKey + L"\\LocalServer32", L"", L"\"" + server + L"\" " + version,
                     OwnView);
        SetRegString(HKEY_LOCAL_MACHINE, classKey + L"\\ProgID", L"", progId, OwnView);
    }
    Configure(FakeDteConfig());
    registered_ = true;
}

FakeAutomation::~FakeAutomation() {
    WaitForServersToEnd();
    for (const std::wstring& version : versions_) {
        CLSID clsid;
        if (!FakeDteClassOf(version, clsid)) continue;
        DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + L"VisualStudio.DTE." + version, OwnView);
        DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + L"CLSID\\" + GuidText(clsid), OwnView);
    }
    UnRegisterTypeLib(LIBID_FakeDte, 1, 0, LOCALE_NEUTRAL, OwnSysKind);
    DeleteInterfaceKeys();
    DeleteRegTree(HKEY_CURRENT_USER, FakeDteConfigKey);
    DeleteFileW(typeLibPath_.c_str());
    DeleteLog(logPath_);
}

void FakeAutomation::Configure(const FakeDteConfig& config) {
    const auto flag = [](const wchar_t* name, bool on) {
        const DWORD value = on ? 1 : 0;
        SetRegValue(HKEY_CURRENT_USER, FakeDteConfigKey, name, REG_DWORD, &value, sizeof(value));
    };
    SetRegString(HKEY_CURRENT_USER, FakeDteConfigKey, L"Log", logPath_);
    flag(L"DteInterface", config.dteInterface);
    flag(L"BarsInterface", config.barsInterface);
    flag(L"ProductBar", config.productBar);
    flag(L"ProductCommand", config.productCommand);
    flag(L"ToolsBar", config.toolsBar);
}

namespace {
const wchar_t HoldName[] = L"QvTest FakeDte hold";
}

AutomationHold::AutomationHold()
    : entered_(CreateEventW(nullptr, TRUE, FALSE, (std::wstring(HoldName) + L" entered").c_str())),
      release_(CreateEventW(nullptr, TRUE, FALSE, HoldName)) {
    SetRegString(HKEY_CURRENT_USER, FakeDteConfigKey, L"Hold", HoldName);
}

AutomationHold::~AutomationHold() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, FakeDteConfigKey, L"Hold");
    Release();
    CloseHandle(entered_);
    CloseHandle(release_);
}

bool AutomationHold::WaitUntilHeld() const {
    return WaitForSingleObject(entered_, 60000) == WAIT_OBJECT_0;
}

void AutomationHold::Release() const {
    SetEvent(release_);
}

void FakeAutomation::UnregisterProgId(const std::wstring& version) {
    DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(ClassesRoot) + L"VisualStudio.DTE." + version, OwnView);
}

std::vector<std::string> FakeAutomation::Log() const {
    return SplitLines(ReadFileBytes(logPath_));
}

std::vector<std::string> FakeAutomation::Calls() const {
    std::vector<std::string> calls;
    for (const std::string& line : Log())
        if (line.find(" exit") == std::string::npos) calls.push_back(line);
    return calls;
}

bool FakeAutomation::ClearLog() const {
    return DeleteLog(logPath_);
}

bool FakeAutomation::WaitForServersToEnd() const {
    return WaitUntil([this] {
        const std::vector<std::string> lines = Log();
        return CountLinesEndingWith(lines, " exit") >= CountLinesEndingWith(lines, " CreateInstance");
    });
}

InstalledVisualStudio::InstalledVisualStudio(const std::wstring& folder) {
    layout_.visualStudioRoot = folder + L"\\Microsoft Visual Studio";
    layout_.devenvSource = BuiltProgram(L"helpers\\devenv.exe");
    layout_.visualStudioVersions = {L"8.0", L"9.0", L"10.0", L"11.0"};
    RemoveSampleVisualStudio(layout_);
    LayOutSampleVisualStudio(layout_, &error_);
}

InstalledVisualStudio::~InstalledVisualStudio() {
    RemoveSampleVisualStudio(layout_);
}

bool InstalledVisualStudio::Uninstall(const std::wstring& version) const {
    return DeleteFileW((FolderOf(version) + L"devenv.exe").c_str()) != FALSE;
}

FakeDevenvLog::FakeDevenvLog(const std::wstring& folder) : path_(folder + L"\\devenv.log") {
    DeleteLog(path_);
    SetRegString(HKEY_CURRENT_USER, DevenvConfigKey, L"Log", path_);
}

FakeDevenvLog::~FakeDevenvLog() {
    DeleteRegTree(HKEY_CURRENT_USER, DevenvConfigKey);
    DeleteLog(path_);
}

std::vector<std::wstring> FakeDevenvLog::Lines() const {
    std::vector<std::wstring> lines;
    for (const std::string& line : SplitLines(ReadFileBytes(path_))) lines.push_back(Widen(line));
    return lines;
}

bool FakeDevenvLog::WaitForLines(size_t count) const {
    return WaitUntil([this, count] { return Lines().size() >= count; });
}

}  // namespace qvtest
