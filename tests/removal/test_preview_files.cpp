// Emptying the temporary preview folder: the 37 one-character subfolders,
// the folder itself and a "Temporary Preview Files" parent, with the page's
// progress bar moving from 70 to 100.
#include <gtest/gtest.h>

#include "RemovalBench.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "removal/FileRemoval.h"
#include "removal/HeldFolders.h"
#include "support/UserRights.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

const std::string Content = "preview\r\n";

// The positions the step sets: 70 + 30 * k / 37 after subfolder k.
std::vector<int> AllSubfolderPositions() {
    std::vector<int> positions;
    for (int k = 1; k <= 37; ++k) positions.push_back(70 + 30 * k / 37);
    return positions;
}

class PreviewFilesTest : public ::testing::Test {
protected:
    void SetUp() override { root_ = FreshTestFolder(L"PreviewFiles"); }
    void TearDown() override {
        EXPECT_TRUE(DamagedSentinels(sentinels_).empty()) << "a sentinel was touched";
        RemoveSentinels(sentinels_);
        SetCurrentDirectoryW(L"C:\\");
        RemoveTree(root_);
    }
    void Write(const std::wstring& path) {
        MakeFolders(ParentOf(path));
        ASSERT_TRUE(WriteFileBytes(path, Content)) << Narrow(path);
    }
    void AddSentinel(const std::wstring& path) {
        const std::optional<SentinelFile> sentinel = WriteSentinel(path);
        ASSERT_TRUE(sentinel) << Narrow(path);
        sentinels_.push_back(*sentinel);
    }
    void Run(const std::wstring& preview) {
        UninstallRecord.PreviewFolder = preview.c_str();
        RemovePreviewFiles(UninstallRecord.PreviewFolder, TestRun(), &window_);
    }

    RecordScope record_;
    ProgressWindow window_;
    std::wstring root_;
    std::vector<SentinelFile> sentinels_;
};

