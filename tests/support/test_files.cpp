// File and folder utilities on Wine's real file system: existence tests,
// the root rules, the Win32 form of a path and the walk parent of the
// removal walks.
#include <gtest/gtest.h>
#include <windows.h>

#include "bench/TestFiles.h"
#include "support/Files.h"
#include "support/Paths.h"

using namespace qvtest;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, currentDirectory_);
        root_ = FreshTestFolder(L"Files");
    }
    void TearDown() override {
        SetCurrentDirectoryW(currentDirectory_);
        RemoveTree(root_);
    }
    void Write(const std::wstring& path, const std::string& bytes = "x") {
        MakeFolders(ParentOf(path));
        ASSERT_TRUE(WriteFileBytes(path, bytes)) << Narrow(path);
    }
    static std::wstring Current() {
        wchar_t folder[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, folder);
        return folder;
    }
    wchar_t currentDirectory_[MAX_PATH];
    std::wstring root_;
};

TEST_F(FilesTest, ExistenceTests) {
    Write(root_ + L"\\file.txt");
    MakeFolders(root_ + L"\\folder");
    const struct {
        std::wstring path;
        int file, folder, existingFile, existingFolder;
    } cases[] = {
        {root_ + L"\\file.txt", 1, 0, 1, 0},
        {root_ + L"\\folder", 0, 1, 0, 1},
        {root_ + L"\\folder\\", 0, 0, 0, 1},  // a search with a trailing "\" finds nothing
        {root_ + L"\\missing", 0, 0, 0, 0},
        {L"C:\\", 0, 0, 0, 1},  // the drive root is never a folder for the search
        {L"", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.file, FileExists(c.path.c_str())) << Narrow(c.path);
        EXPECT_EQ(c.folder, FolderExists(c.path.c_str())) << Narrow(c.path);
        EXPECT_EQ(c.existingFile, IsExistingFile(c.path.c_str())) << Narrow(c.path);
        EXPECT_EQ(c.existingFolder, IsExistingFolder(c.path.c_str())) << Narrow(c.path);
    }
    EXPECT_EQ(0, IsExistingFile(nullptr));
    EXPECT_EQ(0, IsExistingFolder(nullptr));
}

TEST_F(FilesTest, WalkParent) {
    const struct {
        const wchar_t* folder;
        const wchar_t* parent;
    } cases[] = {
        {L"C:\\A\\B", L"C:\\A"},
        {L"C:\\A", L"C:\\"},  // "C:" would name the current directory on C:
        {L"\\\\server\\share\\dir", L"\\\\server\\share"},
        {L"\\A", L""},
        {L"ABCD", L""},
    };
    for (const auto& c : cases) {
        wchar_t parent[16];
        for (wchar_t& ch : parent) ch = 0xCCCC;
        ASSERT_TRUE(GetWalkParent(c.folder, parent, 16)) << Narrow(c.folder);
        EXPECT_EQ(std::wstring(c.parent), std::wstring(parent)) << Narrow(c.folder);
    }
    wchar_t small[4];
    for (wchar_t& ch : small) ch = 0xCCCC;
    EXPECT_FALSE(GetWalkParent(L"C:\\Apps\\X", small, 4));
    for (int i = 1; i < 4; ++i) EXPECT_EQ(0xCCCC, small[i]) << "nothing written past the buffer";
}

TEST(PathsTest, RootsAndFolderRules) {
    const struct {
        const wchar_t* path;
        int rootLength;
        bool belowRoot, root;
    } cases[] = {
        {L"C:\\", 3, false, true},
        {L"c:\\Apps", 3, true, false},
        {L"C:\\Apps\\..", 3, false, true},
        {L"C:", 0, false, false},  // the current directory on C:
        {L"1:\\Apps", 0, false, false},
        {L"\\\\server\\share\\", 15, false, true},
        {L"\\\\server\\share", 0, false, true},
        {L"\\\\server\\share\\dir", 15, true, false},
        {L"\\\\server", 0, false, true},
        {L"\\\\\\share\\dir", 0, false, true},  // no server name
        {L"\\\\?\\C:\\Apps", 7, true, false},
        {L"\\\\.\\C:\\Apps", 7, true, false},
        {L"\\\\?\\UNC\\server\\share\\dir", 21, true, false},
        {L"\\\\?\\Volume{0}\\Apps", 0, false, true},
        {L"\\\\.\\PIPE\\name", 0, false, true},
        {L"Apps\\Tool", 0, false, false},
        {L"\\Apps\\Tool", 0, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.rootLength, RootLength(c.path)) << Narrow(c.path);
        EXPECT_EQ(c.rootLength > 0, IsFullPath(c.path)) << Narrow(c.path);
        EXPECT_EQ(c.belowRoot, IsFolderBelowRoot(c.path)) << Narrow(c.path);
        EXPECT_EQ(c.root, IsRootFolder(c.path)) << Narrow(c.path);
    }
}

// The forms that DeleteFileW takes for the same file.
TEST(PathsTest, Win32FormOfAPath) {
    const struct {
        const wchar_t* path;
        const wchar_t* full;
    } cases[] = {
        {L"D:\\Apps\\GlyphSmith/plugins/a.dll", L"D:\\Apps\\GlyphSmith\\plugins\\a.dll"},
        {L"D:\\Apps\\\\GlyphSmith\\readme.", L"D:\\Apps\\GlyphSmith\\readme"},
        {L"D:\\Apps\\GlyphSmith\\readme. . ", L"D:\\Apps\\GlyphSmith\\readme"},
        {L"D:\\Apps.\\GlyphSmith\\a.dll", L"D:\\Apps\\GlyphSmith\\a.dll"},
        {L"D:\\Apps\\..\\a.dll", L"D:\\a.dll"},
        {L"\\\\?\\D:\\Apps/a.dll.", L"\\\\?\\D:\\Apps/a.dll."},  // taken as it is
    };
    for (const auto& c : cases) {
        wchar_t full[64];
        EXPECT_EQ(static_cast<int>(wcslen(c.full)), GetWin32FullPath(c.path, full, 64)) << Narrow(c.path);
        EXPECT_EQ(std::wstring(c.full), std::wstring(full)) << Narrow(c.path);
    }
    wchar_t small[8] = L"x";
    EXPECT_EQ(0, GetWin32FullPath(L"D:\\Apps\\GlyphSmith", small, 8));
    EXPECT_EQ(L'\0', small[0]) << "a path that does not fit leaves the buffer empty";
    EXPECT_EQ(0, GetWin32FullPath(L"", small, 8));
}

}  // namespace
