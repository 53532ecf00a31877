#pragma once

// The program's texts as its own image carries them (ui_texts.h): found by
// the loader's resource functions in the mapped image, each string read
// only within its block's bounds.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/core/ui_text.h"

namespace trevan {

// The languages whose texts module carries: those of its first text block.
std::vector<std::uint16_t> carried_ui_languages(HMODULE module);

class ui_texts {
public:
    // None carried: the program's own English texts.
    ui_texts() = default;
    // The texts module carries in language; none for one it does not carry.
    ui_texts(HMODULE module, std::uint16_t language);

    // Text t with its placeholders filled from count values
    // (placeholders_of); empty where the image carries no such text, for
    // the English one.
    std::wstring text(vennic::ui_text t, const std::wstring* values = nullptr, std::size_t count = 0) const;

private:
    HMODULE module_ = nullptr;
    std::uint16_t language_ = 0;
    // The text blocks the image has in this very language: the loader may
    // answer a language it lacks with another one, so it is never asked
    // for one of the others.
    unsigned blocks_ = 0;
};

}  // namespace trevan
