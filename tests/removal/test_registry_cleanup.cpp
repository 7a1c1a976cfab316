// CleanRegistry against Wine's registry: the product's keys under both
// roots, App Paths, the three forms of the uninstall entry, "PictureIndex",
// and the Visual Studio work behind VisualStudioPresent.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include "FakeVisualStudio.h"
#include "RemovalBench.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "removal/RegistryCleanup.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

const wchar_t Product[] = L"QvTestProduct";
const wchar_t Neighbour[] = L"QvTestProduct Pro";
const wchar_t Program[] = L"QvTestProduct.exe";
const std::wstring Maker = L"SOFTWARE\\Quorvex\\";
const std::wstring AppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::wstring Uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring IconKey = L"Software\\Classes\\IcoFile\\DefaultIcon";

class RegistryCleanupTest : public ::testing::Test {
protected:
    void SetUp() override {
        iconKeyExisted_ = RegKeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\IcoFile");
        UninstallRecord.ProductKey = Product;
        UninstallRecord.ProgramFileName = Program;
        UninstallRecord.VisualStudioPresent = 0;
        UninstallRecord.Is64BitWindows = 1;
    }
    void TearDown() override {
        if (!iconKeyExisted_) DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Classes\\IcoFile");
    }
    // Every key these tests make, deleted before and after.
    RegistryScope scope_{{{HKEY_LOCAL_MACHINE, Maker + Product},
                          {HKEY_CURRENT_USER, Maker + Product},
                          {HKEY_LOCAL_MACHINE, Maker + Neighbour},
                          {HKEY_CURRENT_USER, Maker + Neighbour},
                          {HKEY_LOCAL_MACHINE, AppPaths + Program},
                          {HKEY_LOCAL_MACHINE, AppPaths + L"QvTestProduct Pro.exe"},
                          {HKEY_LOCAL_MACHINE, Uninstall + Product},
                          {HKEY_LOCAL_MACHINE, Uninstall + Product + L" (64-bit)"},
                          {HKEY_LOCAL_MACHINE, Uninstall + Product + L" (64-bit) "},
                          {HKEY_LOCAL_MACHINE, Uninstall + Product + L" (64-bit)  "},
                          {HKEY_LOCAL_MACHINE, Uninstall + Product + L" (32-bit)"},
                          {HKEY_LOCAL_MACHINE, Uninstall + Neighbour}}};
    RecordScope record_;
    bool iconKeyExisted_ = false;
};

void MakeNestedProductKeys(HKEY root, const std::wstring& product) {
    SetRegString(root, Maker + product, L"InstallDir", L"C:\\QvTest\\Product\\");
    SetRegString(root, Maker + product + L"\\Files", L"File0001", L"C:\\QvTest\\Product\\a.txt");
    SetRegString(root, Maker + product + L"\\Associations\\icofile\\shell\\open\\command", L"", L"x");
    SetRegString(root, Maker + product + L"\\Settings\\Window\\Placement\\Monitor 1", L"Rect", L"0,0,1,1");
}

TEST_F(RegistryCleanupTest, DeletesTheProductsKeysAndKeepsItsNeighbours) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        MakeNestedProductKeys(root, Product);
        MakeNestedProductKeys(root, Neighbour);
    }
    SetRegString(HKEY_LOCAL_MACHINE, AppPaths + Program, L"Path", L"C:\\QvTest\\Product");
    SetRegString(HKEY_LOCAL_MACHINE, AppPaths + L"QvTestProduct Pro.exe", L"Path", L"C:\\QvTest\\Pro");
    SetRegString(HKEY_LOCAL_MACHINE, Uninstall + Product, L"DisplayName", L"QvTest Product");
    SetRegString(HKEY_LOCAL_MACHINE, Uninstall + Neighbour, L"DisplayName", L"QvTest Product Pro");
    SetRegString(HKEY_CURRENT_USER, IconKey, L"PictureIndex", L"1");
    SetRegString(HKEY_CURRENT_USER, IconKey, L"", L"%1");
    SetRegString(HKEY_CURRENT_USER, IconKey, L"Other", L"kept");

    CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());

    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(RegKeyExists(root, Maker + Product));
        EXPECT_EQ(L"C:\\QvTest\\Product\\a.txt", GetRegString(root, Maker + Neighbour + L"\\Files", L"File0001"));
        EXPECT_TRUE(RegKeyExists(root, Maker + Neighbour + L"\\Settings\\Window\\Placement\\Monitor 1"));
    }
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, AppPaths + Program));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, AppPaths + L"QvTestProduct Pro.exe"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, Uninstall + Product));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, Uninstall + Neighbour));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, IconKey, L"PictureIndex"));
    EXPECT_EQ(L"%1", GetRegString(HKEY_CURRENT_USER, IconKey, L""));
    EXPECT_EQ(L"kept", GetRegString(HKEY_CURRENT_USER, IconKey, L"Other"));
}

