// FakeDte.exe: a stand-in for Visual Studio's automation server, for tests.
//
// COM starts it through LocalServer32 as "FakeDte.exe <version> -Embedding".
// It registers the class of that version's "VisualStudio.DTE.<version>" and
// serves one environment object with the parts of the automation model the
// uninstaller uses: CommandBars (Item), Commands (Item, RemoveCommandBar),
// Command (AddControl, Delete) and Quit. Every call it receives is appended,
// with its arguments, as one line to the log file that the test names.
//
// The test configures it under HKCU\Software\QvTest\FakeDte:
//   Log             log file path
//   DteInterface    1: the environment answers the _DTE interface identifier
//   BarsInterface   1: the command-bar collection answers its identifier
//   ProductBar      1: a command bar named "Quorvex GlyphSmith" exists
//   ProductCommand  1: the command "GlyphSmithAddin.Connect.GlyphSmithAddin" exists
//   ToolsBar        1: a command bar named "Tools" exists
//   Hold            an event name: the environment's first call sets the
//                   event "<name> entered", then answers only once <name>
//                   is set (Visual Studio busy or hung)
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "FakeDteIds.h"

namespace {

std::wstring g_version;
std::wstring g_logPath;
LONG g_objects = 0;
DWORD g_mainThread = 0;

DWORD ConfigFlag(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, FakeDteConfigKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return 0;
    return value;
}

std::wstring ConfigText(const wchar_t* name) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, FakeDteConfigKey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return std::wstring();
    return text;
}

void HoldIfAsked() {
    static bool held = false;
    if (held) return;
    held = true;
    const std::wstring name = ConfigText(L"Hold");
    if (name.empty()) return;
    HANDLE entered = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L" entered").c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (entered) SetEvent(entered);
    if (release) WaitForSingleObject(release, 600000);
    if (entered) CloseHandle(entered);
    if (release) CloseHandle(release);
}

