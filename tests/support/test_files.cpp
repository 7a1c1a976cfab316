// File and folder utilities on Wine's real file system: existence tests,
// deletions, the folder walk, folder creation and the work folder.
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

// The work folder's search with "<Local AppData>\Quorvex" in each state that
// matters. The write test may only make a new file of its own, through a
// handle that deletes it: an entry already under its name, a read-only file or
// a link to a missing file, is neither truncated nor followed (through the
// link the file would be made, wherever it points). A Quorvex folder that is a
// link is refused. A Quorvex folder that the search made is gone afterwards;
// one it found stays.
TEST_F(FilesTest, WorkFolderSearch) {
    enum class Quorvex { Absent, IsAnEmptyFolder, HoldsEntriesUnderTheTestNames, IsAFile, IsALinkToAFolder };
    const std::wstring local = LocalAppData() + L"\\Quorvex\\";
    const struct {
        Quorvex state;
        const char* name;
        std::wstring found;
    } cases[] = {
        {Quorvex::Absent, "absent", local},
        {Quorvex::IsAnEmptyFolder, "an empty folder", local},
        {Quorvex::HoldsEntriesUnderTheTestNames, "holds entries under the test names", local},
        // The temporary folder itself, no Quorvex subfolder.
        {Quorvex::IsAFile, "a file", TempFolder()},
        {Quorvex::IsALinkToAFolder, "a link to a folder", TempFolder()},
    };
    const std::wstring quorvex = LocalAppData() + L"\\Quorvex";
    const std::wstring saved = LocalAppData() + L"\\Quorvex.qvtest-saved";
    const bool hadFolder = IsFolder(quorvex);
    if (hadFolder) ASSERT_TRUE(MoveFileW(quorvex.c_str(), saved.c_str()));
    const std::wstring elsewhere = root_ + L"\\Elsewhere";
    const std::wstring linkTarget = elsewhere + L"\\made-through-a-link.tmp";
    const std::wstring sentinel = quorvex + L"\\inst0002.tmp";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(PathExists(quorvex));
        MakeFolders(elsewhere);
        FileState sentinelBefore, fileBefore;
        switch (c.state) {
            case Quorvex::Absent:
                break;
            case Quorvex::IsAnEmptyFolder:
                MakeFolders(quorvex);
                break;
            case Quorvex::HoldsEntriesUnderTheTestNames:
                MakeFolders(quorvex);
                ASSERT_TRUE(PlantLink(quorvex + L"\\inst0001.tmp", linkTarget));
                Write(sentinel, "not to be truncated\r\n");
                ASSERT_TRUE(SetFileAttributesW(sentinel.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
                sentinelBefore = StateOf(sentinel);
                break;
            case Quorvex::IsAFile:
                Write(quorvex, "in the way");
                fileBefore = StateOf(quorvex);
                break;
            case Quorvex::IsALinkToAFolder:
                ASSERT_TRUE(PlantLink(quorvex, elsewhere));
                ASSERT_NE(0u, GetFileAttributesW(quorvex.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
                break;
        }

        CString folder;
        int found = 0;
        std::vector<std::wstring> madeElsewhere;
        {
            FolderWatch watch(elsewhere);
            found = FindWorkFolder(folder);
            madeElsewhere = watch.Changes();
        }
        EXPECT_EQ(1, found);
        EXPECT_EQ(c.found, std::wstring(folder.GetString()));
        EXPECT_TRUE(madeElsewhere.empty()) << Narrow(madeElsewhere.empty() ? L"" : madeElsewhere.front());
        EXPECT_FALSE(HoldsProbeFiles(TempFolder())) << "the write test leaves nothing behind";

        switch (c.state) {
            case Quorvex::Absent:
                EXPECT_FALSE(PathExists(quorvex)) << "the folder the search made is removed again";
                break;
            case Quorvex::IsAnEmptyFolder:
                EXPECT_TRUE(IsFolder(quorvex)) << "a folder the search did not make stays";
                EXPECT_TRUE(ListTree(quorvex).empty());
                RemoveDirectoryW(quorvex.c_str());
                break;
            case Quorvex::HoldsEntriesUnderTheTestNames:
                EXPECT_EQ(std::vector<std::wstring>{L"inst0002.tmp"}, ListTree(quorvex))
                    << "the sentinel alone (the link to nothing does not show)";
                EXPECT_TRUE(sentinelBefore == StateOf(sentinel));
                EXPECT_TRUE(RemoveLink(quorvex + L"\\inst0001.tmp"));
                SetFileAttributesW(sentinel.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(sentinel.c_str());
                RemoveDirectoryW(quorvex.c_str());
                break;
            case Quorvex::IsAFile:
                EXPECT_TRUE(fileBefore == StateOf(quorvex));
                DeleteFileW(quorvex.c_str());
                break;
            case Quorvex::IsALinkToAFolder:
                EXPECT_TRUE(ListTree(elsewhere).empty());
                EXPECT_TRUE(RemoveLink(quorvex));
                break;
        }
        EXPECT_FALSE(PathExists(linkTarget));
    }
    if (hadFolder) MoveFileW(saved.c_str(), quorvex.c_str());

    const CString first = GetWorkFolder();
    EXPECT_EQ(local, std::wstring(first.GetString()));
    EXPECT_EQ(std::wstring(first.GetString()), std::wstring(GetWorkFolder().GetString())) << "fixed once found";
}

}  // namespace
