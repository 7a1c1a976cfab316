// Reading the uninstall record from uninstall.ini and Wine's real registry.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/InstallApp.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

CStartupFailure IgnoredFailure;  // the tests here read complete records

const wchar_t ProductKey[] = L"QvTest Product";
const wchar_t ProductPath[] = L"SOFTWARE\\Quorvex\\QvTest Product";
const wchar_t UninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvTest Product (64-bit)";

std::vector<std::wstring> Entries(const CStringList& list) {
    std::vector<std::wstring> entries;
    for (int i = 0; i < list.GetCount(); ++i) entries.push_back(list.GetAt(i).GetString());
    return entries;
}

class RecordTest : public ::testing::Test {
protected:
    RegistryScope scope_{{{HKEY_LOCAL_MACHINE, ProductPath},
                          {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\QvTest Other"},
                          {HKEY_LOCAL_MACHINE, UninstallPath},
                          {HKEY_LOCAL_MACHINE, std::wstring(UninstallPath) + L" "},
                          {HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\folders"}}};
    std::wstring folder_ = FreshTestFolder(L"Record") + L"\\";

    void SetUp() override {
        UninstallRecord.FilesToRemove.RemoveAll();
        UninstallRecord.ProductKey = UninstallRecord.ProgramFileName = UninstallRecord.AppDisplayName = L"";
        UninstallRecord.ExeFolder = folder_.c_str();
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProductPath, L"InstallDir", L"C:\\Apps\\QvTest\\"));
    }
    void TearDown() override { RemoveTree(folder_); }

    void WriteIni(const std::string& body) { ASSERT_TRUE(WriteFileBytes(folder_ + L"uninstall.ini", body)); }
};

TEST_F(RecordTest, ArgsFieldsWithAndWithoutOuterQuotes) {
    const struct {
        const char* args;
        const wchar_t* key;
        const wchar_t* program;
    } cases[] = {
        {"\"QvTest Product\" \"GlyphSmith.exe\"", L"QvTest Product", L"GlyphSmith.exe"},
        {"QvTest Product\" \"GlyphSmith.exe", L"QvTest Product", L"GlyphSmith.exe"},
        {"word \"QvTest Product\" \"GlyphSmith.exe", L"QvTest Product", L"GlyphSmith.exe"},
        {"\"word \"QvTest Product\" \"GlyphSmith.exe\"", L"QvTest Product", L"GlyphSmith.exe"},
        {"\"QvTest Product\"\"GlyphSmith.exe\"", L"QvTest Product", L"GlyphSmith.exe"},
    };
    for (const auto& c : cases) {
        WriteIni(std::string("[uninstall]\r\nargs=") + c.args + "\r\nrepair=C:\\Setup\\Repair.exe\r\n");
        ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure)) << c.args;
        EXPECT_STREQ(c.key, UninstallRecord.ProductKey) << c.args;
        EXPECT_STREQ(c.program, UninstallRecord.ProgramFileName) << c.args;
        EXPECT_STREQ(L"C:\\Setup\\Repair.exe", UninstallRecord.RepairCommand);
        EXPECT_STREQ(L"C:\\Apps\\QvTest\\", UninstallRecord.InstallFolder);
    }
}

TEST_F(RecordTest, SplitNeedsFourQuotationMarks) {
    CString key, program;
    EXPECT_EQ(1, SplitArgsValue(L"\"\" \"x.exe\"", key, program));
    EXPECT_STREQ(L"", key) << "an empty first field gives an empty product key";
    EXPECT_STREQ(L"x.exe", program);
    EXPECT_EQ(0, SplitArgsValue(L"\"only one field\"", key, program));
    EXPECT_EQ(0, SplitArgsValue(L"\"a\"b\"", key, program));
    EXPECT_EQ(0, SplitArgsValue(L"no quotes at all", key, program));
}

TEST_F(RecordTest, DisplayNameFromEntryThenTrailingBlankThenResource) {
    WriteIni("[uninstall]\r\nargs=\"QvTest Product\" \"GlyphSmith.exe\"\r\n");
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    EXPECT_STREQ(L"Quorvex GlyphSmith 64-bit", UninstallRecord.AppDisplayName) << "string 5003 as fallback";

    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, std::wstring(UninstallPath) + L" ", L"DisplayName", L"With Blank"));
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    EXPECT_STREQ(L"With Blank", UninstallRecord.AppDisplayName);

    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, UninstallPath, L"DisplayName", L"Exact Entry"));
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    EXPECT_STREQ(L"Exact Entry", UninstallRecord.AppDisplayName);
}

