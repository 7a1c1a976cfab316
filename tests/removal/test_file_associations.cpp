// The file association restore against Wine's registry. Built twice: as
// test_associations_xp, which runs with Wine's Windows version set to XP
// for its executable (HKCU\Software\Wine\AppDefaults\<exe>\Version), and
// as test_associations_win10 with Windows 10, where the step does nothing.
// Wine reads that version when a process starts, so main() sets it and runs
// the program again.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include "RemovalBench.h"
#include "bench/Driver.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "removal/AssociationRestore.h"
#include "support/VersionProbes.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

const bool IsXpBuild = std::wstring(QV_WINDOWS_VERSION) == L"winxp";
const wchar_t Product[] = L"QvTestAssociations";
const UINT NotifyMessage = WM_APP + 7;

// Counts the shell's association-change notifications that reach this process.
class NotificationCounter {
public:
    NotificationCounter() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"QvTestNotifications";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        SHChangeNotifyEntry entry = {nullptr, TRUE};
        registration_ = SHChangeNotifyRegister(window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel, SHCNE_ASSOCCHANGED,
                                               NotifyMessage, 1, &entry);
        count_ = 0;
    }
    ~NotificationCounter() {
        if (registration_) SHChangeNotifyDeregister(registration_);
        DestroyWindow(window_);
    }
    bool Registered() const { return registration_ != 0; }
    int Count() {
        Pump();
        return count_;
    }

private:
    static void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == NotifyMessage && (static_cast<LONG>(lParam) & SHCNE_ASSOCCHANGED)) ++count_;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
    ULONG registration_ = 0;
    static int count_;
};
int NotificationCounter::count_ = 0;

class AssociationTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunVersionProbes();
        UninstallRecord.ProductKey = Product;
        sample_.productKey = Product;
        sample_.associations = {
            // An extension the product created: no previous type, so it stays.
            {L".qvtest1", L"", L"GlyphSmith.Document"},
            // Live value in other letter case: restored.
            {L".qvtest2", L"qvtest2file", L"GlyphSmith.Icon", L"", L"", L"", L"", L"glyphsmith.ICON"},
            // Changed by the user since: stays.
            {L".qvtest3", L"qvtest3file", L"GlyphSmith.Image", L"", L"", L"", L"", L"Paint.Picture"},
            // No product value in the record: never restored.
            {L".qvtest4", L"qvtest4file", L"GlyphSmith.Vector", L"", L"", L"", L"", std::nullopt, std::nullopt,
             std::nullopt, true},
            // Only ASCII letters compare without case: stays.
            {L".qvtest5", L"qvtest5file", L"GlyphSmith.\u00c4", L"", L"", L"", L"", L"glyphsmith.\u00e4"},
            // A file type: description and command restored (the command
            // in other case), icon kept because its previous value is empty.
            {L"QvTest.IconFile", L"Icon", L"GlyphSmith Icon", L"\"C:\\windows\\system32\\mspaint.exe\" \"%1\"",
             L"\"C:\\GlyphSmith\\GlyphSmith.exe\" \"%1\"", L"", L"C:\\GlyphSmith\\GlyphSmith.exe,1", std::nullopt,
             L"\"c:\\glyphsmith\\GLYPHSMITH.exe\" \"%1\""},
            // A file type whose command the user changed: only that stays.
            {L"QvTest.Picture", L"Picture", L"GlyphSmith Picture", L"old.exe %1", L"gs.exe %1", L"old.ico", L"gs.ico",
             std::nullopt, L"user.exe %1"},
        };
        Cleanup();
        for (SampleAssociation& a : sample_.associations) LayOut(a);
    }
    void TearDown() override { Cleanup(); }

    void Cleanup() {
        DeleteRegTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\" + std::wstring(Product));
        DeleteRegTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\" + std::wstring(Product), OwnView);
        for (const SampleAssociation& a : sample_.associations) DeleteRegTree(HKEY_CLASSES_ROOT, a.name);
    }
    // The sample installation's association part alone.
    void LayOut(const SampleAssociation& a) {
        LayOutSampleAssociation(L"SOFTWARE\\Quorvex\\" + std::wstring(Product), a);
    }
    static std::wstring Live(const std::wstring& key) {
        return GetRegString(HKEY_CLASSES_ROOT, key, L"").value_or(L"<missing>");
    }
    // Every live value, in a fixed order.
    std::vector<std::wstring> LiveValues() const {
        std::vector<std::wstring> values;
        for (const SampleAssociation& a : sample_.associations) {
            values.push_back(Live(a.name));
            if (a.name[0] == L'.') continue;
            values.push_back(Live(a.name + L"\\shell\\open\\command"));
            values.push_back(Live(a.name + L"\\DefaultIcon"));
        }
        return values;
    }

    RecordScope record_;
    SampleInstallation sample_;
};

