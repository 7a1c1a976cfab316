// Removal of the listed files, their companion files and the folders they
// leave empty, on the real file system; sentinel files outside the listed
// set must stay byte for byte.
#include <gtest/gtest.h>

#include "RemovalBench.h"
#include "bench/Driver.h"
#include "bench/LogLines.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "removal/FileRemoval.h"
#include "removal/HeldFolders.h"
#include "removal/RemovalRun.h"
#include "support/Handles.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

const std::string Content = "listed file\r\n";
const DWORD FolderMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

class FileRemovalTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = FreshTestFolder(L"FileRemoval");
        // Sentinels beside and above everything the tests list.
        for (const std::wstring& path :
             std::vector<std::wstring>{root_ + L"\\sentinel.dat", L"C:\\QvTest\\sentinel-FileRemoval.dat",
                                       std::wstring(L"C:\\QvSentinel-FileRemoval.dat")})
            AddSentinel(path);
    }
    void TearDown() override {
        for (const std::wstring& damaged : DamagedSentinels(sentinels_))
            ADD_FAILURE() << "touched: " << Narrow(damaged);
        RemoveSentinels(sentinels_);
        SetCurrentDirectoryW(L"C:\\");
        RemoveTree(root_);
    }

    void AddSentinel(const std::wstring& path, DWORD attributes = 0) {
        const std::optional<SentinelFile> sentinel = WriteSentinel(path, attributes);
        ASSERT_TRUE(sentinel) << Narrow(path);
        sentinels_.push_back(*sentinel);
    }
    // A read-only sentinel in a hidden, system folder, both checked with
    // their attributes: what a link would lead the walks to.
    void AddMarkedSentinel(const std::wstring& path) {
        AddSentinel(path, FILE_ATTRIBUTE_READONLY);
        ASSERT_NE(sentinels_.back().attributes & FILE_ATTRIBUTE_READONLY, 0u);
        const std::wstring folder = ParentOf(path);
        ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FolderMarks));
        markedFolders_.push_back(folder);
    }
    void ExpectMarkedFoldersIntact() {
        for (const std::wstring& folder : markedFolders_)
            EXPECT_EQ(FolderMarks | FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(folder.c_str())) << Narrow(folder);
    }
    // Writes a listed file and its companion.
    std::wstring Listed(const std::wstring& relative) {
        const std::wstring path = root_ + L"\\" + relative;
        MakeFolders(ParentOf(path));
        EXPECT_TRUE(WriteFileBytes(path, Content));
        EXPECT_TRUE(WriteFileBytes(CompanionOf(path), Content));
        return path;
    }

    RecordScope record_;
    std::wstring root_;
    std::vector<SentinelFile> sentinels_;
    std::vector<std::wstring> markedFolders_;
};

TEST(CompanionName, ReplacesEveryDotAndAppendsIi) {
    const struct {
        const wchar_t* path;
        const wchar_t* companion;
    } cases[] = {
        {L"C:\\Apps\\Tool 6.5\\Help.chm", L"C:\\Apps\\Tool 6_5\\Help_chm.ii"},
        {L"D:\\X.Y\\a.b.c", L"D:\\X_Y\\a_b_c.ii"},
        {L"C:\\Apps\\README", L"C:\\Apps\\README.ii"},
        {L"C:\\Apps\\..\\x.", L"C:\\Apps\\__\\x_.ii"},
        {L"", L".ii"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::wstring(c.companion), std::wstring(CompanionNameOf(c.path).GetString())) << Narrow(c.path);
        EXPECT_EQ(std::wstring(c.companion), CompanionOf(c.path)) << "the bench agrees";
    }
}

TEST_F(FileRemovalTest, NestedFoldersGoUpToTheFirstThatHoldsSomething) {
    const std::wstring file = Listed(L"Keep\\A\\B\\C\\tool.dll");
    AddSentinel(root_ + L"\\Keep\\other.txt");
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(CompanionOf(file)));
    EXPECT_FALSE(PathExists(root_ + L"\\Keep\\A"));
    EXPECT_TRUE(IsFolder(root_ + L"\\Keep"));
    EXPECT_EQ(root_, CurrentDirectory()) << "the last walk made the kept folder's parent current";
}

