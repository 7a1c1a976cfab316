// Registry access against Wine's real registry, in the 64-bit view.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "bench/TestRegistry.h"
#include "support/Registry.h"

using namespace qvtest;

namespace {

const wchar_t TestKey[] = L"SOFTWARE\\QvTest\\Registry";

class RegistryTest : public ::testing::Test {
protected:
    RegistryScope scope_{{{HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest"},
                          {HKEY_CURRENT_USER, L"SOFTWARE\\QvTest"},
                          {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\QvTest"}}};

    // A read buffer filled with a canary so that overruns and missing
    // terminators show.
    wchar_t buffer_[300];
    void FillCanary() {
        for (wchar_t& ch : buffer_) ch = 0xCCCC;
    }
};

TEST_F(RegistryTest, ReadsUpTo259BytesAndTerminates) {
    const std::wstring fits(128, L'a');     // 258 bytes with terminator
    const std::wstring tooLong(129, L'b');  // 260 bytes with terminator
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, TestKey, L"fits", fits));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, TestKey, L"tooLong", tooLong));

    FillCanary();
    EXPECT_NE(0, ReadRegistryString(HKEY_LOCAL_MACHINE, TestKey, L"fits", buffer_));
    EXPECT_EQ(fits, std::wstring(buffer_));

    FillCanary();
    EXPECT_EQ(0, ReadRegistryString(HKEY_LOCAL_MACHINE, TestKey, L"tooLong", buffer_));
    EXPECT_EQ(L'\0', buffer_[0]) << "a failed read leaves an empty text";
    for (int i = 130; i < 300; ++i) ASSERT_EQ(0xCCCC, buffer_[i]) << "write past the 130-character limit at " << i;
}

TEST_F(RegistryTest, TerminatesStringStoredWithoutNull) {
    const std::wstring text(128, L'x');  // 256 bytes, no terminator stored
    ASSERT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, TestKey, L"bare", REG_SZ, text.data(), 256));
    FillCanary();
    EXPECT_NE(0, ReadRegistryString(HKEY_LOCAL_MACHINE, TestKey, L"bare", buffer_));
    EXPECT_EQ(text, std::wstring(buffer_));
    EXPECT_EQ(0xCCCC, buffer_[130]) << "nothing written past the 130-character limit";
}

TEST_F(RegistryTest, Terminates129CharactersStoredWithoutNull) {
    const std::wstring text(129, L'x');  // 258 bytes, no terminator stored
    ASSERT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, TestKey, L"bare", REG_SZ, text.data(), 258));
    FillCanary();
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, TestKey, L"bare", buffer_)) {
        EXPECT_EQ(L'\0', buffer_[0]);
        GTEST_SKIP() << "Wine's RegQueryValueExW wants room for a terminator it adds itself, so 258 bytes "
                        "do not fit 259; Windows copies the data as stored";
    }
    EXPECT_EQ(text, std::wstring(buffer_));
    EXPECT_EQ(L'\0', buffer_[129]);
    EXPECT_EQ(0xCCCC, buffer_[130]);
}

TEST_F(RegistryTest, ReadsDwordAsFourBytesAndTerminator) {
    const DWORD number = 0x00420041;  // the bytes of L"AB"
    ASSERT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, TestKey, L"number", REG_DWORD, &number, 4));
    FillCanary();
    EXPECT_NE(0, ReadRegistryString(HKEY_LOCAL_MACHINE, TestKey, L"number", buffer_));
    EXPECT_EQ(0, std::memcmp(buffer_, &number, 4));
    EXPECT_EQ(L'\0', buffer_[2]);
}

TEST_F(RegistryTest, MissingKeyOrValueFails) {
    wchar_t buffer[130] = L"untouched";
    buffer[0] = L'\0';
    EXPECT_EQ(0, ReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\Nowhere", L"x", buffer));
    EXPECT_EQ(L'\0', buffer[0]);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, TestKey, L"present", L"1"));
    EXPECT_EQ(0, ReadRegistryString(HKEY_LOCAL_MACHINE, TestKey, L"absent", buffer));
    EXPECT_EQ(L'\0', buffer[0]);
}

TEST_F(RegistryTest, WriteStoresRegSzWithTerminatorAndDefaultValue) {
    EXPECT_NE(0, WriteRegistryString(HKEY_CURRENT_USER, L"SOFTWARE\\QvTest\\A\\B", L"", L"default text"));
    EXPECT_EQ(L"default text", GetRegString(HKEY_CURRENT_USER, L"SOFTWARE\\QvTest\\A\\B", L"").value_or(L"-"));

    EXPECT_NE(0, WriteRegistryString(HKEY_CURRENT_USER, L"SOFTWARE\\QvTest\\A", L"empty", L""));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\QvTest\\A", 0, KEY_READ, &key));
    DWORD type = 0;
    BYTE data[8] = {1, 1, 1, 1};
    DWORD bytes = sizeof(data);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"empty", nullptr, &type, data, &bytes));
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(2u, bytes);
    EXPECT_EQ(0, data[0] | data[1]);

    wchar_t buffer[130];
    EXPECT_NE(0, ReadRegistryString(HKEY_CURRENT_USER, L"SOFTWARE\\QvTest\\A\\B", L"", buffer));
    EXPECT_STREQ(L"default text", buffer);
}