void Log(const std::wstring& line) {
    if (g_logPath.empty()) return;
    const std::wstring full = g_version + L" " + line + L"\r\n";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, full.c_str(), static_cast<int>(full.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, full.c_str(), static_cast<int>(full.size()), &bytes[0], size, nullptr, nullptr);
    HANDLE file = CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void ObjectGone() {
    if (InterlockedDecrement(&g_objects) == 0) PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
}

enum class Kind { Environment, CommandBars, CommandBar, Commands, Command };

struct Member {
    const wchar_t* name;
    DISPID id;
};

class FakeObject;
FakeObject* AsFake(IUnknown* unknown);

// One object of the automation model, reachable through IDispatch only
// (plus the model's interface identifier where the test wants it answered).
class FakeObject : public IDispatch {
public:
    FakeObject(Kind kind, std::wstring name, const IID* modelIid)
        : kind_(kind), name_(std::move(name)), modelIid_(modelIid) {
        InterlockedIncrement(&g_objects);
    }
    virtual ~FakeObject() { ObjectGone(); }

    const std::wstring& Name() const { return name_; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || (modelIid_ && iid == *modelIid_)) {
            // COM asks again on its own while it sets up the stub: log
            // the first answer only.
            if (modelIid_ && iid == *modelIid_ && !modelIidLogged_) {
                modelIidLogged_ = true;
                Log(name_ + L".QueryInterface(" + IidName(iid) + L")");
            }
            *out = static_cast<IDispatch*>(this);
        } else if (iid == IID_FakeIdentity) {
            *out = this;
        } else {
            if ((iid == IID_DTE || iid == IID_CommandBars) && !modelIidLogged_) {
                modelIidLogged_ = true;
                Log(name_ + L".QueryInterface(" + IidName(iid) + L") refused");
            }
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i > 0) {
                result = DISP_E_UNKNOWNNAME;
                continue;
            }
            for (const Member& member : Members())
                if (_wcsicmp(member.name, names[i]) == 0) ids[i] = member.id;
            if (ids[i] == DISPID_UNKNOWN) {
                Log(name_ + L".GetIDsOfNames(" + names[i] + L") unknown");
                result = DISP_E_UNKNOWNNAME;
            }
        }
        return result;
    }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (result) VariantInit(result);
        const std::vector<VARIANT*> args = Arguments(params);
        switch (kind_) {
            case Kind::Environment:
                HoldIfAsked();
                return InvokeEnvironment(id, flags, args, result);
            case Kind::CommandBars:
                return InvokeCommandBars(id, flags, args, result);
            case Kind::Commands:
                return InvokeCommands(id, flags, args, result);
            case Kind::Command:
                return InvokeCommand(id, flags, args, result);
            case Kind::CommandBar:
                break;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    static std::wstring IidName(REFIID iid) {
        if (iid == IID_DTE) return L"_DTE";
        if (iid == IID_CommandBars) return L"_CommandBars";
        return L"?";
    }

    std::vector<Member> Members() const {
        switch (kind_) {
            case Kind::Environment:
                return {{L"CommandBars", 1}, {L"Commands", 2}, {L"Quit", 3}};
            case Kind::CommandBars:
                return {{L"Item", 0}, {L"Count", 1}};
            case Kind::CommandBar:
                return {{L"Name", 1}};
            case Kind::Commands:
                return {{L"Item", 0}, {L"RemoveCommandBar", 1}};
            case Kind::Command:
                return {{L"AddControl", 1}, {L"Delete", 2}};
        }
        return {};
    }

    // Arguments in call order (DISPPARAMS holds them last first).
    static std::vector<VARIANT*> Arguments(DISPPARAMS* params) {
        std::vector<VARIANT*> args;
        if (!params) return args;
        for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);
        return args;
    }

    static std::wstring Describe(const VARIANT* value) {
        const VARIANT* v = value;
        if (V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
        switch (V_VT(v)) {
            case VT_BSTR:
                return L"\"" + std::wstring(V_BSTR(v) ? V_BSTR(v) : L"") + L"\"";
            case VT_I4:
                return std::to_wstring(V_I4(v));
            case VT_I2:
                return std::to_wstring(V_I2(v));
            case VT_EMPTY:
                return L"empty";
            case VT_ERROR:
                return L"missing";
            case VT_DISPATCH:
            case VT_UNKNOWN: {
                IUnknown* unknown = V_VT(v) == VT_DISPATCH ? V_DISPATCH(v) : V_UNKNOWN(v);
                if (!unknown) return L"null";
                FakeObject* fake = AsFake(unknown);
                return fake ? L"bar \"" + fake->Name() + L"\"" : L"foreign object";
            }
            default:
                return L"type " + std::to_wstring(V_VT(v));
        }
    }

    static std::wstring DescribeAll(const std::vector<VARIANT*>& args) {
        std::wstring text;
        for (size_t i = 0; i < args.size(); ++i) text += (i ? L", " : L"") + Describe(args[i]);
        return text;
    }

    static const wchar_t* FlagsText(WORD flags) {
        if (flags & DISPATCH_METHOD) return (flags & DISPATCH_PROPERTYGET) ? L"call|get" : L"call";
        if (flags & DISPATCH_PROPERTYGET) return L"get";
        return L"put";
    }

    static HRESULT ReturnObject(FakeObject* object, VARIANT* result) {
        if (!result) {
            object->Release();
            return S_OK;
        }
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = object;
        return S_OK;
    }

    void LogCall(const wchar_t* member, WORD flags, const std::vector<VARIANT*>& args) {
        Log(name_ + L"." + member + L"[" + FlagsText(flags) + L"](" + DescribeAll(args) + L")");
    }

    HRESULT InvokeEnvironment(DISPID id, WORD flags, const std::vector<VARIANT*>& args, VARIANT* result) {
        if (id == 1 && (flags & DISPATCH_PROPERTYGET)) {
            LogCall(L"CommandBars", flags, args);
            return ReturnObject(new FakeObject(Kind::CommandBars, L"CommandBars",
                                               ConfigFlag(L"BarsInterface") ? &IID_CommandBars : nullptr),
                                result);
        }
        if (id == 2 && (flags & DISPATCH_PROPERTYGET)) {
            LogCall(L"Commands", flags, args);
            return ReturnObject(new FakeObject(Kind::Commands, L"Commands", nullptr), result);
        }
        if (id == 3 && (flags & DISPATCH_METHOD)) {
            LogCall(L"Quit", flags, args);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT InvokeCommandBars(DISPID id, WORD flags, const std::vector<VARIANT*>& args, VARIANT* result) {
        if (id != 0 || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        LogCall(L"Item", flags, args);
        if (args.size() != 1 || V_VT(args[0]) != VT_BSTR || !V_BSTR(args[0])) return DISP_E_TYPEMISMATCH;
        const std::wstring wanted = V_BSTR(args[0]);
        const bool exists = (wanted == L"Quorvex GlyphSmith" && ConfigFlag(L"ProductBar")) ||
                            (wanted == L"Tools" && ConfigFlag(L"ToolsBar"));
        // Visual Studio answers an unknown bar name with an error.
        if (!exists) return E_INVALIDARG;
        return ReturnObject(new FakeObject(Kind::CommandBar, wanted, nullptr), result);
    }

    HRESULT InvokeCommands(DISPID id, WORD flags, const std::vector<VARIANT*>& args, VARIANT* result) {
        if (id == 0 && (flags & DISPATCH_METHOD)) {
            LogCall(L"Item", flags, args);
            if (args.empty() || V_VT(args[0]) != VT_BSTR || !V_BSTR(args[0])) return DISP_E_TYPEMISMATCH;
            const std::wstring wanted = V_BSTR(args[0]);
            if (wanted != L"GlyphSmithAddin.Connect.GlyphSmithAddin" || !ConfigFlag(L"ProductCommand"))
                return E_INVALIDARG;
            return ReturnObject(new FakeObject(Kind::Command, wanted, nullptr), result);
        }
        if (id == 1 && (flags & DISPATCH_METHOD)) {
            LogCall(L"RemoveCommandBar", flags, args);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT InvokeCommand(DISPID id, WORD flags, const std::vector<VARIANT*>& args, VARIANT* result) {
        if (id == 1 && (flags & DISPATCH_METHOD)) {
            LogCall(L"AddControl", flags, args);
            (void)result;
            return S_OK;
        }
        if (id == 2 && (flags & DISPATCH_METHOD)) {
            LogCall(L"Delete", flags, args);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    Kind kind_;
    std::wstring name_;
    const IID* modelIid_;
    LONG references_ = 1;
    bool modelIidLogged_ = false;
};

FakeObject* AsFake(IUnknown* unknown) {
    void* fake = nullptr;
    if (FAILED(unknown->QueryInterface(IID_FakeIdentity, &fake)) || !fake) return nullptr;
    FakeObject* object = static_cast<FakeObject*>(fake);
    object->Release();
    return object;
}

class EnvironmentFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Log(L"CreateInstance");
        FakeObject* environment =
            new FakeObject(Kind::Environment, L"DTE", ConfigFlag(L"DteInterface") ? &IID_DTE : nullptr);
        const HRESULT result = environment->QueryInterface(iid, out);
        environment->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    g_version = argv[1];
    CLSID clsid;
    if (!FakeDteClassOf(g_version, clsid)) return 2;
    g_logPath = ConfigText(L"Log");
    g_mainThread = GetCurrentThreadId();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    static EnvironmentFactory factory;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
        Log(L"CoRegisterClassObject failed");
        CoUninitialize();
        return 3;
    }
    // Serve until the last object is released; give up after two idle
    // minutes so that a test that never connects leaves nothing running.
    SetTimer(nullptr, 1, 120000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) break;
        DispatchMessageW(&message);
    }
    CoRevokeClassObject(cookie);
    Log(L"exit");
    CoUninitialize();
    return 0;
}
