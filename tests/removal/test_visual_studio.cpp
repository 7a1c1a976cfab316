// Visual Studio add-in removal against the registry, the devenv.exe stand-in
// and the automation stand-in FakeDte.exe (an out-of-process COM server).
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "FakeVisualStudio.h"
#include "RemovalBench.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "removal/RemovalRun.h"
#include "removal/VisualStudioAddin.h"
#include "removal/VisualStudioAutomation.h"
#include "support/VersionProbes.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

class AutomationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        folder_ = FreshTestFolder(L"Automation");
    }
    void TearDown() override { CoUninitialize(); }
    std::wstring folder_;
};

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TEST_F(AutomationTest, CallsDependOnWhatTheEnvironmentHas) {
    const std::string start = "9.0 CreateInstance\n9.0 DTE.QueryInterface(_DTE)\n9.0 DTE.CommandBars[get]()\n";
    const std::string bars = "9.0 CommandBars.QueryInterface(_CommandBars)\n9.0 DTE.Commands[get]()\n";
    const std::string productBar = "9.0 CommandBars.Item[call|get](\"Quorvex GlyphSmith\")\n";
    const std::string removeBar = "9.0 Commands.RemoveCommandBar[call](bar \"Quorvex GlyphSmith\")\n";
    const std::string command = "9.0 Commands.Item[call|get](\"GlyphSmithAddin.Connect.GlyphSmithAddin\", 0)\n";
    const std::string tools = "9.0 CommandBars.Item[call|get](\"Tools\")\n";
    const std::string quit = "9.0 DTE.Quit[call]()\n";
    const std::string cmd = "9.0 GlyphSmithAddin.Connect.GlyphSmithAddin.";
    const struct {
        const char* name;
        FakeDteConfig config;
        std::string calls;
    } cases[] = {
        {"everything there",
         {},
         start + bars + productBar + removeBar + command + tools + cmd + "AddControl[call](bar \"Tools\", 0)\n" + cmd +
             "Delete[call]()\n" + quit},
        {"no bar, no command", {true, true, false, false, true}, start + bars + productBar + command + quit},
        {"no Tools bar",
         {true, true, true, true, false},
         start + bars + productBar + removeBar + command + tools + cmd + "AddControl[call](null, 0)\n" + cmd +
             "Delete[call]()\n" + quit},
        {"command without bar",
         {true, true, false, true, true},
         start + bars + productBar + command + tools + cmd + "AddControl[call](bar \"Tools\", 0)\n" + cmd +
             "Delete[call]()\n" + quit},
        {"collection lacks its interface",
         {true, false, true, true, true},
         start + "9.0 CommandBars.QueryInterface(_CommandBars) refused\n9.0 DTE.Commands[get]()\n" + quit},
        {"no _DTE", {false, true, true, true, true}, "9.0 CreateInstance\n9.0 DTE.QueryInterface(_DTE) refused\n"},
    };
    FakeAutomation automation({L"9.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    for (const auto& c : cases) {
        ASSERT_TRUE(automation.ClearLog());
        automation.Configure(c.config);
        RemoveAddinThroughAutomation(L"VisualStudio.DTE.9.0");
        ASSERT_TRUE(automation.WaitForServersToEnd()) << c.name;
        EXPECT_EQ(c.calls, Join(automation.Calls())) << c.name;
    }
}

TEST_F(AutomationTest, UnregisteredProgIdStartsNothing) {
    FakeAutomation automation({L"10.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    automation.UnregisterProgId(L"10.0");
    RemoveAddinThroughAutomation(L"VisualStudio.DTE.10.0");
    RemoveAddinThroughAutomation(L"VisualStudio.DTE.8.0");
    EXPECT_TRUE(automation.Log().empty());
}

// Visual Studio 8.0 to 11.0 installed.
class VisualStudioTest : public AutomationTest {
protected:
    void SetUp() override {
        AutomationTest::SetUp();
        UninstallRecord.Is64BitWindows = 1;
        installed_.reset(new InstalledVisualStudio(folder_));
        ASSERT_EQ(L"", installed_->Error());
    }
    void TearDown() override {
        installed_.reset();
        UninstallRecord.Is64BitWindows = 0;
        AutomationTest::TearDown();
    }
    std::wstring Folder(const std::wstring& version) { return installed_->FolderOf(version); }

    std::unique_ptr<InstalledVisualStudio> installed_;
};

TEST_F(VisualStudioTest, DetectionThroughTheWow6432NodeKey) {
    const std::wstring detection = VisualStudioDetectionKey(L"9.0");
    const std::wstring folder = Folder(L"9.0");
    const std::wstring noSlash = folder.substr(0, folder.size() - 1);
    // "C:\" names a folder that holds a devenv.exe: too short all the same.
    const bool rootDevenv = CopyFileW(BuiltProgram(L"helpers\\devenv.exe").c_str(), L"C:\\devenv.exe", TRUE) != 0;
    const struct {
        const wchar_t* installDir;  // null: no value
        int installed;
    } cases[] = {
        {folder.c_str(), 1}, {noSlash.c_str(), 1},           {nullptr, 0}, {L"", 0}, {L"C:", 0},
        {L"C:\\", 0},        {L"C:\\QvTest\\Automation", 0},  // a folder without devenv.exe
    };
    for (const auto& c : cases) {
        DeleteRegTree(HKEY_LOCAL_MACHINE, detection);
        if (c.installDir) SetRegString(HKEY_LOCAL_MACHINE, detection, L"InstallDir", c.installDir);
        EXPECT_EQ(c.installed, IsVisualStudioInstalled(L"9.0", UninstallRecord.Is64BitWindows))
            << (c.installDir ? Narrow(c.installDir) : "none");
    }
    if (rootDevenv) DeleteFileW(L"C:\\devenv.exe");

    // On 64-bit Windows only the Wow6432Node key counts; on 32-bit only the plain one.
    DeleteRegTree(HKEY_LOCAL_MACHINE, detection);
    EXPECT_EQ(0, IsVisualStudioInstalled(L"9.0", UninstallRecord.Is64BitWindows));
    UninstallRecord.Is64BitWindows = 0;
    EXPECT_EQ(1, IsVisualStudioInstalled(L"9.0", UninstallRecord.Is64BitWindows));
}

// Wine presents 64-bit Windows to both builds. Visual Studio is a 32-bit
// program and registers in the 32-bit view: what its installer writes there
// is what the detection finds, and a same-named key of the 64-bit view alone
// does not count.
TEST_F(VisualStudioTest, The64BitProbeLeadsTheDetectionToThe32BitView) {
    UninstallRecord.Is64BitWindows = 0;
    RunVersionProbes();
    EXPECT_EQ(1, UninstallRecord.Is64BitWindows);
    const std::wstring plain = L"SOFTWARE\\Microsoft\\VisualStudio\\9.0";
    DeleteRegTree(HKEY_LOCAL_MACHINE, VisualStudioDetectionKey(L"9.0"));
    DeleteRegTree(HKEY_LOCAL_MACHINE, plain, KEY_WOW64_32KEY);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, plain, L"InstallDir", Folder(L"9.0"), KEY_WOW64_64KEY));
    EXPECT_EQ(0, IsVisualStudioInstalled(L"9.0", UninstallRecord.Is64BitWindows)) << "the 64-bit view's key alone";
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, plain, L"InstallDir", Folder(L"9.0"), KEY_WOW64_32KEY));
    EXPECT_EQ(1, IsVisualStudioInstalled(L"9.0", UninstallRecord.Is64BitWindows)) << "registered by a 32-bit installer";
}

