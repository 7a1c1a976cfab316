// File and folder utilities on Wine's real file system: existence tests,
// deletions, the folder walk, folder creation, unique names and the work
// folder.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "bench/TestFiles.h"
#include "support/Files.h"

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

TEST_F(FilesTest, DeleteFileIfPresent) {
    const std::wstring readOnly = root_ + L"\\read-only.txt";
    Write(readOnly);
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    DeleteFileIfPresent(readOnly.c_str());
    EXPECT_FALSE(PathExists(readOnly));
    MakeFolders(root_ + L"\\folder.txt");
    DeleteFileIfPresent((root_ + L"\\folder.txt").c_str());
    EXPECT_TRUE(IsFolder(root_ + L"\\folder.txt"));
    DeleteFileIfPresent((root_ + L"\\missing.txt").c_str());
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

TEST_F(FilesTest, DeleteFileKeepsAFolderThatHoldsMore) {
    const std::wstring file = root_ + L"\\Folder\\a.txt";
    Write(file);
    Write(root_ + L"\\Folder\\b.txt");
    EXPECT_NE(0, DeleteFileAndEmptyFolders(file.c_str()));
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(PathExists(root_ + L"\\Folder\\b.txt"));
    EXPECT_EQ(root_, Current()) << "the current directory is the folder's parent";
}

TEST_F(FilesTest, DeleteFileRemovesEmptiedFoldersUpToTheDriveRoot) {
    const std::wstring top = L"C:\\QvFilesTop";
    RemoveTree(top);
    const std::wstring file = top + L"\\B\\f.txt";
    Write(file);
    ASSERT_TRUE(SetCurrentDirectoryW((top + L"\\B").c_str()));
    EXPECT_NE(0, DeleteFileAndEmptyFolders(file.c_str()));
    EXPECT_FALSE(PathExists(top));
    EXPECT_TRUE(IsFolder(L"C:\\"));
    EXPECT_EQ(L"C:\\", Current()) << "the walk's last parent is the root itself";
    RemoveTree(top);
}

TEST_F(FilesTest, DeleteFileThatIsGoneStillPrunes) {
    MakeFolders(root_ + L"\\Empty\\Deeper");
    Write(root_ + L"\\keep.txt");
    DeleteFileAndEmptyFolders((root_ + L"\\Empty\\Deeper\\gone.txt").c_str());
    EXPECT_FALSE(PathExists(root_ + L"\\Empty"));
    EXPECT_TRUE(IsFolder(root_));
}

TEST_F(FilesTest, DeleteFileOutsideItsBoundsIsHarmless) {
    Write(root_ + L"\\keep.txt");
    EXPECT_NE(0, DeleteFileAndEmptyFolders(L"no-backslash"));
    const std::wstring longFolder = root_ + L"\\" + std::wstring(300, L'a');
    EXPECT_NE(0, DeleteFileAndEmptyFolders((longFolder + L"\\f.txt").c_str()));
    EXPECT_NE(0, DeleteFileAndEmptyFolders((std::wstring(600, L'b') + L"\\f.txt").c_str()));
    EXPECT_TRUE(PathExists(root_ + L"\\keep.txt"));
}

TEST_F(FilesTest, CreateFolderPath) {
    EXPECT_EQ(0, CreateFolderPath((root_ + L"\\NoSlash").c_str()));
    EXPECT_FALSE(PathExists(root_ + L"\\NoSlash"));
    EXPECT_EQ(0, CreateFolderPath(L""));
    EXPECT_EQ(1, CreateFolderPath((root_ + L"\\Upper\\Lower\\").c_str()));
    EXPECT_TRUE(IsFolder(root_ + L"\\Upper\\Lower"));
    EXPECT_EQ(1, CreateFolderPath((root_ + L"\\Upper\\Lower\\").c_str())) << "an existing folder";
    Write(root_ + L"\\AFile");
    EXPECT_EQ(0, CreateFolderPath((root_ + L"\\AFile\\Below\\").c_str()));
    // A drive that does not exist.
    const DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        if (drives & (1u << (letter - L'A'))) continue;
        const std::wstring path = std::wstring(1, letter) + L":\\QvTest\\";
        EXPECT_EQ(0, CreateFolderPath(path.c_str())) << Narrow(path);
        break;
    }
}