TEST_F(RecordTest, EmptyProductKeyUsesTheMakersKey) {
    RegistryScope scope({{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\Files"}});
    const std::optional<std::wstring> saved = GetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", L"InstallDir");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", L"InstallDir", L"C:\\Maker\\"));
    WriteIni("[uninstall]\r\nargs=\"\" \"GlyphSmith.exe\"\r\n");
    EXPECT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    EXPECT_STREQ(L"", UninstallRecord.ProductKey);
    EXPECT_STREQ(L"C:\\Maker\\", UninstallRecord.InstallFolder);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key));
    RegDeleteValueW(key, L"InstallDir");
    RegCloseKey(key);
    if (saved) SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", L"InstallDir", *saved);
}

TEST_F(RecordTest, FilesInEnumerationOrderThenThreeFixedEntries) {
    const std::wstring files = std::wstring(ProductPath) + L"\\Files";
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, files, L"b", L"C:\\Apps\\QvTest\\Second.dll"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, files, L"a", L"C:\\Apps\\QvTest\\First.exe"));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\folders", L"PreviewTempDir", L"C:\\Preview"));
    WriteIni("[uninstall]\r\nargs=\"QvTest Product\" \"GlyphSmith.exe\"\r\n");
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));

    // The registry's own enumeration order, whatever it is.
    std::vector<std::wstring> expected;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, files.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key));
    for (DWORD i = 0;; ++i) {
        wchar_t name[80], data[300];
        DWORD nameLength = 80, bytes = sizeof(data);
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes)) break;
        expected.push_back(data);
    }
    RegCloseKey(key);
    expected.push_back(L"C:\\Apps\\QvTest\\uninstall.ini");
    expected.push_back(L"C:\\Apps\\QvTest\\MediaFiles.qvd");
    expected.push_back(L"C:\\Apps\\QvTest\\MediaFiles.qvdn");
    EXPECT_EQ(expected, Entries(UninstallRecord.FilesToRemove));
    EXPECT_EQ(5u, expected.size());
    EXPECT_STREQ(L"C:\\Preview", UninstallRecord.PreviewFolder);
}

TEST_F(RecordTest, EmptyOrMissingFilesKeyGivesTheFixedEntriesOnly) {
    WriteIni("[uninstall]\r\nargs=\"QvTest Product\" \"GlyphSmith.exe\"\r\n");
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    EXPECT_EQ(3, UninstallRecord.FilesToRemove.GetCount());
    EXPECT_STREQ(L"", UninstallRecord.PreviewFolder);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(ProductPath) + L"\\Files").c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    const std::vector<std::wstring> expected = {L"C:\\Apps\\QvTest\\uninstall.ini", L"C:\\Apps\\QvTest\\MediaFiles.qvd",
                                                L"C:\\Apps\\QvTest\\MediaFiles.qvdn"};
    EXPECT_EQ(expected, Entries(UninstallRecord.FilesToRemove));
}

TEST_F(RecordTest, OddFilesValuesAreReadWholeOrSkipped) {
    const std::wstring files = std::wstring(ProductPath) + L"\\Files";
    const std::wstring longPath = L"C:\\Apps\\QvTest\\" + std::wstring(400, L'L') + L".dat";  // over 512 bytes
    const std::wstring bare = L"C:\\Apps\\QvTest\\Bare.dat";
    const std::wstring longName(120, L'n');
    const DWORD number = 7;
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, files, L"long", longPath));
    ASSERT_TRUE(
        SetRegValue(HKEY_LOCAL_MACHINE, files, L"bare", REG_SZ, bare.data(), static_cast<DWORD>(bare.size() * 2)));
    ASSERT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, files, L"number", REG_DWORD, &number, 4));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, files, longName, L"C:\\Apps\\QvTest\\LongName.dat"));
    ASSERT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, files, L"no data", REG_SZ, L"", 0));
    WriteIni("[uninstall]\r\nargs=\"QvTest Product\" \"GlyphSmith.exe\"\r\n");
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));

    const std::vector<std::wstring> entries = Entries(UninstallRecord.FilesToRemove);
    ASSERT_EQ(6u, entries.size()) << "three listed strings and the fixed entries; the number and the value "
                                     "with no data (which is no empty entry ending the list) are skipped";
    auto has = [&](const std::wstring& e) { return std::find(entries.begin(), entries.end(), e) != entries.end(); };
    EXPECT_TRUE(has(longPath)) << "a value over 512 bytes is read whole";
    EXPECT_TRUE(has(bare)) << "a value without terminator comes back terminated";
    EXPECT_TRUE(has(L"C:\\Apps\\QvTest\\LongName.dat")) << "a value name over 79 characters is read";
}

