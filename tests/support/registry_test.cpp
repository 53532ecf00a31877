// Registry reads against values the test writes under its own key of the
// current user's hive (removed again afterwards).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/platform/registry.h"
#include "support/platform/unicode.h"

namespace {

using vennic::registry2::key;

const wchar_t test_root[] = L"Software\\TrevanTest";
const wchar_t test_key[] = L"Software\\TrevanTest\\registry2";
const std::wstring cyrillic = L"\x0416\x0438\x0437";

void set_raw(HKEY k, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS) << name;
}

// Text stored with exactly the given characters (zeros included).
void set_text(HKEY k, const wchar_t* name, DWORD type, const std::wstring& text) {
    set_raw(k, name, type, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

std::wstring env(const wchar_t* name) {
    std::vector<wchar_t> buffer(32768);
    DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::wstring(buffer.data(), n);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, test_root);
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, test_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        set_text(k, L"with_zero", REG_SZ, std::wstring(L"abc\0", 4));
        set_text(k, L"without_zero", REG_SZ, L"abc");
        set_text(k, L"two_zeros", REG_SZ, std::wstring(L"abc\0\0", 5));
        set_raw(k, L"empty", REG_SZ, nullptr, 0);
        set_raw(k, L"odd_size", REG_SZ, "a\0b\0c\0d", 7);
        set_text(k, L"none", REG_NONE, std::wstring(L"abc\0", 4));
        const DWORD four = 4;
        set_raw(k, L"dword", REG_DWORD, &four, sizeof(four));
        set_text(k, L"expand", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\x\0", 15));
        set_text(k, L"not_expanded", REG_SZ, std::wstring(L"%SystemRoot%\\x\0", 15));
        set_text(k, L"unknown_reference", REG_EXPAND_SZ, std::wstring(L"%TREVAN_NO_SUCH_VARIABLE%\0", 26));
        set_text(k, L"long_expansion", REG_EXPAND_SZ, L"%TREVAN_TEST_LONG%%TREVAN_TEST_LONG%");
        set_text(k, L"cyrillic", REG_SZ, cyrillic);
        set_text(k, cyrillic.c_str(), REG_DWORD, L"xx");
        RegCloseKey(k);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, test_root); }
};

template <typename F>
std::string what_of(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

TEST_F(Registry, StringValuesAndTheirTerminatingZeros) {
    key root(HKEY_CURRENT_USER);
    key k(root, test_key, false);
    struct {
        const wchar_t* name;
        std::wstring text;
    } const cases[] = {
        {L"with_zero", L"abc"},
        {L"without_zero", L"abc"},
        {L"two_zeros", std::wstring(L"abc\0", 4)},
        {L"empty", L""},
        {L"odd_size", L"abc"},
        {L"not_expanded", L"%SystemRoot%\\x"},
        {L"unknown_reference", L"%TREVAN_NO_SUCH_VARIABLE%"},
        {L"expand", env(L"SystemRoot") + L"\\x"},
    };
    for (const auto& c : cases) EXPECT_EQ(k.read_wstring(c.name), c.text) << c.name;
    EXPECT_FALSE(env(L"SystemRoot").empty());
    EXPECT_EQ(k.read_string(L"with_zero"), "abc");
    EXPECT_EQ(k.read_string(L"two_zeros"), std::string("abc\0", 4));
}

TEST_F(Registry, ExpansionsUpToTheAreaAndBeyond) {
    key root(HKEY_CURRENT_USER);
    key k(root, test_key, false);
    // 30,000 characters fit the area of 32,768.
    const std::wstring part(15000, L'y');
    ASSERT_TRUE(SetEnvironmentVariableW(L"TREVAN_TEST_LONG", part.c_str()));
    const std::wstring text = k.read_wstring(L"long_expansion");
    EXPECT_EQ(text.size(), 30000u);
    EXPECT_TRUE(text == part + part);
    // 40,000 do not: an error rather than a cut text.
    ASSERT_TRUE(SetEnvironmentVariableW(L"TREVAN_TEST_LONG", std::wstring(20000, L'y').c_str()));
    EXPECT_EQ(what_of([&] { k.read_wstring(L"long_expansion"); }),
              "registry2.value_error[ExpandEnvironmentStrings() failed: value \"long_expansion\" (122)]");
    SetEnvironmentVariableW(L"TREVAN_TEST_LONG", nullptr);
}

TEST_F(Registry, ErrorTexts) {
    key root(HKEY_CURRENT_USER);
    key k(root, test_key, false);
    EXPECT_EQ(what_of([&] { k.read_wstring(L"missing"); }), "registry2.value_error[Not found: value \"missing\"]");
    EXPECT_EQ(what_of([&] { k.read_wstring(L"none"); }), "registry2.value_error[Not found: value \"none\"]");
    EXPECT_EQ(what_of([&] { k.read_string(L"dword"); }),
              "registry2.type_mismatch[Type mismatch: value \"dword\" expected 1 found 4]");
    // The key stays usable after a failed read.
    EXPECT_EQ(k.read_string(L"without_zero"), "abc");

    EXPECT_EQ(what_of([&] { key missing(k, L"no\\such", false); }),
              "registry2.key_error[RegOpenKeyEx() failed: key \"no\\such\" (2)]");
    EXPECT_EQ(what_of([&] { key missing(root, L"Software\\TrevanTest\\none", true); }),
              "registry2.key_error[RegOpenKeyEx() failed: key \"Software\\TrevanTest\\none\" (2)]");

    // Predefined roots print as negative numbers.
    HKEY bad_root = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x8000000F)));
    EXPECT_EQ(what_of([&] { key r(bad_root); }), "registry2.key_error[RegOpenKeyEx() failed: handle -2147483633 (6)]");
}

TEST_F(Registry, TextsTheAnsiCodePageLacks) {
    ASSERT_EQ(GetACP(), 1252u) << "the test prefix is expected to use code page 1252";
    key root(HKEY_CURRENT_USER);
    key k(root, test_key, false);
    EXPECT_EQ(k.read_wstring(L"cyrillic"), cyrillic);
    EXPECT_EQ(what_of([&] { k.read_string(L"cyrillic"); }), "unicode.unmappable_character[]");
    // A name that cannot go into the message raises the conversion error.
    EXPECT_EQ(what_of([&] { k.read_wstring(cyrillic); }), "unicode.unmappable_character[]");
    EXPECT_EQ(what_of([&] { k.read_wstring(L"missing" + cyrillic); }), "unicode.unmappable_character[]");
}

TEST_F(Registry, RootsAndTheSixtyFourBitView) {
    key machine(HKEY_LOCAL_MACHINE);
    key software(machine, L"Software", true);
    key user(HKEY_CURRENT_USER);
    key k(user, test_key, true);
    EXPECT_EQ(k.read_string(L"with_zero"), "abc");
}

}  // namespace