TEST_F(VisualStudioTest, AnyVersion) {
    EXPECT_EQ(1, IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows));
    for (const std::wstring& version : {L"8.0", L"9.0", L"10.0"})
        DeleteRegTree(HKEY_LOCAL_MACHINE, VisualStudioDetectionKey(version));
    EXPECT_EQ(1, IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows)) << "11.0 alone";
    DeleteFileW((Folder(L"11.0") + L"devenv.exe").c_str());
    EXPECT_EQ(0, IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows));
}

TEST_F(VisualStudioTest, NineDeletionsWithTheVersionsClassKey) {
    const std::wstring classA = L"CLSID\\{B7C81D42-2E6F-4A93-8D05-C16E2F3A4B59}";
    const std::wstring classB = L"CLSID\\{5A3E9C21-7B4D-4F60-A1C2-3D4E5F607182}";
    const struct {
        const wchar_t* version;
        std::wstring own, other;
    } cases[] = {
        {L"8.0", classA, classB}, {L"9.0", classB, classA}, {L"10.0", classB, classA}, {L"11.0", classA, classB}};
    for (const auto& c : cases) {
        // Both class keys present; only the version's own goes.
        const std::wstring version = c.version;
        const std::wstring& own = c.own;
        const std::wstring& other = c.other;
        SetRegString(HKEY_CLASSES_ROOT, own, L"", L"add-in");
        SetRegString(HKEY_CLASSES_ROOT, other, L"", L"add-in");
        for (const auto& key : AddinKeysOf(version)) SetRegString(key.first, key.second + L"\\Deeper", L"x", L"y");
        FakeDevenvLog devenv(folder_);
        RemoveVisualStudioAddin(version.c_str(), Unbounded, TestRun());
        for (const auto& key : AddinKeysOf(version))
            EXPECT_FALSE(RegKeyExists(key.first, key.second)) << Narrow(version) << " " << Narrow(key.second);
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, other)) << Narrow(version);
        for (const auto& key : NeighbourAddinKeysOf(version))
            EXPECT_TRUE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
        ASSERT_TRUE(devenv.WaitForLines(1)) << "no automation class, but the setup run happens";
        DeleteRegTree(HKEY_CLASSES_ROOT, other);
    }
}