// The folder ends in "\" for the fixed entries; an empty one is read as it
// is (its fixed entries are relative, which the removal refuses); a drive or
// share root gives no fixed entries at all.
TEST_F(RecordTest, InstallFolderFormsTheFixedEntriesOnlyBelowARoot) {
    const struct {
        const wchar_t* installDir;
        const wchar_t* folder;
        const wchar_t* settingsEntry;  // null: no fixed entries
    } cases[] = {
        {L"C:\\Apps\\NoSlash", L"C:\\Apps\\NoSlash\\", L"C:\\Apps\\NoSlash\\uninstall.ini"},
        {L"C:\\Apps\\", L"C:\\Apps\\", L"C:\\Apps\\uninstall.ini"},
        {L"", L"", L"uninstall.ini"},
        {L"C:", L"C:\\", nullptr},
        {L"C:\\", L"C:\\", nullptr},
        {L"C:\\Apps\\..", L"C:\\Apps\\..\\", nullptr},
        {L"\\\\server\\share", L"\\\\server\\share\\", nullptr},
    };
    WriteIni("[uninstall]\r\nargs=\"QvTest Product\" \"GlyphSmith.exe\"\r\n");
    for (const auto& c : cases) {
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProductPath, L"InstallDir", c.installDir));
        ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure)) << Narrow(c.installDir);
        EXPECT_STREQ(c.folder, UninstallRecord.InstallFolder);
        if (c.settingsEntry) {
            ASSERT_EQ(3, UninstallRecord.FilesToRemove.GetCount()) << Narrow(c.installDir);
            EXPECT_STREQ(c.settingsEntry, UninstallRecord.FilesToRemove.GetAt(0));
        } else {
            EXPECT_EQ(0, UninstallRecord.FilesToRemove.GetCount()) << Narrow(c.installDir);
        }
    }
}

TEST(ModuleFolderTest, CutsAfterTheLastBackslash) {
    EXPECT_STREQ(L"C:\\Program Files\\Quorvex\\", FolderOfModulePath(L"C:\\Program Files\\Quorvex\\Uninstall.exe"));
    EXPECT_STREQ(L"C:\\", FolderOfModulePath(L"C:\\Uninstall.exe"));
    EXPECT_STREQ(L"\\Uninstall.exe", FolderOfModulePath(L"\\Uninstall.exe")) << "the first character is not searched";
    EXPECT_STREQ(L"Uninstall.exe", FolderOfModulePath(L"Uninstall.exe"));
}

}  // namespace

namespace {

TEST(RecordOnSampleTest, ReadsTheSampleInstallation) {
    SampleInstallation sample;
    sample.installFolder = L"C:\\QvTest\\Record Sample\\GlyphSmith";
    sample.productKey = L"QvTest Record Sample";
    sample.previewFolder = L"C:\\QvTest\\Record Sample\\Preview";
    RemoveSampleInstallation(sample);
    std::wstring error;
    ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);

    UninstallRecord.FilesToRemove.RemoveAll();
    UninstallRecord.ExeFolder = InstallFolderOf(sample).c_str();
    ASSERT_EQ(1, ReadUninstallRecord(IgnoredFailure));
    EXPECT_EQ(sample.productKey, UninstallRecord.ProductKey.GetString());
    EXPECT_STREQ(L"GlyphSmith.exe", UninstallRecord.ProgramFileName);
    EXPECT_EQ(InstallFolderOf(sample), UninstallRecord.InstallFolder.GetString());
    EXPECT_EQ(sample.displayName, UninstallRecord.AppDisplayName.GetString());
    EXPECT_EQ(sample.previewFolder, UninstallRecord.PreviewFolder.GetString());
    std::vector<std::wstring> expected = ListedFilesOf(sample);
    for (const wchar_t* name : {L"uninstall.ini", L"MediaFiles.qvd", L"MediaFiles.qvdn"})
        expected.push_back(InstallFolderOf(sample) + name);
    std::vector<std::wstring> read = Entries(UninstallRecord.FilesToRemove);
    // The Files values are named in listing order, which Wine enumerates as written.
    EXPECT_EQ(expected, read);
    RemoveSampleInstallation(sample);
    RemoveTree(L"C:\\QvTest\\Record Sample");
}

}  // namespace
