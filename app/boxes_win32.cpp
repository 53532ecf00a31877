#include <windows.h>

#include "app/boxes.h"
#include "app/ui_texts_win32.h"
#include "support/log/log.h"
#include "support/platform/unicode.h"

namespace trevan {
namespace {

// The failure's narrow text as the system's ANSI calls would read it.
std::wstring wide(const std::string& text) { return vennic::unicode::to_wide(text, CP_ACP, false); }

}  // namespace

void boxes::show(const vennic::failure& failure) const {
    const bool shown = shows_message_box(silent_switch_, interactive_, log_ready_);
    std::wstring caption, text;
    try {
        if (texts_ && failure.caption_text) caption = texts_->text(*failure.caption_text);
        if (texts_ && failure.text_text) {
            const std::wstring values[] = {wide(failure.values[0]), wide(failure.values[1])};
            text = texts_->text(*failure.text_text, values, 2);
        }
        if (caption.empty()) caption = wide(failure.caption);
        if (text.empty()) text = wide(failure.text);
    } catch (...) {
        // Without memory for the texts the box still tells, in English.
        if (shown) MessageBoxA(nullptr, failure.text.c_str(), failure.caption.c_str(), MB_OK);
        return;
    }
    if (log_ready_) {
        try {
            // One line: the text's line ends become blanks.
            std::wstring line = shown ? L"Message box: " : L"Message box (not shown, unattended): ";
            line += caption + L": " + text;
            for (wchar_t& c : line)
                if (c == L'\r' || c == L'\n') c = L' ';
            vennic::log::write_wide(line);
        } catch (...) {
            // The box itself still tells.
        }
    }
    if (shown) MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace trevan
