// Texts on Windows: the wide exception, the system's error texts, the
// description of the exception being handled, and the runtime formatter's
// failure on a text it cannot convert.
#include <windows.h>
#include <comdef.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/core/string_printf.h"
#include "support/log/describe_exception.h"
#include "support/platform/exception_w.h"
#include "support/platform/system_error_text.h"

namespace {

const wchar_t cyrillic[] = L"\x0416\x0438\x0437\x043d\x044c";  // not in code page 1252

TEST(ExceptionW, WhatAndWhatWHaveTheSameForm) {
    vennic::exception_w e(L"Error. config::init. %s return %d.", L"GetModuleFileName", 0);
    EXPECT_STREQ(e.what_w(), L"[Error. config::init. GetModuleFileName return 0.]");
    EXPECT_STREQ(e.what(), "[Error. config::init. GetModuleFileName return 0.]");
    EXPECT_STREQ(e.message(), "Error. config::init. GetModuleFileName return 0.");
    EXPECT_STREQ(e.category_path(), "");
    EXPECT_STREQ(e.category_path_w(), L"");
}

TEST(ExceptionW, NarrowCopiesUseTheDefaultCharacterAndAreMadeOnce) {
    vennic::exception_w e(L"x%sy", cyrillic);
    ASSERT_EQ(GetACP(), 1252u) << "the test prefix is expected to use code page 1252";
    EXPECT_STREQ(e.what(), "[x?????y]");
    EXPECT_STREQ(e.message_w(), (std::wstring(L"x") + cyrillic + L"y").c_str());
    // A copy keeps what was narrowed.
    vennic::exception_w copy(e);
    EXPECT_STREQ(copy.message(), "x?????y");
}

TEST(SystemErrorText, KnownCodesWithoutLineEndUnknownCodesEmpty) {
    std::string text = vennic::system_error_text(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(vennic::system_error_text(0x2FFFFFFF), "");
}

std::wstring describe_thrown(std::exception_ptr error, const std::wstring& prefix) {
    try {
        std::rethrow_exception(error);
    } catch (...) {
        return vennic::log::describe_current_exception(prefix);
    }
}

TEST(DescribeCurrentException, EveryKindAndPrefixRule) {
    auto narrow = std::make_exception_ptr(vennic::exception(std::string("x")));
    EXPECT_EQ(describe_thrown(narrow, L"Copy failed"), L"Copy failed  exception: [x]");
    EXPECT_EQ(describe_thrown(narrow, L"Copy failed "), L"Copy failed  exception: [x]");
    EXPECT_EQ(describe_thrown(narrow, L""), L" exception: [x]");

    // The wide text is used as it is, not through the ANSI code page.
    auto wide = std::make_exception_ptr(vennic::exception_w(L"%s", cyrillic));
    EXPECT_EQ(describe_thrown(wide, L"p"), std::wstring(L"p  exception: [") + cyrillic + L"]");

    auto standard = std::make_exception_ptr(std::runtime_error("boom"));
    EXPECT_EQ(describe_thrown(standard, L"p"), L"p  exception: boom");

    auto other = std::make_exception_ptr(42);
    EXPECT_EQ(describe_thrown(other, L"p"), L"p  unknown exception");

    auto com = std::make_exception_ptr(_com_error(E_OUTOFMEMORY));
    _com_error probe(E_OUTOFMEMORY);
    std::wstring expected = L"p  _com_error: ";
    for (const char* c = probe.ErrorMessage(); *c; ++c) expected += static_cast<unsigned char>(*c);
    EXPECT_EQ(describe_thrown(com, L"p"), expected);
    EXPECT_GT(expected.size(), std::wstring(L"p  _com_error: ").size());
}

TEST(StringPrintf, AFormatNoBufferCanCureRaises) {
    // A wide argument the ANSI code page cannot take makes the runtime's
    // formatter fail at every size.
    EXPECT_THROW(vennic::string_printf("%S", cyrillic), vennic::exception);
}

}  // namespace