TEST_F(RegistryCleanupTest, EachFormOfTheUninstallEntryGoes) {
    for (const wchar_t* suffix : {L"", L" (64-bit)", L" (64-bit) "}) {
        SetRegString(HKEY_LOCAL_MACHINE, Uninstall + Product + suffix, L"DisplayName", L"QvTest Product");
        SetRegString(HKEY_LOCAL_MACHINE, Uninstall + Product + suffix + L"\\Sub", L"x", L"y");
        for (const wchar_t* other : {L" (32-bit)", L" (64-bit)  "})
            SetRegString(HKEY_LOCAL_MACHINE, Uninstall + Product + other, L"DisplayName", L"other");
        CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, Uninstall + Product + suffix))
            << "suffix \"" << Narrow(suffix) << "\"";
        for (const wchar_t* other : {L" (32-bit)", L" (64-bit)  "})
            EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, Uninstall + Product + other)) << Narrow(other);
    }
}

TEST_F(RegistryCleanupTest, CreatesTheIconKeyWhenItIsMissing) {
    if (iconKeyExisted_) GTEST_SKIP() << "the prefix has its own HKCU IcoFile key";
    ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, IconKey));
    CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, IconKey));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, IconKey, L"PictureIndex"));
}

TEST_F(RegistryCleanupTest, FieldsThatNameTheSharedParentDeleteNothing) {
    // An empty or slash-bounded field would name the maker's branch, the
    // whole list of installed programs or all App Paths.
    MakeNestedProductKeys(HKEY_LOCAL_MACHINE, Neighbour);
    MakeNestedProductKeys(HKEY_CURRENT_USER, Neighbour);
    SetRegString(HKEY_LOCAL_MACHINE, AppPaths + L"QvTestProduct Pro.exe", L"Path", L"C:\\QvTest\\Pro");
    SetRegString(HKEY_LOCAL_MACHINE, Uninstall + Neighbour, L"DisplayName", L"QvTest Product Pro");
    for (const wchar_t* field : {L"", L"\\", L"\\\\", L"x\\", L"\\x", L"a\\\\b"}) {
        UninstallRecord.ProductKey = field;
        UninstallRecord.ProgramFileName = field;
        CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, Maker + Neighbour + L"\\Files")) << Narrow(field);
        EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Maker + Neighbour + L"\\Files")) << Narrow(field);
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, AppPaths + L"QvTestProduct Pro.exe")) << Narrow(field);
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, Uninstall + Neighbour)) << Narrow(field);
    }
}

