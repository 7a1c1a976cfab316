// CleanRegistry against Wine's registry: the product's keys under both
// roots, App Paths, the three forms of the uninstall entry, "PictureIndex",
// and the Visual Studio work behind VisualStudioPresent.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>

#include "FakeVisualStudio.h"
#include "RemovalBench.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "removal/RegistryCleanup.h"
#include "removal/RemovalRun.h"
#include "removal/VisualStudioAddin.h"
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

// ProgramFileName names the App Paths entry and must be a bare file name:
// anything else deletes no key there and is logged as kept.
TEST_F(RegistryCleanupTest, AProgramFileNameThatIsNoBareFileNameDeletesNoAppPathsKey) {
    const std::wstring sibling = AppPaths + L"QvTestProduct Pro.exe";
    const std::wstring folder = FreshTestFolder(L"AppPathsNames");
    const std::wstring log = folder + L"\\log.txt";
    for (const wchar_t* field : {L"", L".", L"..", L"/", L"QvTestProduct Pro.exe\\Sub", L"QvTestProduct Pro.exe/Sub",
                                 L"..\\QvTestProduct Pro.exe", L"QvTestProduct Pro.exe\\"}) {
        SCOPED_TRACE(Narrow(field));
        SetRegString(HKEY_LOCAL_MACHINE, sibling, L"Path", L"C:\\QvTest\\Pro");
        SetRegString(HKEY_LOCAL_MACHINE, sibling + L"\\Sub", L"x", L"y");
        const auto siblingBefore = RegTreeSnapshot(HKEY_LOCAL_MACHINE, sibling);
        ASSERT_EQ(4u, siblingBefore.size());
        UninstallRecord.ProgramFileName = field;
        ASSERT_EQ(1, OpenTestLog(log.c_str(), 0));
        CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
        TestRun().CloseLog(0);
        EXPECT_EQ(siblingBefore, RegTreeSnapshot(HKEY_LOCAL_MACHINE, sibling));
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, AppPaths));
        const std::string kept = "\r\nkept: key \"HKLM\\" + Narrow(AppPaths + field) + "\" - error 123: ";
        EXPECT_NE(std::string::npos, ReadFileBytes(log).find(kept)) << kept;
        DeleteFileW(log.c_str());
    }
    RemoveTree(folder);
}

// A registry link planted under HKEY_CURRENT_USER (which any program of the
// user may write) on the path of a key or value that the removal deletes,
// at that key, or inside its tree: the link's target stays exactly as it
// was, the link stays, and what of the tree lies beside the link goes.
enum class Step { CleanRegistry, VisualStudioAddin };
struct LinkCase {
    const char* name;
    Step step;
    std::wstring deleted;  // the HKCU key that the step deletes (or whose value it deletes)
    std::wstring link;     // the HKCU key made a link
    HKEY targetRoot;
};

void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

const std::wstring ProductKey = Maker + Product;
const std::wstring LinkedProductKey = Maker + L"QvTestLinked\\" + Product;
const std::wstring VsAddin = L"Software\\Microsoft\\VisualStudio\\9.0\\AddIns\\GlyphSmithAddin.Connect";
const std::wstring VsEditor = L"Software\\Microsoft\\VisualStudio\\9.0\\Default Editors\\ico\\Quorvex GlyphSmith";
const std::wstring VsaAddin = L"Software\\Microsoft\\VSA\\9.0\\AddIns\\GlyphSmithAddin.Connect";
const std::wstring Middle = L"\\Settings\\Window";
const std::wstring Leaf = L"\\Settings\\Window\\Placement\\Monitor 1";
const std::wstring LinkTarget = L"SOFTWARE\\QvTest\\LinkTarget";