// One suite name per program, so that CTest tells the two apart.
using AssociationXpTest = AssociationTest;
using AssociationWin10Test = AssociationTest;

TEST_F(QV_SUITE, WindowsVersionIsTheOneAskedFor) {
    EXPECT_EQ(IsXpBuild ? 0 : 1, UninstallRecord.IsVistaOrLater)
        << "HKCU\\Software\\Wine\\AppDefaults did not set the version " << Narrow(QV_WINDOWS_VERSION);
}

TEST_F(QV_SUITE, RestoresOnlyWhereTheProductsValueIsStillLive) {
    const std::vector<std::wstring> before = LiveValues();
    NotificationCounter notifications;
    RestoreFileAssociations(UninstallRecord.ProductKey, UninstallRecord.IsVistaOrLater, TestRun());
    if (!IsXpBuild) {
        EXPECT_EQ(before, LiveValues()) << "nothing is touched on Windows Vista and later";
        EXPECT_EQ(0, notifications.Count());
        return;
    }
    const std::vector<std::wstring> expected = {
        L"GlyphSmith.Document",
        L"qvtest2file",
        L"Paint.Picture",
        L"GlyphSmith.Vector",
        L"glyphsmith.\u00e4",
        L"Icon",
        L"\"C:\\windows\\system32\\mspaint.exe\" \"%1\"",
        L"C:\\GlyphSmith\\GlyphSmith.exe,1",
        L"Picture",
        L"user.exe %1",
        L"old.ico",
    };
    EXPECT_EQ(expected, LiveValues());
    if (!notifications.Registered()) GTEST_SKIP() << "Wine refused SHChangeNotifyRegister";
    EXPECT_EQ(1, notifications.Count());
}

// A 32-bit process on 64-bit Windows walks the record's Wow6432Node copy:
// an entry named only in the 64-bit view is not restored, although its
// values are read from there.
TEST_F(QV_SUITE, TheWalkListsTheEntriesOfTheProcesssOwnView) {
    if (!HasSeparate32BitView()) GTEST_SKIP() << "a 64-bit process has one registry view";
    if (!IsXpBuild) GTEST_SKIP() << "the restore runs only before Windows Vista";
    const std::wstring record = L"SOFTWARE\\Quorvex\\" + std::wstring(Product) + L"\\Associations\\";
    const SampleAssociation& hidden = sample_.associations[1];
    const SampleAssociation& walked = sample_.associations[5];
    ASSERT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, record + hidden.name, OwnView));
    DeleteRegTree(HKEY_LOCAL_MACHINE, record + hidden.name, OwnView);
    ASSERT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, record + hidden.name));
    const std::wstring hiddenBefore = Live(hidden.name);
    RestoreFileAssociations(UninstallRecord.ProductKey, UninstallRecord.IsVistaOrLater, TestRun());
    EXPECT_EQ(hiddenBefore, Live(hidden.name));
    EXPECT_EQ(walked.previous, Live(walked.name));
}

TEST_F(QV_SUITE, MissingOrEmptyRecordStillNotifiesOnce) {
    const std::vector<std::wstring> before = LiveValues();
    for (bool keepEmptyRecord : {false, true}) {
        DeleteRegTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\" + std::wstring(Product));
        if (keepEmptyRecord)
            SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\" + std::wstring(Product) + L"\\Associations", L"x",
                         L"");
        NotificationCounter notifications;
        RestoreFileAssociations(UninstallRecord.ProductKey, UninstallRecord.IsVistaOrLater, TestRun());
        EXPECT_EQ(before, LiveValues());
        if (notifications.Registered()) EXPECT_EQ(IsXpBuild ? 1 : 0, notifications.Count()) << keepEmptyRecord;
    }
}

}  // namespace

int main(int argc, char** argv) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring exeName = wcsrchr(self, L'\\') ? wcsrchr(self, L'\\') + 1 : self;
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\" + exeName;
    wchar_t marker[8] = L"";
    if (GetEnvironmentVariableW(L"QV_TEST_VERSION_SET", marker, 8) == 0) {
        SetRegString(HKEY_CURRENT_USER, appDefaults, L"Version", QV_WINDOWS_VERSION);
        SetEnvironmentVariableW(L"QV_TEST_VERSION_SET", L"1");
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
            if (handle && handle != INVALID_HANDLE_VALUE)
                SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        std::wstring commandLine = GetCommandLineW();
        PROCESS_INFORMATION child = {};
        DWORD exitCode = 1;
        if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, L"C:\\", &startup, &child)) {
            WaitForSingleObject(child.hProcess, INFINITE);
            GetExitCodeProcess(child.hProcess, &exitCode);
            CloseHandle(child.hProcess);
            CloseHandle(child.hThread);
        }
        DeleteRegTree(HKEY_CURRENT_USER, appDefaults);
        return static_cast<int>(exitCode);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