TEST_F(FileRemovalTest, FolderWithDesktopIniKeepsItsAttributesAndStays) {
    const std::wstring custom = root_ + L"\\Custom";
    const std::wstring file = Listed(L"Custom\\logo.qvg");
    AddSentinel(custom + L"\\desktop.ini");
    SetFileAttributesW((custom + L"\\desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // Windows marks a customised folder read-only or system; Wine keeps
    // neither mark on a folder, but it keeps hidden and system ones.
    ASSERT_TRUE(SetFileAttributesW(custom.c_str(), FolderMarks));
    ASSERT_EQ(FolderMarks, GetFileAttributesW(custom.c_str()) & FolderMarks) << "the marks did not stick";
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(CompanionOf(file)));
    ASSERT_TRUE(IsFolder(custom));
    EXPECT_EQ(FolderMarks, GetFileAttributesW(custom.c_str()) & FolderMarks) << "attributes kept";
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
              GetFileAttributesW((custom + L"\\desktop.ini").c_str()) &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
}

TEST_F(FileRemovalTest, ReadOnlyFilesAndFoldersAreRemoved) {
    const std::wstring file = Listed(L"Outer\\ReadOnly\\strings.qvl");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(CompanionOf(file).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((root_ + L"\\Outer\\ReadOnly").c_str(), FILE_ATTRIBUTE_READONLY));
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(root_ + L"\\Outer"));
    EXPECT_TRUE(IsFolder(root_));
}

// A listed file replaced by a second name (a hard link) of a file outside
// shares that file's attributes: the name goes, or stays when the file is
// read-only, but the read-only mark is never cleared, not even for a name
// in use that cannot be deleted. A read-only file of one name still goes.
TEST_F(FileRemovalTest, FilesWithOtherNamesKeepTheirReadOnlyMark) {
    // A file in use is in use under each of its names: each link has a file
    // of its own.
    const std::wstring protectedFile = root_ + L"\\Protected\\protected.dll";
    const std::wstring protectedInUse = root_ + L"\\Protected\\in use.dll";
    const std::wstring writableFile = root_ + L"\\Protected\\writable.dll";
    AddMarkedSentinel(protectedFile);
    AddMarkedSentinel(protectedInUse);
    AddSentinel(writableFile);
    const struct {
        const char* why;
        std::wstring listed, target;
        bool nameGoes;
    } cases[] = {
        {"a link to a read-only file", root_ + L"\\Inst\\A\\tool.dll", protectedFile, false},
        {"a link to a read-only file, in use", root_ + L"\\Inst\\B\\tool.dll", protectedInUse, false},
        {"a link to a writable file", root_ + L"\\Inst\\C\\tool.dll", writableFile, true},
        {"a read-only file of its own", root_ + L"\\Inst\\D\\tool.dll", L"", true},
    };
    std::vector<std::wstring> listed;
    for (const auto& c : cases) {
        Listed(c.listed.substr(root_.size() + 1));
        if (c.target.empty()) {
            ASSERT_TRUE(SetFileAttributesW(c.listed.c_str(), FILE_ATTRIBUTE_READONLY)) << c.why;
        } else {
            ASSERT_TRUE(DeleteFileW(c.listed.c_str())) << c.why;
            ASSERT_TRUE(CreateHardLinkW(c.listed.c_str(), c.target.c_str(), nullptr)) << c.why;
        }
        listed.push_back(c.listed);
    }
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, L"QvTestHolderOpened");
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"QvTestHolderRelease");
    ProcessDriver holder;
    ASSERT_TRUE(holder.Start(BuiltProgram(L"helpers\\FileHolder.exe"), L"C:\\",
                             L"\"" + cases[1].listed + L"\" QvTestHolderOpened QvTestHolderRelease"));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 30000)) << "the holder did not open the file";
    RecordScope::SetFiles(listed);
    // A plan first: it foresees what the run keeps.
    const std::wstring plan = root_ + L"\\plan.txt", log = root_ + L"\\log.txt";
    for (const std::wstring& path : {plan, log}) {
        ASSERT_EQ(1, OpenTestLog(path.c_str(), path == plan));
        RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
        TestRun().CloseLog(0);
    }
    SetEvent(release);
    DWORD exitCode = 1;
    EXPECT_TRUE(holder.WaitForExit(exitCode));
    CloseHandle(opened);
    CloseHandle(release);
    for (const auto& c : cases) {
        EXPECT_EQ(!c.nameGoes, PathExists(c.listed)) << c.why;
        EXPECT_FALSE(PathExists(CompanionOf(c.listed))) << c.why;
    }
    EXPECT_EQ(LogLinesWithOutcome(plan, "would keep"), LogLinesWithOutcome(log, "kept"));
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("kept: file \"" + Narrow(cases[0].listed) + "\" - error 5: "))
        << "kept with the reason the deletion gave";
    for (const std::wstring& file : {protectedFile, protectedInUse}) {
        const DWORD attributes = GetFileAttributesW(file.c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << Narrow(file);
        EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_READONLY) << Narrow(file) << " lost its read-only mark";
    }
    ExpectMarkedFoldersIntact();
}