TEST_F(VisualStudioTest, SetupRunWithTheFolderExactlyAsRead) {
    // The setup run reads the plain key, not the detection key.
    const std::wstring plainFolder = folder_ + L"\\Setup Folder\\IDE";
    ASSERT_TRUE(MakeFolders(plainFolder));
    ASSERT_TRUE(
        CopyFileW(BuiltProgram(L"helpers\\devenv.exe").c_str(), (plainFolder + L"\\devenv.exe").c_str(), FALSE));
    for (const std::wstring& installDir : {plainFolder, plainFolder + L"\\"}) {
        SetRegString(HKEY_LOCAL_MACHINE, VisualStudioKey(L"10.0"), L"InstallDir", installDir);
        FakeDevenvLog devenv(folder_);
        RemoveVisualStudioAddin(L"10.0", Unbounded, TestRun());
        ASSERT_TRUE(devenv.WaitForLines(1));
        const std::wstring line = devenv.Lines().front();
        const size_t bar = line.find(L'|');
        const size_t lastBar = line.rfind(L'|');
        EXPECT_EQ(plainFolder + L"\\devenv.exe", line.substr(0, bar));
        const std::wstring commandLine = line.substr(bar + 1, lastBar - bar - 1);
        EXPECT_EQ(L" /setup", commandLine.substr(commandLine.size() - 7)) << Narrow(commandLine);
        EXPECT_EQ(plainFolder, line.substr(lastBar + 1)) << "started in the folder read";
    }
}

