// The walk of one listed file on Wine's real file system: the file goes, then
// each folder the walk has left empty, up to (not including) the drive root,
// with the current directory where the walk's climb left it.
#include <gtest/gtest.h>
#include <windows.h>

#include "RemovalBench.h"
#include "bench/TestFiles.h"
#include "removal/FolderWalk.h"

using namespace qvtest;

namespace {

class FolderWalkTest : public ::testing::Test {
protected:
    void SetUp() override { root_ = FreshTestFolder(L"FolderWalk"); }
    void TearDown() override { RemoveTree(root_); }
    void Write(const std::wstring& path) {
        MakeFolders(ParentOf(path));
        ASSERT_TRUE(WriteFileBytes(path, "x")) << Narrow(path);
    }
    static std::wstring Current() { return CurrentDirectory(); }
    RecordScope record_;  // puts the current directory back
    std::wstring root_;
};

TEST_F(FolderWalkTest, DeleteFileKeepsAFolderThatHoldsMore) {
    const std::wstring file = root_ + L"\\Folder\\a.txt";
    Write(file);
    Write(root_ + L"\\Folder\\b.txt");
    DeleteFileAndEmptyFolders(file.c_str(), TestRun(), FolderRule::KeepAttributes);
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(PathExists(root_ + L"\\Folder\\b.txt"));
    EXPECT_EQ(root_, Current()) << "the current directory is the folder's parent";
}

TEST_F(FolderWalkTest, DeleteFileRemovesEmptiedFoldersUpToTheDriveRoot) {
    const std::wstring top = L"C:\\QvFilesTop";
    RemoveTree(top);
    const std::wstring file = top + L"\\B\\f.txt";
    Write(file);
    ASSERT_TRUE(SetCurrentDirectoryW((top + L"\\B").c_str()));
    DeleteFileAndEmptyFolders(file.c_str(), TestRun(), FolderRule::KeepAttributes);
    EXPECT_FALSE(PathExists(top));
    EXPECT_TRUE(IsFolder(L"C:\\"));
    EXPECT_EQ(L"C:\\", Current()) << "the walk's last parent is the root itself";
    RemoveTree(top);
}

TEST_F(FolderWalkTest, DeleteFileThatIsGoneStillPrunes) {
    MakeFolders(root_ + L"\\Empty\\Deeper");
    Write(root_ + L"\\keep.txt");
    DeleteFileAndEmptyFolders((root_ + L"\\Empty\\Deeper\\gone.txt").c_str(), TestRun(), FolderRule::KeepAttributes);
    EXPECT_FALSE(PathExists(root_ + L"\\Empty"));
    EXPECT_TRUE(IsFolder(root_));
}

TEST_F(FolderWalkTest, DeleteFileOutsideItsBoundsIsHarmless) {
    Write(root_ + L"\\keep.txt");
    DeleteFileAndEmptyFolders(L"no-backslash", TestRun(), FolderRule::KeepAttributes);
    const std::wstring longFolder = root_ + L"\\" + std::wstring(300, L'a');
    DeleteFileAndEmptyFolders((longFolder + L"\\f.txt").c_str(), TestRun(), FolderRule::KeepAttributes);
    DeleteFileAndEmptyFolders((std::wstring(600, L'b') + L"\\f.txt").c_str(), TestRun(), FolderRule::KeepAttributes);
    EXPECT_TRUE(PathExists(root_ + L"\\keep.txt"));
}

}  // namespace