TEST_F(FileRemovalTest, EmptyEntryStopsTheStep) {
    const std::wstring first = Listed(L"One\\a.txt");
    const std::wstring second = Listed(L"Two\\b.txt");
    RecordScope::SetFiles({first, L"", second});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(first));
    EXPECT_FALSE(PathExists(root_ + L"\\One"));
    EXPECT_EQ(Content, ReadFileBytes(second));
    EXPECT_EQ(Content, ReadFileBytes(CompanionOf(second)));
}

TEST_F(FileRemovalTest, MissingFileStillPrunesItsEmptyFolders) {
    const std::wstring file = root_ + L"\\Gone\\Deeper\\missing.txt";
    MakeFolders(ParentOf(file));
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(root_ + L"\\Gone"));
}

TEST_F(FileRemovalTest, CompanionOnlyWalkRemovesItsFolders) {
    // The listed file lives elsewhere; only the companion's folder empties.
    const std::wstring file = root_ + L"\\Dotted.Folder\\x.y";
    MakeFolders(ParentOf(file));
    ASSERT_TRUE(WriteFileBytes(file, Content));
    AddSentinel(root_ + L"\\Dotted.Folder\\keep.txt");
    const std::wstring companion = root_ + L"\\Dotted_Folder\\x_y.ii";
    MakeFolders(ParentOf(companion));
    ASSERT_TRUE(WriteFileBytes(companion, Content));
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(root_ + L"\\Dotted_Folder"));
    EXPECT_TRUE(IsFolder(root_ + L"\\Dotted.Folder"));
}

TEST_F(FileRemovalTest, WalkBelowDriveRootEndsWithRootCurrent) {
    // A folder directly below the drive root: its walk parent is "C:\", so
    // the folder is not the current directory when it is removed.
    const std::wstring folder = L"C:\\QvRemovalTop";
    RemoveTree(folder);
    MakeFolders(folder);
    const std::wstring file = folder + L"\\f.txt";
    ASSERT_TRUE(WriteFileBytes(file, Content));
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(folder));
    EXPECT_EQ(L"C:\\", CurrentDirectory());
    RemoveTree(folder);
}

TEST_F(FileRemovalTest, ListedPathLengthLimit) {
    // 252 characters is the longest listed path handled; 253 is skipped.
    const std::wstring base = root_ + L"\\Long\\";
    MakeFolders(root_ + L"\\Long");
    const std::wstring fits = base + std::wstring(252 - base.size() - 4, L'a') + L".txt";
    const std::wstring tooLong = base + std::wstring(253 - base.size() - 4, L'b') + L".txt";
    ASSERT_EQ(252u, fits.size());
    ASSERT_EQ(253u, tooLong.size());
    ASSERT_TRUE(WriteFileBytes(fits, Content));
    ASSERT_TRUE(WriteFileBytes(tooLong, Content));
    const std::wstring overLimit = base + std::wstring(400, L'c') + L".txt";
    RecordScope::SetFiles({overLimit, tooLong, fits});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(fits));
    EXPECT_EQ(Content, ReadFileBytes(tooLong));
    EXPECT_TRUE(IsFolder(root_ + L"\\Long"));
}