const LinkCase LinkCases[] = {
    // The maker's own branch may hold other keys: the product key of this
    // row has two names, and the first one is made the link.
    {"ProductAbove", Step::CleanRegistry, LinkedProductKey, Maker + L"QvTestLinked", HKEY_CURRENT_USER},
    {"ProductTop", Step::CleanRegistry, ProductKey, ProductKey, HKEY_LOCAL_MACHINE},
    {"ProductMiddle", Step::CleanRegistry, ProductKey, ProductKey + Middle, HKEY_CURRENT_USER},
    {"ProductLeaf", Step::CleanRegistry, ProductKey, ProductKey + Leaf, HKEY_LOCAL_MACHINE},
    {"AddinAbove", Step::VisualStudioAddin, VsAddin, L"Software\\Microsoft\\VisualStudio\\9.0\\AddIns",
     HKEY_LOCAL_MACHINE},
    {"AddinTop", Step::VisualStudioAddin, VsAddin, VsAddin, HKEY_CURRENT_USER},
    {"AddinMiddle", Step::VisualStudioAddin, VsAddin, VsAddin + Middle, HKEY_LOCAL_MACHINE},
    {"AddinLeaf", Step::VisualStudioAddin, VsAddin, VsAddin + Leaf, HKEY_CURRENT_USER},
    {"EditorAbove", Step::VisualStudioAddin, VsEditor, L"Software\\Microsoft\\VisualStudio\\9.0\\Default Editors",
     HKEY_CURRENT_USER},
    {"EditorTop", Step::VisualStudioAddin, VsEditor, VsEditor, HKEY_LOCAL_MACHINE},
    {"EditorLeaf", Step::VisualStudioAddin, VsEditor, VsEditor + Leaf, HKEY_CURRENT_USER},
    {"VsaAbove", Step::VisualStudioAddin, VsaAddin, L"Software\\Microsoft\\VSA\\9.0", HKEY_LOCAL_MACHINE},
    {"VsaTop", Step::VisualStudioAddin, VsaAddin, VsaAddin, HKEY_CURRENT_USER},
    {"VsaMiddle", Step::VisualStudioAddin, VsaAddin, VsaAddin + Middle, HKEY_LOCAL_MACHINE},
    {"IconValueAbove", Step::CleanRegistry, IconKey, L"Software\\Classes\\IcoFile", HKEY_LOCAL_MACHINE},
    {"IconValueKey", Step::CleanRegistry, IconKey, IconKey, HKEY_CURRENT_USER},
};

// A small tree with values at several depths, the icon value among them.
bool FillTree(HKEY root, const std::wstring& key) {
    return SetRegString(root, key, L"v", L"top of " + key) && SetRegString(root, key, L"PictureIndex", L"2") &&
           SetRegString(root, key + L"\\Files", L"File0001", L"C:\\QvTest\\a.txt") &&
           SetRegString(root, key + Leaf, L"Rect", L"0,0,1,1") &&
           SetRegString(root, key + L"\\Settings\\Window\\Placement\\Monitor 2", L"Rect", L"1,1,2,2");
}

bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.compare(0, start.size(), start) == 0;
}

class RegistryLinkTest : public RegistryCleanupTest, public ::testing::WithParamInterface<LinkCase> {
protected:
    void SetUp() override {
        RegistryCleanupTest::SetUp();
        if (StartsWith(GetParam().deleted, Maker))
            UninstallRecord.ProductKey = GetParam().deleted.substr(Maker.size()).c_str();
        folder_ = FreshTestFolder(L"RegistryLinks");
    }
    void TearDown() override {
        EXPECT_TRUE(DeleteRegLink(HKEY_CURRENT_USER, GetParam().link));
        RegistryCleanupTest::TearDown();
        RemoveTree(folder_);
    }
    RegistryScope vsKeys_{{{HKEY_CURRENT_USER, L"Software\\Microsoft\\VisualStudio\\9.0"},
                           {HKEY_CURRENT_USER, L"Software\\Microsoft\\VSA\\9.0"},
                           {HKEY_CURRENT_USER, LinkTarget},
                           {HKEY_CURRENT_USER, Maker + L"QvTestLinked"},
                           {HKEY_LOCAL_MACHINE, LinkTarget}}};
    std::wstring folder_;
};

