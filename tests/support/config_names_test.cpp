// The runtime configuration's names from a string table of the test's own:
// the order they are loaded in, and what stays when one is missing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/core/config.h"

namespace {

std::vector<unsigned> asked;

std::wstring from_table(unsigned id, const void* table) {
    asked.push_back(id);
    const auto* strings = static_cast<const std::vector<std::wstring>*>(table);
    const std::size_t at = id - 2001;
    if (at >= strings->size()) throw std::runtime_error("missing " + std::to_string(id));
    return (*strings)[at];
}

TEST(ConfigNames, MakerFirstThenProductAndWhatWasLoadedStays) {
    const std::vector<std::wstring> both = {L"Marrowgate", L"Vorbelquint"};
    asked.clear();
    vennic::config::load_names(from_table, &both);
    EXPECT_EQ(asked, (std::vector<unsigned>{2001, 2002}));
    EXPECT_EQ(vennic::config::current().maker_short_name, L"Marrowgate");
    EXPECT_EQ(vennic::config::current().product_name, L"Vorbelquint");

    const std::vector<std::wstring> maker_only = {L"Mapleworth"};
    EXPECT_THROW(vennic::config::load_names(from_table, &maker_only), std::runtime_error);
    EXPECT_EQ(vennic::config::current().maker_short_name, L"Mapleworth");
    EXPECT_EQ(vennic::config::current().product_name, L"Vorbelquint");
}

}  // namespace
