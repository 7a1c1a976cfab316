// Macro expansion of displayed texts.
#include <gtest/gtest.h>

#include "bench/TestRegistry.h"
#include "wizard/Macros.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

class MacrosTest : public ::testing::Test {
protected:
    void SetUp() override { UninstallRecord.AppDisplayName = L"Quorvex GlyphSmith 6.5"; }

    static std::wstring Expand(const std::wstring& text) {
        CString value(text.c_str());
        ExpandMacros(value);
        return value.GetString();
    }
};

TEST_F(MacrosTest, ExpandsKnownNamesAndMarksOthers) {
    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"Welcome to Setup for {AppName}!", L"Welcome to Setup for Quorvex GlyphSmith 6.5!"},
        {L"{appname}", L"##UNKNOWN MACRO##"},
        {L"a{}b", L"a##UNKNOWN MACRO##b"},
        {L"{PF}\\x", L"##UNKNOWN MACRO##\\x"},
        {L"no braces at all", L"no braces at all"},
        {L"", L""},
        {L"close} only", L"close} only"},
        {L"Setup for {AppName", L"Setup for Quorvex GlyphSmith 6.5"},
        {L"Setup for {App", L"Setup for ##UNKNOWN MACRO##"},
        {L"{AppName}{AppName}", L"Quorvex GlyphSmith 6.5Quorvex GlyphSmith 6.5"},
        {L"{", L"##UNKNOWN MACRO##"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, Expand(c.text)) << c.text;
}

TEST_F(MacrosTest, ValuesAreNotScannedAgain) {
    UninstallRecord.AppDisplayName = L"{AppName} {x}";
    EXPECT_EQ(L"<{AppName} {x}>", Expand(L"<{AppName}>"));
}

TEST_F(MacrosTest, FoldersComeFromTheRegistryAsStored) {
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::optional<std::wstring> programFiles = GetRegString(HKEY_LOCAL_MACHINE, key, L"ProgramFilesDir");
    const std::optional<std::wstring> commonFiles = GetRegString(HKEY_LOCAL_MACHINE, key, L"CommonFilesDir");
    ASSERT_TRUE(programFiles && commonFiles) << "a Wine prefix records both folders";
    EXPECT_EQ(L"[" + *programFiles + L"][" + *commonFiles + L"]", Expand(L"[{ProgramFilesDir}][{CommonFilesDir}]"));
    // A 32-bit process's own view names the 32-bit program folders; the
    // macros give the 64-bit ones.
    if (HasSeparate32BitView())
        EXPECT_NE(programFiles, GetRegString(HKEY_LOCAL_MACHINE, key, L"ProgramFilesDir", OwnView));

    // Read afresh at every use, and empty when missing.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, L"CommonFilesDir", L"D:\\Shared"));
    EXPECT_EQ(L"D:\\Shared\\x", Expand(L"{CommonFilesDir}\\x"));
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &handle));
    RegDeleteValueW(handle, L"CommonFilesDir");
    RegCloseKey(handle);
    EXPECT_EQ(L"<>", Expand(L"<{CommonFilesDir}>"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, L"CommonFilesDir", *commonFiles));
}

TEST_F(MacrosTest, LongTextsAndExpansionsGrowSafely) {
    std::wstring text, expected;
    for (int i = 0; i < 300; ++i) {
        text += L"{AppName}|";
        expected += L"Quorvex GlyphSmith 6.5|";
    }
    EXPECT_EQ(expected, Expand(text));
    const std::wstring longName = L"{" + std::wstring(2000, L'N') + L"}";
    EXPECT_EQ(L"##UNKNOWN MACRO##", Expand(longName));
}

TEST_F(MacrosTest, ControlTextIsExpandedInPlace) {
    HWND window = CreateWindowExW(0, L"STATIC", L"Welcome to Setup for {AppName}!", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    HWND control = CreateWindowExW(0, L"STATIC", L"{AppName} - Setup", WS_CHILD, 0, 0, 10, 10, window,
                                   reinterpret_cast<HMENU>(1026), nullptr, nullptr);
    ASSERT_NE(nullptr, control);
    ExpandControlText(window, 1026);
    wchar_t text[200];
    GetWindowTextW(control, text, 200);
    EXPECT_STREQ(L"Quorvex GlyphSmith 6.5 - Setup", text);
    ExpandControlText(window, 4242);  // no such control: nothing happens
    DestroyWindow(window);
}

}  // namespace
