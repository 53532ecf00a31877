// The runtime configuration from the string tables of this program and of a
// second build that lacks string 2002.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/platform/config.h"
#include "support/platform/exception_w.h"

namespace {

std::wstring digits(std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) text += static_cast<wchar_t>(L'0' + i % 10);
    return text;
}

std::string what_of_load(unsigned id, HMODULE module) {
    try {
        vennic::load_resource_string(id, module);
    } catch (const vennic::exception& e) {
        return e.what();
    }
    return "no exception";
}

TEST(LoadResourceString, ShortLongMissingAndEmpty) {
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(vennic::load_resource_string(2001, self), L"Marrowgate");
    EXPECT_EQ(vennic::load_resource_string(2003, self), digits(259));
    EXPECT_EQ(what_of_load(2005, self), "[resource string 2005 is not found]");
    EXPECT_EQ(what_of_load(2004, self), "[resource string 2004 is not found]");
}

TEST(Config, StartLoadsBothNamesAndChecks) {
    vennic::config::start(GetModuleHandleW(nullptr));
    EXPECT_EQ(vennic::config::current().maker_short_name, L"Marrowgate");
    EXPECT_EQ(vennic::config::current().product_name, L"Vorbelquint");
}

TEST(Config, BuildWithoutProductNameFailsAfterLoadingTheMakerName) {
    HMODULE other = LoadLibraryExW(CONFIG_WITHOUT_2002, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(other, nullptr) << GetLastError();
    try {
        vennic::config::start(other);
        ADD_FAILURE() << "no exception";
    } catch (const vennic::exception& e) {
        EXPECT_STREQ(e.what(), "[resource string 2002 is not found]");
    }
    EXPECT_EQ(vennic::config::current().maker_short_name, L"Mapleworth");
    FreeLibrary(other);
}

TEST(Config, InitNeedsTheModuleFileName) {
    EXPECT_NO_THROW(vennic::config::init(GetModuleHandleW(nullptr)));
    try {
        vennic::config::init(reinterpret_cast<HMODULE>(0x1230000));
        ADD_FAILURE() << "no exception";
    } catch (const vennic::exception_w& e) {
        EXPECT_STREQ(e.what_w(), L"[Error. config::init. GetModuleFileName return 0.]");
    }
}

}  // namespace