TEST_F(FileRemovalTest, BadEntriesDeleteNothing) {
    // A relative name, wildcards, a bare drive and a share root.
    AddSentinel(root_ + L"\\Relative\\victim.txt");
    AddSentinel(root_ + L"\\Relative\\victim_txt.ii");
    AddSentinel(root_ + L"\\Wild\\a.txt");
    ASSERT_TRUE(SetCurrentDirectoryW((root_ + L"\\Relative").c_str()));
    RecordScope::SetFiles({L"victim.txt", root_ + L"\\Wild\\*.txt", root_ + L"\\Wild\\?.txt", L"C:", L"C:\\",
                           L"\\\\server\\share", L"\\", L"Relative\\victim.txt"});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_TRUE(IsFolder(root_ + L"\\Wild"));
}

TEST_F(FileRemovalTest, AListedFolderStaysAsItIsButItsCompanionGoes) {
    const std::wstring folder = root_ + L"\\Listed Folder";
    AddSentinel(folder + L"\\inside.txt");
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FolderMarks));
    ASSERT_EQ(FolderMarks, GetFileAttributesW(folder.c_str()) & FolderMarks) << "the marks did not stick";
    const std::wstring companion = root_ + L"\\Listed Folder.ii";
    ASSERT_TRUE(WriteFileBytes(companion, Content));
    RecordScope::SetFiles({folder});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_EQ(FolderMarks, GetFileAttributesW(folder.c_str()) & FolderMarks) << "the folder kept its attributes";
    EXPECT_FALSE(PathExists(companion));
}

TEST_F(FileRemovalTest, DotComponentsDeleteNothing) {
    // "." and ".." would lead the folder walk to folders that nothing listed
    // lies in; such entries are left alone.
    const std::wstring empty = root_ + L"\\Unrelated Empty";
    ASSERT_TRUE(MakeFolders(empty));
    AddSentinel(root_ + L"\\Other\\kept.txt");
    // Windows separates components at "/" too.
    RecordScope::SetFiles({root_ + L"\\Other\\..\\Unrelated Empty\\x.txt", root_ + L"\\.\\Other\\kept.txt",
                           root_ + L"\\Other\\.\\kept.txt", root_ + L"\\Unrelated Empty\\B/../../x.txt",
                           root_ + L"\\Other/./kept.txt"});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_TRUE(IsFolder(empty)) << "an empty folder that nothing listed lies in stays";
}

// Links planted above a listed entry lead the walks nowhere: nothing where
// they point is deleted or changes attributes. (Wine reports no link to a
// file as one, so a link as the entry itself cannot be shown here.)
TEST_F(FileRemovalTest, PlantedLinksLeadNowhere) {
    const std::wstring victim = root_ + L"\\Victim";
    for (const wchar_t* file : {L"\\victim.txt", L"\\victim_txt.ii", L"\\Deep\\victim.txt", L"\\Deep\\victim_txt.ii"})
        AddMarkedSentinel(victim + file);
    const struct {
        const char* why;
        std::wstring link, target, listed;
    } cases[] = {
        {"a folder link holding the entry", root_ + L"\\Inst\\Linked", victim, root_ + L"\\Inst\\Linked\\victim.txt"},
        {"a folder link two levels up", root_ + L"\\Up", victim, root_ + L"\\Up\\Deep\\victim.txt"},
    };
    std::vector<std::wstring> listed;
    ASSERT_TRUE(MakeFolders(root_ + L"\\Inst"));
    for (const auto& c : cases) {
        ASSERT_TRUE(PlantLink(c.link, c.target)) << c.why;
        ASSERT_TRUE(IsMarkedAsLink(c.link)) << c.why;
        listed.push_back(c.listed);
    }
    RecordScope::SetFiles(listed);
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    ExpectMarkedFoldersIntact();
}

// The moment between the check and the use: the checked folder is renamed
// away and a link put in its place. The walk acts only through the handles
// it checked, so the link leads it nowhere.
TEST_F(FileRemovalTest, AFolderSwappedForALinkAfterTheCheckLeadsNowhere) {
    const std::wstring victim = root_ + L"\\Victim";
    AddMarkedSentinel(victim + L"\\victim.txt");
    AddMarkedSentinel(victim + L"\\victim_txt.ii");
    const std::wstring file = Listed(L"Race\\Deep\\victim.txt");
    const std::wstring folder = root_ + L"\\Race\\Deep";
    RecordScope::SetFiles({file});
    CheckedFolderSwap swap(folder, victim);
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    ASSERT_TRUE(swap.Swapped()) << "the swap did not happen";
    ExpectMarkedFoldersIntact();
    EXPECT_TRUE(IsMarkedAsLink(folder)) << "the link stays";
}

