// The program's own error functions of the runtime: a misused string or
// container still ends in a std::exception that names what went wrong, and
// out of memory is still std::bad_alloc.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace {

template <typename F>
std::string what_of(F f) {
    try {
        f();
    } catch (const std::bad_alloc&) {
        return "bad_alloc";
    } catch (const std::exception& e) {
        return e.what();
    }
    return "nothing thrown";
}

TEST(RuntimeErrors, MisuseEndsInAStdExceptionNamingIt) {
    volatile std::size_t far = 10;
    std::string text = "abc";
    std::vector<int> numbers;
    EXPECT_EQ(what_of([&] { (void)text.substr(far); }),
              "basic_string::substr: __pos (which is 10) > this->size() (which is 3)");
    EXPECT_NE(what_of([&] { (void)text.at(far); }).find("basic_string::at"), std::string::npos);
    EXPECT_NE(what_of([&] { (void)numbers.at(far); }).find("vector::_M_range_check"), std::string::npos);
    EXPECT_NE(what_of([&] { text.reserve(text.max_size() + 1); }).find("basic_string::"), std::string::npos);
}

TEST(RuntimeErrors, OutOfMemoryIsStillBadAlloc) {
    EXPECT_EQ(what_of([] { std::__throw_bad_alloc(); }), "bad_alloc");
    volatile std::size_t huge = std::size_t(-1) / 2;
    char* volatile kept = nullptr;  // a use the compiler cannot drop
    EXPECT_EQ(what_of([&] { kept = new char[huge]; }), "bad_alloc");
    delete[] kept;
}

}  // namespace