TEST_F(VisualStudioTest, AutomationThenSetupRunForAnInstalledVersion) {
    FakeAutomation automation({L"11.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    FakeDevenvLog devenv(folder_);
    RemoveVisualStudioAddin(L"11.0", Unbounded, TestRun());
    ASSERT_TRUE(automation.WaitForServersToEnd());
    const std::vector<std::string> calls = automation.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("11.0 DTE.Quit[call]()", calls.back());
    EXPECT_TRUE(std::find(calls.begin(), calls.end(),
                          "11.0 Commands.RemoveCommandBar[call](bar \"Quorvex GlyphSmith\")") != calls.end());
    ASSERT_TRUE(devenv.WaitForLines(1));
    EXPECT_EQ(0u, devenv.Lines().front().find(Folder(L"11.0") + L"devenv.exe|"));
}

// Where nobody could see or close Visual Studio (SYSTEM in session 0), the
// keys go and the setup run starts, but the automation is not started.
TEST_F(VisualStudioTest, WithoutADesktopTheAutomationIsNotStarted) {
    FakeAutomation automation({L"11.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    FakeDevenvLog devenv(folder_);
    const std::wstring log = folder_ + L"\\log.txt";
    ASSERT_EQ(1, OpenTestLog(log.c_str(), 0));
    RemoveVisualStudioAddin(L"11.0", CAutomationBound(0, 0), TestRun());
    TestRun().CloseLog(0);
    ASSERT_TRUE(devenv.WaitForLines(1)) << "the setup run still starts";
    EXPECT_TRUE(automation.Log().empty());
    for (const auto& key : AddinKeysOf(L"11.0"))
        EXPECT_FALSE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("\r\nnote: Visual Studio is not started here"));
}

// A Visual Studio that does not answer its automation holds the step up to
// the bound only: the keys go, the setup run starts, and the log says why
// the add-in's line is kept. The automation finishes once Visual Studio
// answers.
TEST_F(VisualStudioTest, AnAutomationThatDoesNotAnswerIsLeftAtTheBound) {
    FakeAutomation automation({L"11.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    FakeDevenvLog devenv(folder_);
    const std::wstring log = folder_ + L"\\log.txt";
    ASSERT_EQ(1, OpenTestLog(log.c_str(), 0));
    {
        AutomationHold hold;
        RemoveVisualStudioAddin(L"11.0", CAutomationBound(1, 2000), TestRun());
        EXPECT_TRUE(hold.WaitUntilHeld()) << "Visual Studio's automation was never reached";
        for (const auto& key : AddinKeysOf(L"11.0"))
            EXPECT_FALSE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
        EXPECT_TRUE(devenv.WaitForLines(1)) << "no setup run";
    }
    TestRun().CloseLog(0);
    ASSERT_TRUE(automation.WaitForServersToEnd());
    EXPECT_EQ("11.0 DTE.Quit[call]()", automation.Calls().back());
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos,
              text.find("\r\nnote: Visual Studio 11.0 did not finish removing the add-in's menus within 2 s: the run "
                        "goes on.\r\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find("\r\nkept: visual studio \"Visual Studio 11.0 add-in\" - error 1460: "))
        << text;
}

// A plan names the add-in but deletes no key and starts neither the
// automation object (which would ask Visual Studio to quit) nor the setup run.
TEST_F(VisualStudioTest, APlanNamesTheAddinAndChangesNothing) {
    FakeAutomation automation({L"11.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    FakeDevenvLog devenv(folder_);
    const std::wstring plan = folder_ + L"\\plan.txt";
    ASSERT_EQ(1, OpenTestLog(plan.c_str(), 1));
    RemoveVisualStudioAddin(L"11.0", Unbounded, TestRun());
    TestRun().CloseLog(0);
    for (const auto& key : AddinKeysOf(L"11.0")) EXPECT_TRUE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
    EXPECT_TRUE(automation.Log().empty());
    EXPECT_NE(std::string::npos,
              ReadFileBytes(plan).find("\r\nwould remove: visual studio \"Visual Studio 11.0 add-in\" - error 0: "));

    // The real removal after it starts the setup run once: the plan started none.
    const std::wstring log = folder_ + L"\\log.txt";
    ASSERT_EQ(1, OpenTestLog(log.c_str(), 0));
    RemoveVisualStudioAddin(L"11.0", Unbounded, TestRun());
    TestRun().CloseLog(0);
    ASSERT_TRUE(automation.WaitForServersToEnd());
    ASSERT_TRUE(devenv.WaitForLines(1));
    EXPECT_EQ(1u, devenv.Lines().size());
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("\r\nremoved: visual studio \"Visual Studio 11.0 add-in\" - error 0: "));
}

}  // namespace