// The Visual Studio part: versions laid out by the sample installation with
// the devenv.exe stand-in, the automation stand-in registered for them.
class CleanupVisualStudioTest : public RegistryCleanupTest {
protected:
    void SetUp() override {
        RegistryCleanupTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        root_ = FreshTestFolder(L"CleanupVisualStudio");
        sample_.visualStudioRoot = root_ + L"\\Microsoft Visual Studio";
        sample_.visualStudioVersions = {L"8.0", L"9.0", L"10.0", L"11.0"};
        sample_.devenvSource = BuiltProgram(L"helpers\\devenv.exe");
        for (const std::wstring& version : sample_.visualStudioVersions) {
            std::wstring error;
            ASSERT_TRUE(LayOutVisualStudioOnly(version, error)) << Narrow(error);
        }
    }
    void TearDown() override {
        for (const std::wstring& version : sample_.visualStudioVersions) {
            for (const auto& key : AddinKeysOf(version)) DeleteRegTree(key.first, key.second);
            for (const auto& key : NeighbourAddinKeysOf(version)) DeleteRegTree(key.first, key.second);
            DeleteRegTree(HKEY_LOCAL_MACHINE, VisualStudioDetectionKey(version));
            DeleteRegTree(HKEY_LOCAL_MACHINE, VisualStudioKey(version));
            DeleteRegTree(HKEY_CURRENT_USER, VisualStudioKey(version));
            DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\VSA\\" + version);
            DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\VSA\\" + version);
        }
        CoUninitialize();
        RegistryCleanupTest::TearDown();
        RemoveTree(root_);
    }
    bool LayOutVisualStudioOnly(const std::wstring& version, std::wstring& error) {
        SampleInstallation one = sample_;
        one.installFolder = root_ + L"\\Unused";
        one.files.clear();
        one.previewSubfolders.clear();
        one.associations.clear();
        one.readOnlyFiles.clear();
        one.readOnlyFolders.clear();
        one.visualStudioVersions = {version};
        one.previewFolder = root_ + L"\\Preview";
        one.productKey = L"QvTestUnused";
        const bool laid = LayOutSampleInstallation(one, &error);
        DeleteRegTree(HKEY_LOCAL_MACHINE, Maker + L"QvTestUnused");
        DeleteRegTree(HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\folders");
        DeleteRegTree(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvTestUnused (64-bit)");
        DeleteRegTree(HKEY_LOCAL_MACHINE, AppPaths + L"GlyphSmith.exe");
        return laid;
    }
    // Marks a version as not installed: its folder loses devenv.exe.
    void Uninstalled(const std::wstring& version) {
        ASSERT_TRUE(DeleteFileW((VisualStudioFolderOf(sample_, version) + L"devenv.exe").c_str()));
    }
    std::vector<std::string> CallsOf(const FakeAutomation& automation) {
        std::vector<std::string> calls;
        for (const std::string& line : automation.Log())
            if (line.find(" exit") == std::string::npos) calls.push_back(line);
        return calls;
    }

    std::wstring root_;
    SampleInstallation sample_;
};

TEST_F(CleanupVisualStudioTest, NothingWhenNoVisualStudioWasFoundAtStartUp) {
    FakeAutomation automation({L"9.0", L"11.0"}, root_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    UninstallRecord.VisualStudioPresent = 0;
    CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
    for (const std::wstring& version : sample_.visualStudioVersions)
        for (const auto& key : AddinKeysOf(version))
            EXPECT_TRUE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
    EXPECT_TRUE(automation.Log().empty());
}

TEST_F(CleanupVisualStudioTest, InstalledVersionsNewestFirst) {
    FakeAutomation automation({L"8.0", L"9.0", L"10.0", L"11.0"}, root_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    FakeDevenvLog devenv(root_);
    Uninstalled(L"8.0");
    Uninstalled(L"10.0");
    UninstallRecord.VisualStudioPresent = 1;
    CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
    ASSERT_TRUE(automation.WaitForServersToEnd());

    const std::vector<std::string> calls = CallsOf(automation);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("11.0 CreateInstance", calls.front());
    EXPECT_EQ("9.0 DTE.Quit[call]()", calls.back());
    size_t firstNine = calls.size();
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_TRUE(calls[i].rfind("11.0 ", 0) == 0 || calls[i].rfind("9.0 ", 0) == 0) << calls[i];
        if (calls[i].rfind("9.0 ", 0) == 0 && firstNine == calls.size()) firstNine = i;
        if (firstNine < i) EXPECT_EQ(0u, calls[i].rfind("9.0 ", 0)) << "11.0 is done before 9.0 starts";
    }

    for (const std::wstring& version : {std::wstring(L"8.0"), std::wstring(L"10.0")}) {
        // Version-specific keys of versions that are not installed stay.
        const auto keys = AddinKeysOf(version);
        for (size_t i : {0u, 1u, 5u, 6u, 7u, 8u})
            EXPECT_TRUE(RegKeyExists(keys[i].first, keys[i].second)) << Narrow(keys[i].second);
    }
    for (const std::wstring& version : {std::wstring(L"9.0"), std::wstring(L"11.0")}) {
        for (const auto& key : AddinKeysOf(version))
            EXPECT_FALSE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
        for (const auto& key : NeighbourAddinKeysOf(version))
            EXPECT_TRUE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
    }

    ASSERT_TRUE(devenv.WaitForLines(2));
    std::vector<std::wstring> started;
    for (const std::wstring& line : devenv.Lines()) started.push_back(line.substr(0, line.find(L'|')));
    std::sort(started.begin(), started.end());
    std::vector<std::wstring> expected = {VisualStudioFolderOf(sample_, L"11.0") + L"devenv.exe",
                                          VisualStudioFolderOf(sample_, L"9.0") + L"devenv.exe"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, started);
}

}  // namespace
