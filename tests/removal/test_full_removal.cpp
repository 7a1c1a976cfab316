// The removal steps run in their order on a whole sample installation: what
// the steps remove is gone, everything else is still there, and every
// sentinel file outside the listed set is intact byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "RemovalBench.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "removal/AssociationRestore.h"
#include "removal/FileRemoval.h"
#include "removal/RegistryCleanup.h"
#include "support/VersionProbes.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

class FullRemovalTest : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        root_ = FreshTestFolder(L"FullRemoval");
        sample_.installFolder = root_ + L"\\Programs\\Quorvex\\GlyphSmith";
        sample_.previewFolder = root_ + L"\\AppData\\Quorvex\\GlyphSmith\\" + GetParam();
        sample_.productKey = L"QvTestFull";
        sample_.programFileName = L"QvTestFull.exe";
        sample_.displayName = L"QvTest Full";
        sample_.files.push_back(L"Samples\\Logo.qvg");
        sample_.desktopIniFolder = L"Samples";
        sample_.associations = {{L".qvtestfull", L"", L"GlyphSmith.Document"}};
        RemoveSampleInstallation(sample_);
        std::wstring error;
        ASSERT_TRUE(LayOutSampleInstallation(sample_, &error)) << Narrow(error);
        sentinels_ = LaySentinels(sample_, L"FullRemoval");
    }
    void TearDown() override {
        RemoveSentinels(sentinels_);
        RemoveSampleInstallation(sample_);
        SetCurrentDirectoryW(L"C:\\");
        RemoveTree(root_);
    }
    // What start-up would read, then the steps in the order of the
    // uninstalling page.
    void RunRemoval() {
        RunVersionProbes();
        UninstallRecord.ProductKey = sample_.productKey.c_str();
        UninstallRecord.ProgramFileName = sample_.programFileName.c_str();
        UninstallRecord.PreviewFolder = PreviewFolderOf(sample_).c_str();
        std::vector<std::wstring> files = ListedFilesOf(sample_);
        for (const wchar_t* fixed : {L"uninstall.ini", L"MediaFiles.qvd", L"MediaFiles.qvdn"})
            files.push_back(InstallFolderOf(sample_) + fixed);
        RecordScope::SetFiles(files);
        RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
        RestoreFileAssociations(UninstallRecord.ProductKey, UninstallRecord.IsVistaOrLater, TestRun());
        CleanRegistry(RemovalInputOf(UninstallRecord), TestRun());
        RemovePreviewFiles(UninstallRecord.PreviewFolder, TestRun(), &window_);
    }
    // Drops one sentinel (its file included) from the layout.
    void WithoutSentinel(const std::wstring& path) {
        const auto found =
            std::find_if(sentinels_.begin(), sentinels_.end(), [&](const SentinelFile& s) { return s.path == path; });
        ASSERT_NE(sentinels_.end(), found) << Narrow(path);
        DeleteFileW(path.c_str());
        sentinels_.erase(found);
    }

    RecordScope record_;
    ProgressWindow window_;
    std::wstring root_;
    SampleInstallation sample_;
    std::vector<SentinelFile> sentinels_;
};

TEST_P(FullRemovalTest, RemovesExactlyWhatItShould) {
    const std::wstring dotFile = sample_.previewFolder + L"\\7\\.keep";
    ASSERT_TRUE(WriteFileBytes(dotFile, "dot file"));
    RunRemoval();

    EXPECT_EQ(std::vector<std::wstring>(), DamagedSentinels(sentinels_));
    const std::wstring preview = std::wstring(L"AppData\\Quorvex\\GlyphSmith\\") + GetParam();
    std::vector<std::wstring> expected = {
        L"AppData\\",
        L"AppData\\Quorvex\\",
        L"AppData\\Quorvex\\GlyphSmith\\",
        L"AppData\\Quorvex\\GlyphSmith\\beside-preview.dat",
        preview + L"\\",
        preview + L"\\7\\",
        preview + L"\\7\\.keep",
        preview + L"\\A\\",
        preview + L"\\A\\Cache\\",
        preview + L"\\A\\Cache\\thumbnail.png",
        L"Programs\\",
        L"Programs\\Quorvex\\",
        L"Programs\\Quorvex\\GlyphSmith Pro\\",
        L"Programs\\Quorvex\\GlyphSmith Pro\\GlyphSmith.exe",
        L"Programs\\Quorvex\\GlyphSmith Pro\\GlyphSmith_exe.ii",
        L"Programs\\Quorvex\\GlyphSmith Pro\\uninstall.ini",
        L"Programs\\Quorvex\\GlyphSmith\\",
        L"Programs\\Quorvex\\GlyphSmith\\Samples\\",
        L"Programs\\Quorvex\\GlyphSmith\\Samples\\desktop.ini",
        L"Programs\\Quorvex\\beside-install.dat",
        L"Programs\\in-parent.dat",
    };
    std::sort(expected.begin(), expected.end());
    const std::vector<std::wstring> left = ListTree(root_);
    EXPECT_EQ(expected, left);

    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ProductKeyPath(sample_)));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, ProductKeyPath(sample_)));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath(sample_)));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey(sample_)));
    const std::vector<int>& positions = window_.Positions();
    ASSERT_EQ(37u, positions.size());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(100, positions.back());
}

TEST_P(FullRemovalTest, PreviewParentGoesOnlyForTheExactName) {
    WithoutSentinel(ParentOf(sample_.previewFolder) + L"\\beside-preview.dat");
    WithoutSentinel(sample_.previewFolder + L"\\A\\Cache\\thumbnail.png");
    RemoveTree(sample_.previewFolder + L"\\A\\Cache");
    RunRemoval();
    EXPECT_EQ(std::vector<std::wstring>(), DamagedSentinels(sentinels_));
    EXPECT_FALSE(PathExists(sample_.previewFolder));
    const bool exactName = std::wstring(GetParam()) == L"Temporary Preview Files";
    EXPECT_EQ(!exactName, IsFolder(ParentOf(sample_.previewFolder)));
    EXPECT_TRUE(IsFolder(root_ + L"\\AppData\\Quorvex")) << "nothing above the preview folder's parent goes";
}

INSTANTIATE_TEST_SUITE_P(PreviewNames, FullRemovalTest,
                         ::testing::Values(L"Temporary Preview Files", L"temporary preview files"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::wstring(info.param) == L"Temporary Preview Files" ? std::string("ExactName")
                                                                                           : std::string("LowerCase");
                         });

}  // namespace