TEST_F(RegistryTest, DeleteValueCreatesMissingKeyAndKeepsOthers) {
    const wchar_t key[] = L"SOFTWARE\\QvTest\\Created\\ByDelete";
    ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegistryValue(HKEY_CURRENT_USER, key, L"PictureIndex"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key)) << "opened with create semantics";
    EXPECT_TRUE(RegSubkeys(HKEY_CURRENT_USER, key).empty());

    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, key, L"PictureIndex", L"3"));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, key, L"", L"kept"));
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryValue(HKEY_CURRENT_USER, key, L"PictureIndex"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, key, L"PictureIndex"));
    EXPECT_EQ(L"kept", GetRegString(HKEY_CURRENT_USER, key, L"").value_or(L"-"));
}

TEST_F(RegistryTest, DeleteTreeRemovesNestedKeysAndOnlyThem) {
    const std::wstring root = L"SOFTWARE\\QvTest\\Tree";
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, root + L"\\L1a\\L2\\L3", L"v", L"deep"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, root + L"\\L1b", L"v", L"x"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, root, L"v", L"top"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\TreeSibling", L"v", L"stays"));

    EXPECT_EQ(0u, DeleteRegistryTree(HKEY_LOCAL_MACHINE, root.c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, root));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\TreeSibling"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest"));

    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), DeleteRegistryTree(HKEY_LOCAL_MACHINE, root.c_str()))
        << "a missing key changes nothing";
}

// Every operation reaches the native key that its path names and leaves the
// same-named key of the 32-bit view (under Wow6432Node) alone; the 32-bit
// view is reached only through that branch by name. In a 32-bit process on
// 64-bit Windows this holds only through the 64-bit view flag.
TEST_F(RegistryTest, EveryOperationReachesTheNativeKeyAndLeavesItsWow6432NodeTwin) {
    const std::wstring native = L"SOFTWARE\\QvTest\\View";
    const std::wstring twin = L"SOFTWARE\\Wow6432Node\\QvTest\\View";
    EXPECT_NE(0, WriteRegistryString(HKEY_LOCAL_MACHINE, native.c_str(), L"where", L"64"));
    EXPECT_EQ(L"64", GetRegString(HKEY_LOCAL_MACHINE, native, L"where").value_or(L"-"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, twin)) << "a new key is made in the native view only";

    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, native + L"\\Child", L"where", L"64"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, twin + L"\\Child", L"where", L"32"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, twin, L"where", L"32"));
    const auto twinIsIntact = [&] {
        return GetRegString(HKEY_LOCAL_MACHINE, twin, L"where") == std::wstring(L"32") &&
               GetRegString(HKEY_LOCAL_MACHINE, twin + L"\\Child", L"where") == std::wstring(L"32");
    };
    wchar_t buffer[130];
    EXPECT_NE(0, ReadRegistryString(HKEY_LOCAL_MACHINE, native.c_str(), L"where", buffer));
    EXPECT_STREQ(L"64", buffer);
    EXPECT_NE(0, ReadRegistryString(HKEY_LOCAL_MACHINE, twin.c_str(), L"where", buffer));
    EXPECT_STREQ(L"32", buffer);

    EXPECT_NE(0, WriteRegistryString(HKEY_LOCAL_MACHINE, native.c_str(), L"where", L"written"));
    EXPECT_EQ(L"written", GetRegString(HKEY_LOCAL_MACHINE, native, L"where").value_or(L"-"));
    EXPECT_TRUE(twinIsIntact()) << "write";

    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryValue(HKEY_LOCAL_MACHINE, native.c_str(), L"where"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, native, L"where"));
    EXPECT_TRUE(twinIsIntact()) << "value deletion";

    EXPECT_EQ(0u, DeleteRegistryTree(HKEY_LOCAL_MACHINE, native.c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, native));
    EXPECT_TRUE(twinIsIntact()) << "tree deletion";
}

TEST_F(RegistryTest, DeleteTreeLeavesRegistryLinksAndTheirTargets) {
    // A link inside the tree, pointing back at the tree's own key and at a
    // key elsewhere: neither target may be emptied or deleted, and the walk
    // must end.
    const std::wstring tree = L"SOFTWARE\\QvTest\\LinkTree";
    const std::wstring target = L"SOFTWARE\\QvTest\\LinkTarget";
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, target + L"\\Deep", L"v", L"target's own"));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, tree + L"\\Plain", L"v", L"x"));
    for (const auto& link : {std::make_pair(tree + L"\\ToTarget", target), std::make_pair(tree + L"\\ToSelf", tree)})
        ASSERT_TRUE(MakeRegLink(HKEY_CURRENT_USER, link.first, RegNtPath(HKEY_CURRENT_USER, link.second)));
    ASSERT_TRUE(RegKeyExists(HKEY_CURRENT_USER, tree + L"\\ToTarget\\Deep")) << "the link leads to the target";

    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), DeleteRegistryTree(HKEY_CURRENT_USER, tree.c_str()))
        << "the links keep the tree's key";
    EXPECT_EQ(L"target's own", GetRegString(HKEY_CURRENT_USER, target + L"\\Deep", L"v").value_or(L"<gone>"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, tree + L"\\Plain"));
    for (const wchar_t* name : {L"ToTarget", L"ToSelf"})
        EXPECT_TRUE(DeleteRegLink(HKEY_CURRENT_USER, tree + L"\\" + name));
}

}  // namespace
