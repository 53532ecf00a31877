#pragma once

// The progress window apart from its drawing: when it shows, its line of
// text, how much of its bar is filled and where its parts lie. Sizes are in
// pixels of the font the window uses, so it grows with the system's DPI.

#include <cstdint>
#include <string>

namespace trevan {

// The window shows only while an extraction is still running this long after
// it began: a run that finishes sooner shows nothing.
inline constexpr unsigned long progress_delay_ms = 1000;

// "Preparing <product name> setup…"
std::wstring preparing_text(const std::wstring& product_name);

// What the window shows, in the run's language: its title (the product
// name), its line and its button's caption.
struct progress_texts {
    std::wstring title, line, cancel;
};

// Pixels of a bar width pixels wide that stand for checked of total bytes:
// none while total is unknown (0), never more than width.
int filled_width(std::uint32_t checked, std::uint32_t total, int width);

struct area {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct progress_layout {
    int width = 0, height = 0;  // client area
    area text, bar, button;
};

// The client area and its parts for a font of the given line height and
// average character width, with the line of text and the button's caption
// as wide as given in that font.
progress_layout lay_out_progress(int text_width, int button_text_width, int line_height, int char_width);

}  // namespace trevan