TEST_F(PreviewFilesTest, TemporaryPreviewFilesAndItsEmptyParentGo) {
    ASSERT_TRUE(window_.Bar());
    const std::wstring preview = root_ + L"\\GlyphSmith\\Temporary Preview Files";
    for (const wchar_t* name : {L"0\\a.png", L"0\\b.png", L"Q\\c.png", L"Q\\d.tmp"}) Write(preview + L"\\" + name);
    SetFileAttributesW((preview + L"\\Q\\c.png").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    Run(preview);
    EXPECT_EQ(AllSubfolderPositions(), window_.Positions()) << "all 37 subfolders tried, in order";
    EXPECT_EQ(100, window_.Position());
    EXPECT_FALSE(PathExists(preview));
    EXPECT_FALSE(PathExists(root_ + L"\\GlyphSmith")) << "the emptied parent of Temporary Preview Files goes";
    EXPECT_TRUE(IsFolder(root_));
}

TEST_F(PreviewFilesTest, OtherLetterCaseKeepsTheParent) {
    const std::wstring parent = root_ + L"\\GlyphSmith";
    const std::wstring preview = parent + L"\\temporary preview files";
    Write(preview + L"\\7\\x.png");
    Run(preview);
    EXPECT_FALSE(PathExists(preview));
    EXPECT_TRUE(IsFolder(parent)) << "only the exact name removes the parent";
}

TEST_F(PreviewFilesTest, DotFilesAndDeeperFoldersStay) {
    const std::wstring preview = root_ + L"\\Temporary Preview Files";
    Write(preview + L"\\A\\delete-me.png");
    Write(preview + L"\\Z\\delete-me.png");
    AddSentinel(preview + L"\\A\\.keep");
    AddSentinel(preview + L"\\@\\Cache\\thumb.png");
    AddSentinel(preview + L"\\direct.png");
    Run(preview);
    EXPECT_FALSE(PathExists(preview + L"\\A\\delete-me.png"));
    EXPECT_FALSE(PathExists(preview + L"\\Z"));
    EXPECT_TRUE(IsFolder(preview + L"\\A"));
    EXPECT_TRUE(IsFolder(root_)) << "the preview folder stays, so its parent does too";
    EXPECT_EQ(AllSubfolderPositions(), window_.Positions());
}

TEST_F(PreviewFilesTest, NothingRecordedOrAbsentLeavesTheBarAlone) {
    for (const std::wstring& preview : {std::wstring(), root_ + L"\\Missing", root_ + L"\\file.txt"}) {
        AddSentinel(root_ + L"\\file.txt");
        sentinels_.pop_back();
        Run(preview);
        EXPECT_TRUE(window_.Positions().empty()) << Narrow(preview);
    }
    sentinels_.push_back({root_ + L"\\file.txt", ReadFileBytes(root_ + L"\\file.txt")});
}

TEST_F(PreviewFilesTest, UnrelatedFolderLosesOnlyWhatTheStepRemoves) {
    // A preview folder that names a user's folder: files directly in its
    // one-character subfolders go, everything else stays.
    const std::wstring documents = root_ + L"\\Documents";
    Write(documents + L"\\B\\draft.txt");
    AddSentinel(documents + L"\\letter.txt");
    AddSentinel(documents + L"\\Photos\\1.jpg");
    AddSentinel(documents + L"\\B\\Sub\\keep.txt");
    AddSentinel(documents + L"\\BB\\keep.txt");
    Run(documents);
    EXPECT_FALSE(PathExists(documents + L"\\B\\draft.txt"));
    EXPECT_TRUE(IsFolder(documents));
}

TEST_F(PreviewFilesTest, RootsAreNeverEmptied) {
    // One-character folders at the drive root hold the victims.
    for (const wchar_t* folder : {L"C:\\Q", L"C:\\7"}) {
        if (PathExists(folder)) GTEST_SKIP() << "the prefix already has " << Narrow(folder);
    }
    AddSentinel(L"C:\\Q\\victim.txt");
    AddSentinel(L"C:\\7\\victim.txt");
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\QvTest"));
    for (const wchar_t* preview :
         {L"C:\\", L"C:", L"C:\\.", L"C:\\QvTest\\..", L"C:\\QvTest\\..\\", L"\\", L".", L"..", L"..\\..", L"C:."}) {
        Run(preview);
        EXPECT_TRUE(window_.Positions().empty()) << Narrow(preview);
    }
    EXPECT_TRUE(DamagedSentinels(sentinels_).empty());
    RemoveSentinels(sentinels_);
    sentinels_.clear();
    RemoveDirectoryW(L"C:\\Q");
    RemoveDirectoryW(L"C:\\7");
}

TEST_F(PreviewFilesTest, PathLimits) {
    // The search pattern "<folder>\c\*.*" must fit 255 characters.
    const std::wstring base = root_ + L"\\";
    const std::wstring fits = base + std::wstring(249 - base.size(), L'p');
    const std::wstring tooLong = base + std::wstring(250 - base.size(), L'q');
    ASSERT_EQ(249u, fits.size());
    Write(fits + L"\\0\\ab");
    Write(tooLong + L"\\0\\ab");
    Run(tooLong);
    EXPECT_TRUE(window_.Positions().empty());
    EXPECT_EQ(Content, ReadFileBytes(tooLong + L"\\0\\ab"));
    Run(fits);
    EXPECT_FALSE(PathExists(fits));
}

TEST_F(PreviewFilesTest, LinksAreNeverEntered) {
    // A subfolder, the preview folder itself, or a folder above it replaced
    // by a link to another folder: the folder linked to keeps its files.
    const std::wstring target = root_ + L"\\System Files";
    AddSentinel(target + L"\\kernel.dll");
    AddSentinel(target + L"\\A\\kernel.dll");
    AddSentinel(target + L"\\A\\K\\kernel.dll");
    const std::wstring preview = root_ + L"\\GlyphSmith\\Temporary Preview Files";
    Write(preview + L"\\A\\own.png");
    ASSERT_TRUE(PlantLink(preview + L"\\0", target));
    ASSERT_TRUE(IsMarkedAsLink(preview + L"\\0"));
    Run(preview);
    EXPECT_FALSE(PathExists(preview + L"\\A\\own.png")) << "the real subfolders are still emptied";
    EXPECT_EQ(AllSubfolderPositions(), window_.Positions());
    EXPECT_TRUE(RemoveLink(preview + L"\\0"));

    // The preview folder itself a link, and a preview folder below a link.
    const std::wstring linked = root_ + L"\\Linked";
    ASSERT_TRUE(PlantLink(linked, target));
    Run(linked);
    Run(linked + L"\\A");
    EXPECT_TRUE(RemoveLink(linked));
}

// The moment between the check and the use: a subfolder is renamed away
// just after the step has checked it, and a link put in its place. The step
// deletes only through what it checked, so the link leads it nowhere.
TEST_F(PreviewFilesTest, ASubfolderSwappedForALinkAfterTheCheckLeadsNowhere) {
    const std::wstring target = root_ + L"\\System Files";
    AddSentinel(target + L"\\kernel.dll");
    AddSentinel(target + L"\\own.png");
    const std::wstring preview = root_ + L"\\GlyphSmith\\Temporary Preview Files";
    Write(preview + L"\\B\\own.png");
    const std::wstring subfolder = preview + L"\\B";
    CheckedFolderSwap swap(subfolder, target);
    Run(preview);
    ASSERT_TRUE(swap.Swapped()) << "the swap did not happen";
    EXPECT_TRUE(IsMarkedAsLink(subfolder)) << "the link stays";
    EXPECT_TRUE(RemoveLink(subfolder));
}

// What a token says of its holder: elevated or not, and whose it is.
struct TokenHolder {
    bool elevated = true;
    std::string user;
};

bool ReadHolder(HANDLE token, TokenHolder& holder) {
    TOKEN_ELEVATION elevation = {};
    BYTE user[128] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) ||
        !GetTokenInformation(token, TokenUser, user, sizeof user, &size))
        return false;
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    holder.elevated = elevation.TokenIsElevated != 0;
    holder.user.assign(static_cast<const char*>(sid), GetLengthSid(sid));
    return true;
}

