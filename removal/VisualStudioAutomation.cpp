#include "removal/VisualStudioAutomation.h"

#include <windows.h>
#include <oleauto.h>

#include "support/ComPointer.h"
#include "support/Handles.h"

namespace {

// The public interfaces of the automation model. They are dual interfaces,
// so a pointer to either is also an IDispatch; the members are called by
// name through it and need no type library here.
const IID IID_DTE = {0x04A72314, 0x32E9, 0x48E2, {0x9B, 0x87, 0xA6, 0x36, 0x03, 0x45, 0x4F, 0x3E}};
const IID IID_CommandBars = {0x83D31B2E, 0x9990, 0x4275, {0xAE, 0x39, 0x77, 0xD1, 0xFB, 0x5B, 0xBC, 0xD9}};

// A pointer to the literal, which the program shares with the other uses of
// the same text.
const wchar_t* const ProductBarName = L"Quorvex GlyphSmith";
const wchar_t ProductCommandName[] = L"GlyphSmithAddin.Connect.GlyphSmithAddin";
const wchar_t ToolsBarName[] = L"Tools";

// "Item" is an indexed property on one collection and a method on the other;
// a server that dispatches through its type library accepts a call only when
// its flags include the member's own kind, so both are passed, as late-bound
// callers customarily do.
constexpr WORD ItemFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// Calls a member by name. `arguments` are in call order, `count` at most 2;
// `result` may be null. The outcome is the call's HRESULT.
HRESULT CallMember(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* arguments, UINT count,
                   VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    const HRESULT found = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(found)) return found;
    // DISPPARAMS holds the arguments last first.
    VARIANT reversed[2];
    if (count > 2) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) reversed[i] = arguments[count - 1 - i];
    DISPPARAMS parameters = {count ? reversed : nullptr, nullptr, count, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, nullptr, nullptr);
}

// Reads an object-valued property; the object comes back in `object`.
void GetObjectProperty(IDispatch* source, const wchar_t* name, CComPointer<IDispatch>& object) {
    CVariant value;
    CallMember(source, name, DISPATCH_PROPERTYGET, nullptr, 0, value.Get());
    object.Share(value.Dispatch());
}

// The command-bar collection's Item property for a bar name.
void GetCommandBar(IDispatch* bars, const wchar_t* barName, CComPointer<IDispatch>& bar) {
    CVariant name;
    if (!name.SetText(barName)) return;
    CVariant value;
    CallMember(bars, L"Item", ItemFlags, name.Get(), 1, value.Get());
    bar.Share(value.Dispatch());
}

// The Commands collection's Item method for a command name, ID 0.
void GetCommand(IDispatch* commands, const wchar_t* commandName, CComPointer<IDispatch>& command) {
    CVariant name;
    if (!name.SetText(commandName)) return;
    CVariant id;
    id.SetLong(0);
    VARIANT arguments[2] = {*name.Get(), *id.Get()};
    CVariant value;
    CallMember(commands, L"Item", ItemFlags, arguments, 2, value.Get());
    command.Share(value.Dispatch());
}

// The thread of RemoveAddinThroughAutomationWithin.
DWORD WINAPI AutomationThread(void* progId) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
    RemoveAddinThroughAutomation(static_cast<const wchar_t*>(progId));
    CoUninitialize();
    return 0;
}

void RemoveProductBarAndCommand(IDispatch* bars, IDispatch* commands) {
    CComPointer<IDispatch> productBar;
    GetCommandBar(bars, ProductBarName, productBar);
    if (productBar) {
        CVariant bar;
        bar.SetDispatch(productBar.Get());
        CallMember(commands, L"RemoveCommandBar", DISPATCH_METHOD, bar.Get(), 1, nullptr);
    }

    CComPointer<IDispatch> command;
    GetCommand(commands, ProductCommandName, command);
    if (!command) return;
    CComPointer<IDispatch> toolsBar;
    GetCommandBar(bars, ToolsBarName, toolsBar);
    CVariant owner;
    owner.SetDispatch(toolsBar.Get());
    CVariant position;
    position.SetLong(0);
    VARIANT arguments[2] = {*owner.Get(), *position.Get()};
    CallMember(command.Get(), L"AddControl", DISPATCH_METHOD, arguments, 2, nullptr);
    CallMember(command.Get(), L"Delete", DISPATCH_METHOD, nullptr, 0, nullptr);
}

}  // namespace

void RemoveAddinThroughAutomation(const wchar_t* progId) {
    CLSID classId;
    if (FAILED(CLSIDFromProgID(progId, &classId))) return;
    CComPointer<IUnknown> object;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IUnknown, object.Receive())) || !object) return;
    CComPointer<IDispatch> environment;  // the _DTE interface
    if (FAILED(object->QueryInterface(IID_DTE, environment.Receive())) || !environment) return;

    CComPointer<IDispatch> barsObject;
    GetObjectProperty(environment.Get(), L"CommandBars", barsObject);
    CComPointer<IDispatch> bars;  // the command-bar collection interface
    if (barsObject && FAILED(barsObject->QueryInterface(IID_CommandBars, bars.Receive()))) bars.Reset();
    CComPointer<IDispatch> commands;
    GetObjectProperty(environment.Get(), L"Commands", commands);

    if (bars && commands) RemoveProductBarAndCommand(bars.Get(), commands.Get());

    CallMember(environment.Get(), L"Quit", DISPATCH_METHOD, nullptr, 0, nullptr);
}

DWORD RemoveAddinThroughAutomationWithin(const wchar_t* progId, DWORD waitMs) {
    if (waitMs == 0) return ERROR_TIMEOUT;
    CKernelHandle thread(CreateThread(nullptr, 0, AutomationThread, const_cast<wchar_t*>(progId), 0, nullptr));
    if (!thread) return GetLastError();
    // In a single-threaded apartment CoWaitForMultipleHandles goes on
    // answering the apartment's messages, so that no program sending to its
    // windows waits for the bound too; RPC_S_CALLPENDING when it runs out.
    HANDLE handles[1] = {thread.Get()};
    DWORD index = 0;
    HRESULT waited = CoWaitForMultipleHandles(0, waitMs, 1, handles, &index);
    if (waited == CO_E_NOTINITIALIZED)
        waited = WaitForSingleObject(thread.Get(), waitMs) == WAIT_OBJECT_0 ? S_OK : RPC_S_CALLPENDING;
    return waited == S_OK ? 0 : ERROR_TIMEOUT;
}
