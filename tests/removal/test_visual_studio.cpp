// Visual Studio add-in removal against the registry, the devenv.exe stand-in
// and the automation stand-in FakeDte.exe (an out-of-process COM server).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "FakeVisualStudio.h"
#include "app/UninstallRecord.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "removal/VisualStudioAutomation.h"

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

TEST_F(AutomationTest, RemovesBarAndCommandThenQuits) {
    FakeAutomation automation({L"9.0"}, folder_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    RemoveAddinThroughAutomation(L"VisualStudio.DTE.9.0");
    ASSERT_TRUE(automation.WaitForServersToEnd());
    const std::vector<std::string> expected = {
        "9.0 CreateInstance",
        "9.0 DTE.QueryInterface(_DTE)",
        "9.0 DTE.CommandBars[get]()",
        "9.0 CommandBars.QueryInterface(_CommandBars)",
        "9.0 DTE.Commands[get]()",
        "9.0 CommandBars.Item[get](\"Quorvex GlyphSmith\")",
        "9.0 Commands.RemoveCommandBar[call](bar \"Quorvex GlyphSmith\")",
        "9.0 Commands.Item[call](\"GlyphSmithAddin.Connect.GlyphSmithAddin\", 0)",
        "9.0 CommandBars.Item[get](\"Tools\")",
        "9.0 GlyphSmithAddin.Connect.GlyphSmithAddin.AddControl[call](bar \"Tools\", 0)",
        "9.0 GlyphSmithAddin.Connect.GlyphSmithAddin.Delete[call]()",
        "9.0 DTE.Quit[call]()",
        "9.0 exit",
    };
    EXPECT_EQ(Join(expected), Join(automation.Log()));
}

}  // namespace
