// Visual Studio as the tests see it: versions 8.0 to 11.0 installed below a
// test folder, and the automation stand-in, which registers FakeDte.exe as
// the class behind "VisualStudio.DTE.8.0" to "VisualStudio.DTE.11.0"
// (LocalServer32), with a type library that describes the model's _DTE and
// command-bar collection interfaces so that COM can marshal them between
// processes, the way Visual Studio's own type library does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench/SampleInstallation.h"

namespace qvtest {

// Visual Studio 8.0, 9.0, 10.0 and 11.0 installed below `folder` as the
// sample installation lays them out (nothing else of it): each with the
// devenv.exe stand-in, its detection and plain keys, and the product's
// add-in keys beside another vendor's. All of it goes again with this
// object.
class InstalledVisualStudio {
public:
    explicit InstalledVisualStudio(const std::wstring& folder);
    ~InstalledVisualStudio();
    InstalledVisualStudio(const InstalledVisualStudio&) = delete;
    InstalledVisualStudio& operator=(const InstalledVisualStudio&) = delete;

    // Empty once everything is laid out; else what failed.
    const std::wstring& Error() const { return error_; }
    const std::vector<std::wstring>& Versions() const { return layout_.visualStudioVersions; }
    // A version's install folder, with trailing "\".
    std::wstring FolderOf(const std::wstring& version) const { return VisualStudioFolderOf(layout_, version); }
    // Marks a version as not installed: its folder loses devenv.exe.
    bool Uninstall(const std::wstring& version) const;

private:
    SampleInstallation layout_;
    std::wstring error_;
};

struct FakeDteConfig {
    bool dteInterface = true;    // the environment answers _DTE
    bool barsInterface = true;   // the command-bar collection answers its interface
    bool productBar = true;      // "Quorvex GlyphSmith" command bar exists
    bool productCommand = true;  // "GlyphSmithAddin.Connect.GlyphSmithAddin" exists
    bool toolsBar = true;        // "Tools" command bar exists
};

// While this lives, the automation stand-in's environment holds its first
// call until Release (or the end of this object): a Visual Studio that is
// busy or hung.
class AutomationHold {
public:
    AutomationHold();
    ~AutomationHold();
    AutomationHold(const AutomationHold&) = delete;
    AutomationHold& operator=(const AutomationHold&) = delete;
    // Waits until a server holds a call.
    bool WaitUntilHeld() const;
    void Release() const;

private:
    HANDLE entered_ = nullptr;
    HANDLE release_ = nullptr;
};

class FakeAutomation {
public:
    // Registers the given versions ("8.0" ...); the log lives in `folder`.
    FakeAutomation(const std::vector<std::wstring>& versions, const std::wstring& folder);
    ~FakeAutomation();
    FakeAutomation(const FakeAutomation&) = delete;
    FakeAutomation& operator=(const FakeAutomation&) = delete;

    bool Registered() const { return registered_; }
    const std::wstring& Error() const { return error_; }
    void Configure(const FakeDteConfig& config);
    // Removes one version's ProgID again (its class stays).
    void UnregisterProgId(const std::wstring& version);

    // The calls received so far, one line each: "<version> <call>", and the
    // servers' ends ("<version> exit").
    std::vector<std::string> Log() const;
    // The same without the servers' ends.
    std::vector<std::string> Calls() const;
    // Empties the log (waiting while a server that is ending still has it open).
    bool ClearLog() const;
    // Waits until every server that was started has ended.
    bool WaitForServersToEnd() const;

private:
    std::vector<std::wstring> versions_;
    std::wstring logPath_;
    std::wstring typeLibPath_;
    bool registered_ = false;
    std::wstring error_;
};

// The devenv.exe stand-in's log: one line per start, "<exe>|<command line>|<current directory>".
class FakeDevenvLog {
public:
    explicit FakeDevenvLog(const std::wstring& folder);
    ~FakeDevenvLog();
    std::vector<std::wstring> Lines() const;
    // Waits until at least `count` starts were logged.
    bool WaitForLines(size_t count) const;

private:
    std::wstring path_;
};

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace qvtest