// The same moment with an empty folder put in the place of the checked one,
// which is empty too: the walk removes no folder but the one it checked,
// which is no longer at that name, so both stay.
std::wstring RaceFolder;
bool RaceFolderMoved = false;

void PutAnotherFolderInItsPlace(const wchar_t* folder) {
    if (RaceFolderMoved || RaceFolder != folder) return;
    RaceFolderMoved =
        MoveFileW(folder, (RaceFolder + L".moved").c_str()) != 0 && CreateDirectoryW(folder, nullptr) != 0;
}

TEST_F(FileRemovalTest, AFolderSwappedForAnotherAfterTheCheckStays) {
    RaceFolder = root_ + L"\\Swap\\Deep";
    ASSERT_TRUE(MakeFolders(RaceFolder));
    RaceFolderMoved = false;
    RecordScope::SetFiles({RaceFolder + L"\\gone.txt"});
    RemovalCheckedHook = PutAnotherFolderInItsPlace;
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    RemovalCheckedHook = nullptr;
    ASSERT_TRUE(RaceFolderMoved) << "the swap did not happen";
    const DWORD placed = GetFileAttributesW(RaceFolder.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, placed) << "the folder put in its place stays";
    EXPECT_NE(0u, placed & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((RaceFolder + L".moved").c_str()))
        << "the checked folder stays where it was moved to";
}

// A listed path in a form that DeleteFileW takes for an existing file is
// deleted as DeleteFileW would delete it, its companion and emptied folders
// too: "/" inside, doubled separators, trailing dots and blanks, and a file
// directly in the drive root.
TEST_F(FileRemovalTest, ListedFormsThatWin32TidiesUpAreDeleted) {
    const struct {
        std::wstring listed, file, companion, emptiedFolder;
    } cases[] = {
        {root_ + L"\\Slash/plugins/a.dll", root_ + L"\\Slash\\plugins\\a.dll", root_ + L"\\Slash\\plugins\\a_dll.ii",
         root_ + L"\\Slash"},
        {root_ + L"\\Double\\\\b.dll", root_ + L"\\Double\\b.dll", root_ + L"\\Double\\b_dll.ii", root_ + L"\\Double"},
        {root_ + L"\\Dot\\readme.", root_ + L"\\Dot\\readme", root_ + L"\\Dot\\readme_.ii", root_ + L"\\Dot"},
        {root_ + L"\\Blank\\notes.txt  ", root_ + L"\\Blank\\notes.txt", root_ + L"\\Blank\\notes_txt  .ii",
         root_ + L"\\Blank"},
        {L"C:\\QvRootListed.dll", L"C:\\QvRootListed.dll", L"C:\\QvRootListed_dll.ii", L""},
    };
    std::vector<std::wstring> listed;
    for (const auto& c : cases) {
        MakeFolders(ParentOf(c.file));
        ASSERT_TRUE(WriteFileBytes(c.file, Content)) << Narrow(c.file);
        ASSERT_TRUE(DeleteFileW(c.listed.c_str())) << Narrow(c.listed) << ": DeleteFileW does not take this form";
        ASSERT_FALSE(PathExists(c.file)) << Narrow(c.listed);
        ASSERT_TRUE(WriteFileBytes(c.file, Content)) << Narrow(c.file);
        ASSERT_TRUE(WriteFileBytes(c.companion, Content)) << Narrow(c.companion);
        listed.push_back(c.listed);
    }
    RecordScope::SetFiles(listed);
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    for (const auto& c : cases) {
        EXPECT_FALSE(PathExists(c.file)) << Narrow(c.listed);
        EXPECT_FALSE(PathExists(c.companion)) << Narrow(c.listed);
        if (!c.emptiedFolder.empty()) EXPECT_FALSE(PathExists(c.emptiedFolder)) << Narrow(c.listed);
        DeleteFileW(c.file.c_str());
        DeleteFileW(c.companion.c_str());
    }
}

