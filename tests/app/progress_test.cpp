// The progress window's arithmetic: its bar for any byte counts, and a layout
// that holds its text and button at every DPI.
#include <gtest/gtest.h>

#include "app/progress.h"

namespace trevan {
namespace {

TEST(ProgressBar, FillsInProportionAndNeverBeyondItsWidth) {
    struct row {
        std::uint32_t checked, total;
        int width, filled;
    };
    const row rows[] = {
        {0, 0, 300, 0},                     // total unknown yet
        {5, 0, 300, 0},
        {0, 1000, 300, 0},
        {500, 1000, 300, 150},
        {999, 1000, 300, 299},              // full only when done
        {1000, 1000, 300, 300},
        {1001, 1000, 300, 300},             // the stub's bytes never count, but a count past the end stays inside
        {4000000000u, 4200000000u, 1000, 952},  // no 32-bit overflow
        {10, 20, 0, 0},
    };
    for (const row& r : rows)
        EXPECT_EQ(filled_width(r.checked, r.total, r.width), r.filled) << r.checked << "/" << r.total;
}

bool inside(const area& a, const progress_layout& l) {
    return a.left >= 0 && a.top >= 0 && a.right <= l.width && a.bottom <= l.height && a.left < a.right &&
           a.top < a.bottom;
}

TEST(ProgressLayout, HoldsTheTextAndTheButtonAtEveryDpi) {
    struct font {
        int dpi, line_height, char_width;
    };
    // Segoe UI 9 pt as Windows measures it at 100 % to 300 %.
    const font fonts[] = {{96, 15, 7}, {144, 23, 10}, {192, 30, 14}, {288, 45, 21}};
    for (const font& f : fonts) {
        for (int text_chars : {20, 120}) {  // a short product name and a long one
            const int text_width = text_chars * f.char_width, button_text = 6 * f.char_width;
            const progress_layout l = lay_out_progress(text_width, button_text, f.line_height, f.char_width);
            SCOPED_TRACE(testing::Message() << f.dpi << " dpi, " << text_chars << " characters");
            EXPECT_TRUE(inside(l.text, l));
            EXPECT_TRUE(inside(l.bar, l));
            EXPECT_TRUE(inside(l.button, l));
            EXPECT_GE(l.text.right - l.text.left, text_width);
            EXPECT_GE(l.text.bottom - l.text.top, f.line_height);
            EXPECT_GT(l.button.right - l.button.left, button_text);
            EXPECT_GE(l.button.bottom - l.button.top, f.line_height);
            // Top to bottom, none over another.
            EXPECT_LE(l.text.bottom, l.bar.top);
            EXPECT_LE(l.bar.bottom, l.button.top);
            // The whole window grows with the font.
            EXPECT_GE(l.width, 50 * f.char_width);
        }
    }
}

}  // namespace
}  // namespace trevan