TEST_F(FilesTest, MakeUniqueFileName) {
    EXPECT_EQ(root_ + L"\\inst0001.tmp", std::wstring(MakeUniqueFileName(L"TMP", root_.c_str(), L"").GetString()));
    Write(root_ + L"\\inst0001.tmp");
    EXPECT_EQ(root_ + L"\\inst0002.tmp",
              std::wstring(MakeUniqueFileName(L"tmp", (root_ + L"\\").c_str(), nullptr).GetString()));
    MakeFolders(root_ + L"\\inst0002.tmp");
    EXPECT_EQ(root_ + L"\\inst0002.tmp", std::wstring(MakeUniqueFileName(L"tmp", root_.c_str(), L"").GetString()))
        << "a folder of that name does not count";
    EXPECT_EQ(root_ + L"\\Qv0001.svg", std::wstring(MakeUniqueFileName(L"SvG", root_.c_str(), L"Qv").GetString()));
}

TEST_F(FilesTest, MakeUniqueFileNameWhenAllAreTaken) {
    const std::wstring folder = root_ + L"\\Full";
    MakeFolders(folder);
    for (int n = 1; n <= 9999; ++n) {
        wchar_t name[32];
        wsprintfW(name, L"\\x%04d.tmp", n);
        HANDLE file = CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }
    EXPECT_TRUE(MakeUniqueFileName(L"tmp", folder.c_str(), L"x").IsEmpty());
    CString path(L"untouched");
    EXPECT_EQ(0, CreateEmptyTempFile(folder.c_str(), L"x", path));
    EXPECT_EQ(std::wstring(L"untouched"), std::wstring(path.GetString()));
}

TEST_F(FilesTest, CreateEmptyTempFileAndWriters) {
    CString path;
    ASSERT_EQ(1, CreateEmptyTempFile(root_.c_str(), L"", path));
    EXPECT_EQ(root_ + L"\\inst0001.tmp", std::wstring(path.GetString()));
    EXPECT_TRUE(PathExists(path.GetString()));
    EXPECT_EQ("", ReadFileBytes(path.GetString()));

    HANDLE file = CreateNewFile(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(1, WriteBytes(file, "abc\0d", 5));
    EXPECT_NE(0, CloseFile(file));
    EXPECT_EQ(std::string("abc\0d", 5), ReadFileBytes(path.GetString()));
}

std::wstring LocalAppData() {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path);
    return path;
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = path;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

bool HoldsProbeFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"inst????.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

TEST_F(FilesTest, WorkFolderIsLocalAppDataQuorvex) {
    CString folder;
    ASSERT_EQ(1, FindWorkFolder(folder));
    EXPECT_EQ(LocalAppData() + L"\\Quorvex\\", std::wstring(folder.GetString()));
    EXPECT_FALSE(HoldsProbeFiles(folder.GetString())) << "the write test leaves nothing behind";
    const CString first = GetWorkFolder();
    EXPECT_EQ(std::wstring(folder.GetString()), std::wstring(first.GetString()));
    EXPECT_EQ(std::wstring(first.GetString()), std::wstring(GetWorkFolder().GetString())) << "fixed once found";
}

TEST_F(FilesTest, WorkFolderFallsBackToTheTemporaryFolder) {
    // "<Local AppData>\Quorvex" is a file, so that candidate cannot be made.
    const std::wstring quorvex = LocalAppData() + L"\\Quorvex";
    const std::wstring saved = LocalAppData() + L"\\Quorvex.qvtest-saved";
    const bool hadFolder = IsFolder(quorvex);
    if (hadFolder) ASSERT_TRUE(MoveFileW(quorvex.c_str(), saved.c_str()));
    ASSERT_TRUE(WriteFileBytes(quorvex, "in the way"));

    CString folder;
    const int found = FindWorkFolder(folder);
    DeleteFileW(quorvex.c_str());
    if (hadFolder) MoveFileW(saved.c_str(), quorvex.c_str());

    EXPECT_EQ(1, found);
    EXPECT_EQ(TempFolder(), std::wstring(folder.GetString())) << "the temporary folder itself, no Quorvex subfolder";
    EXPECT_FALSE(HoldsProbeFiles(folder.GetString()));
}

}  // namespace