// A file that a virus scanner or indexer holds open with delete sharing
// loses its name at once, where the system offers POSIX delete semantics,
// so its folders go too.
// Whether this system offers FileDispositionInformationEx (64) with
// FILE_DISPOSITION_DELETE | FILE_DISPOSITION_POSIX_SEMANTICS: tried on a
// probe file in `folder`, which is then gone either way.
bool HasPosixDeletion(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\probe.dll";
    if (!WriteFileBytes(probe, Content)) return false;
    using SetInformation = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
    const auto setInformation = reinterpret_cast<SetInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
    bool posix = false;
    {
        CFileHandle probing(CreateFileW(probe.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        ULONG_PTR block[2];
        ULONG flags = 3;
        posix = probing && setInformation && setInformation(probing.Get(), block, &flags, sizeof flags, 64) >= 0;
    }
    DeleteFileW(probe.c_str());
    return posix;
}

TEST_F(FileRemovalTest, AFileHeldOpenWithDeleteSharingTakesItsFoldersAlong) {
    if (!HasPosixDeletion(root_)) GTEST_SKIP() << "this system has no POSIX delete semantics";
    const std::wstring file = Listed(L"Scanned\\Deep\\scanned.dll");
    CFileHandle scanner(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(scanner) << "the scanner's handle";
    RecordScope::SetFiles({file});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(root_ + L"\\Scanned")) << "the folders went while the scanner still held the file";
}

// Without POSIX semantics a folder that another program holds open with
// delete sharing keeps its name until that handle is closed: it is logged as
// kept with ERROR_DELETE_PENDING, the folder above as not empty, and both go
// once the handle is closed.
TEST_F(FileRemovalTest, AFolderHeldOpenWithDeleteSharingGoesWhenItIsClosed) {
    if (HasPosixDeletion(root_)) GTEST_SKIP() << "this system removes the name at once (POSIX semantics)";
    const std::wstring file = Listed(L"Watched\\Deep\\watched.dll");
    const std::wstring deep = root_ + L"\\Watched\\Deep";
    CFileHandle watcher(CreateFileW(deep.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(watcher) << "the watcher's handle";
    const std::wstring log = root_ + L"\\log.txt";
    RecordScope::SetFiles({file});
    ASSERT_EQ(1, OpenTestLog(log.c_str(), 0));
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    TestRun().CloseLog(0);
    EXPECT_FALSE(PathExists(file));
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("kept: folder \"" + Narrow(deep) + "\" - error 303: ")) << text;
    EXPECT_NE(std::string::npos, text.find("kept: folder \"" + Narrow(root_) + "\\Watched\" - error 145: ")) << text;
    watcher.Reset();
    EXPECT_FALSE(PathExists(deep)) << "the marked folder stays after its last handle";
}

TEST_F(FileRemovalTest, FileInUseStaysWithItsFolders) {
    const std::wstring file = Listed(L"Busy\\Deep\\held.dll");
    const std::wstring other = Listed(L"Free\\free.dll");
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, L"QvTestHolderOpened");
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"QvTestHolderRelease");
    ProcessDriver holder;
    ASSERT_TRUE(holder.Start(BuiltProgram(L"helpers\\FileHolder.exe"), L"C:\\",
                             L"\"" + file + L"\" QvTestHolderOpened QvTestHolderRelease"));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 30000)) << "the holder did not open the file";

    RecordScope::SetFiles({file, other});
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
    EXPECT_EQ(Content, ReadFileBytes(file)) << "a file in use stays";
    EXPECT_FALSE(PathExists(CompanionOf(file))) << "its companion is not in use";
    EXPECT_TRUE(IsFolder(root_ + L"\\Busy\\Deep"));
    EXPECT_FALSE(PathExists(root_ + L"\\Free")) << "the next entry is still processed";

    SetEvent(release);
    DWORD exitCode = 1;
    EXPECT_TRUE(holder.WaitForExit(exitCode));
    EXPECT_EQ(0u, exitCode);
    CloseHandle(opened);
    CloseHandle(release);
}

}  // namespace