TEST_P(RegistryLinkTest, LeavesTheLinkAndItsTargetAndRemovesTheRest) {
    const LinkCase& c = GetParam();
    const bool linkOnPath = StartsWith(c.deleted, c.link);  // at the deleted key or above it
    // The target holds what the deletion would find behind the link.
    ASSERT_TRUE(FillTree(c.targetRoot, linkOnPath ? LinkTarget + c.deleted.substr(c.link.size()) : LinkTarget));
    SetRegString(c.targetRoot, LinkTarget, L"v", L"target");
    if (linkOnPath) {
        // A key that the prefix may hold already, empty, where the link goes.
        RegDeleteKeyExW(HKEY_CURRENT_USER, c.link.c_str(), KEY_WOW64_64KEY, 0);
        ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, c.link)) << "the prefix holds keys where the link goes";
    } else {
        ASSERT_TRUE(FillTree(HKEY_CURRENT_USER, c.deleted));
        DeleteRegTree(HKEY_CURRENT_USER, c.link);
    }
    ASSERT_TRUE(MakeRegLink(HKEY_CURRENT_USER, c.link, RegNtPath(c.targetRoot, LinkTarget)));
    ASSERT_TRUE(IsRegLink(HKEY_CURRENT_USER, c.link));
    ASSERT_EQ(L"target", GetRegString(HKEY_CURRENT_USER, c.link, L"v").value_or(L"-"))
        << "the link leads to the target";
    const auto targetBefore = RegTreeSnapshot(c.targetRoot, LinkTarget);

    const std::wstring log = folder_ + L"\\log.txt";
    ASSERT_EQ(1, OpenTestLog(log.c_str(), 0));
    if (c.step == Step::CleanRegistry)
        CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
    else
        RemoveVisualStudioAddin(L"9.0", Unbounded, TestRun());
    TestRun().CloseLog(0);

    EXPECT_EQ(targetBefore, RegTreeSnapshot(c.targetRoot, LinkTarget));
    EXPECT_TRUE(IsRegLink(HKEY_CURRENT_USER, c.link));
    const std::wstring kept = c.deleted == IconKey            ? L"value \"HKCU\\" + IconKey + L" : PictureIndex\""
                              : StartsWith(c.link, c.deleted) ? L"key \"HKCU\\" + c.link + L"\""
                                                              : L"key \"HKCU\\" + c.deleted + L"\"";
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("\r\nkept: " + Narrow(kept) + " - error 4395: "))
        << Narrow(kept);
    if (linkOnPath) return;
    // Of the tree only the link and the keys above it stay.
    std::set<std::wstring> expected = {L""};
    const std::wstring below = c.link.substr(c.deleted.size() + 1);
    for (size_t end = below.find(L'\\'); end != std::wstring::npos; end = below.find(L'\\', end + 1))
        expected.insert(below.substr(0, end));
    expected.insert(below);
    EXPECT_EQ(expected, RegKeysAsStored(HKEY_CURRENT_USER, c.deleted));
}

INSTANTIATE_TEST_SUITE_P(EachPosition, RegistryLinkTest, ::testing::ValuesIn(LinkCases),
                         [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// The Visual Studio part: Visual Studio 8.0 to 11.0 installed, the
// automation stand-in registered for them.
class CleanupVisualStudioTest : public RegistryCleanupTest {
protected:
    void SetUp() override {
        RegistryCleanupTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        root_ = FreshTestFolder(L"CleanupVisualStudio");
        installed_.reset(new InstalledVisualStudio(root_));
        ASSERT_EQ(L"", installed_->Error());
    }
    void TearDown() override {
        installed_.reset();
        CoUninitialize();
        RegistryCleanupTest::TearDown();
        RemoveTree(root_);
    }

    std::wstring root_;
    std::unique_ptr<InstalledVisualStudio> installed_;
};

TEST_F(CleanupVisualStudioTest, NothingWhenNoVisualStudioWasFoundAtStartUp) {
    FakeAutomation automation({L"9.0", L"11.0"}, root_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    UninstallRecord.VisualStudioPresent = 0;
    CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
    for (const std::wstring& version : installed_->Versions())
        for (const auto& key : AddinKeysOf(version))
            EXPECT_TRUE(RegKeyExists(key.first, key.second)) << Narrow(key.second);
    EXPECT_TRUE(automation.Log().empty());
}

TEST_F(CleanupVisualStudioTest, InstalledVersionsNewestFirst) {
    FakeAutomation automation({L"8.0", L"9.0", L"10.0", L"11.0"}, root_);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    FakeDevenvLog devenv(root_);
    ASSERT_TRUE(installed_->Uninstall(L"8.0"));
    ASSERT_TRUE(installed_->Uninstall(L"10.0"));
    UninstallRecord.VisualStudioPresent = 1;
    CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
    ASSERT_TRUE(automation.WaitForServersToEnd());

    const std::vector<std::string> calls = automation.Calls();
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
    std::vector<std::wstring> expected = {installed_->FolderOf(L"11.0") + L"devenv.exe",
                                          installed_->FolderOf(L"9.0") + L"devenv.exe"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, started);
}

}  // namespace