// The thread's own token at each check of the step, when it has one.
std::vector<TokenHolder> ThreadTokensSeen;
int ChecksWithoutThreadToken = 0;
void RecordTheThreadToken(const wchar_t*) {
    HANDLE token = nullptr;
    TokenHolder holder;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        ++ChecksWithoutThreadToken;
        return;
    }
    if (ReadHolder(token, holder)) ThreadTokensSeen.push_back(holder);
    CloseHandle(token);
}

// Wine grants every file access, so what shows here is the token the step
// runs with, not that Windows would refuse the elevated deletions.
TEST_F(PreviewFilesTest, TheStepRunsWithTheUsersUnelevatedTokenAndRevertsAfterwards) {
    HANDLE own = nullptr;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own));
    TokenHolder process;
    ASSERT_TRUE(ReadHolder(own, process));
    ASSERT_TRUE(GetTokenInformation(own, TokenElevationType, &type, sizeof type, &size));
    CloseHandle(own);
    ASSERT_EQ(TokenElevationTypeFull, type) << "the test program must run elevated, with a linked token";

    const std::wstring preview = root_ + L"\\Temporary Preview Files";
    Write(preview + L"\\C\\a.png");
    ThreadTokensSeen.clear();
    ChecksWithoutThreadToken = 0;
    RemovalCheckedHook = RecordTheThreadToken;
    Run(preview);
    RemovalCheckedHook = nullptr;

    EXPECT_FALSE(PathExists(preview));
    EXPECT_EQ(0, ChecksWithoutThreadToken);
    ASSERT_EQ(2u, ThreadTokensSeen.size()) << "the preview folder and subfolder C were checked";
    for (const TokenHolder& seen : ThreadTokensSeen) {
        EXPECT_FALSE(seen.elevated);
        EXPECT_EQ(process.user, seen.user) << "the same user as the process";
    }
    HANDLE after = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &after));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_TOKEN), GetLastError()) << "the thread is back to the process's token";
    if (after) CloseHandle(after);
}

// The step acts only where the process token's elevation was read: a read
// that fails on a system with elevation leaves the preview folder as it is.
// The reads are made to fail or to answer differently through the scope's
// token query.
enum class TokenAnswer { FailElevationType, FailLinkedToken, DefaultType, LimitedType };
TokenAnswer PlannedAnswer;

BOOL WINAPI AnswerTokenQuery(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size, PDWORD returned) {
    if (kind == TokenElevationType && PlannedAnswer == TokenAnswer::FailElevationType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (kind == TokenLinkedToken && PlannedAnswer == TokenAnswer::FailLinkedToken) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (kind == TokenElevationType && PlannedAnswer != TokenAnswer::FailLinkedToken) {
        *static_cast<TOKEN_ELEVATION_TYPE*>(data) =
            PlannedAnswer == TokenAnswer::DefaultType ? TokenElevationTypeDefault : TokenElevationTypeLimited;
        return TRUE;
    }
    return GetTokenInformation(token, kind, data, size, returned);
}

TEST_F(PreviewFilesTest, TheStepActsOnlyWhereTheTokensElevationWasRead) {
    const struct {
        TokenAnswer answer;
        const char* name;
        bool removed;
    } cases[] = {
        {TokenAnswer::FailElevationType, "elevation type unreadable", false},
        {TokenAnswer::FailLinkedToken, "linked token unreadable", false},
        {TokenAnswer::DefaultType, "no split token", true},
        {TokenAnswer::LimitedType, "the unelevated token", true},
    };
    const std::wstring preview = root_ + L"\\Temporary Preview Files";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(preview + L"\\K\\a.png");
        PlannedAnswer = c.answer;
        UserRightsTokenQuery = AnswerTokenQuery;
        Run(preview);
        UserRightsTokenQuery = GetTokenInformation;
        EXPECT_EQ(!c.removed, PathExists(preview + L"\\K\\a.png"));
        RemoveTree(preview);
    }
}

TEST_F(PreviewFilesTest, PreviewFolderBelowTheDriveRootLeavesTheCurrentFolder) {
    // For X:\Temporary Preview Files the containing folder is the drive
    // itself; "X:" must not be taken for it, as it names the current folder.
    const std::wstring preview = L"C:\\Temporary Preview Files";
    if (PathExists(preview)) GTEST_SKIP() << "the prefix already has " << Narrow(preview);
    const std::wstring current = root_ + L"\\Current";
    ASSERT_TRUE(MakeFolders(current));
    Write(preview + L"\\0\\a.png");
    ASSERT_TRUE(SetCurrentDirectoryW(current.c_str()));
    Run(preview);
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_FALSE(PathExists(preview));
    EXPECT_TRUE(IsFolder(current)) << "the empty current folder stays";
    RemoveTree(preview);
}

}  // namespace
