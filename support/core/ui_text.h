#pragma once

// The program's texts that it can show in the customer's language, and where
// a packed program carries them: text t of a language is string
// ui_text_first_string + t of the program's string tables, in that
// language's LCID, so one language's texts are the string blocks from
// ui_text_first_block on (16 strings each). The program holds the English
// texts itself; the pack tool writes the others at build time. An empty or
// missing string is served by the English text.

#include <cstdint>

namespace vennic {

enum class ui_text : std::uint16_t {
    already_running_caption,
    already_running_text,
    temp_folder_text,
    work_folder_text,
    progress_text,
    progress_cancel,
    open_archive_caption,
    initialize_archive_caption,
    extract_file_caption,
    file_error_text,
    invalid_archive_caption,
    invalid_archive_text,
    cancelled_text,
    option_refused_caption,
    option_refused_text,
    spawn_text,
    wait_text,
    exit_code_text,
    no_context_caption,
    unhandled_text,
    count,
};

inline constexpr unsigned ui_text_count = static_cast<unsigned>(ui_text::count);

// Block 3008 holds strings 48112 to 48127: far above the program's own
// strings (2000 and on), which branding rewrites.
inline constexpr std::uint16_t ui_text_first_block = 3008;
inline constexpr std::uint16_t ui_text_first_string = (ui_text_first_block - 1) * 16;
inline constexpr unsigned ui_text_blocks = (ui_text_count + 15) / 16;

inline constexpr std::uint16_t string_id_of(ui_text text) {
    return static_cast<std::uint16_t>(ui_text_first_string + static_cast<unsigned>(text));
}

// Each text's key in the pack tool's table and in branding files, in the
// order of ui_text.
inline constexpr const char* ui_text_keys[ui_text_count] = {
    "already_running.caption",
    "already_running.text",
    "temp_folder.text",
    "work_folder.text",
    "progress.text",
    "progress.cancel",
    "open_archive.caption",
    "initialize_archive.caption",
    "extract_file.caption",
    "file_error.text",
    "invalid_archive.caption",
    "invalid_archive.text",
    "cancelled.text",
    "option_refused.caption",
    "option_refused.text",
    "spawn.text",
    "wait.text",
    "exit_code.text",
    "no_context.caption",
    "unhandled.text",
};

// The placeholders of a text ("product", "path", ...), in the order its
// English text holds them: a text shown fills them from values in that
// order, whatever order a translation puts them in.
struct ui_text_placeholders {
    const char* first = nullptr;
    const char* second = nullptr;
};

inline constexpr ui_text_placeholders placeholders_of(ui_text text) {
    switch (text) {
    case ui_text::progress_text: return {"product", nullptr};
    case ui_text::file_error_text: return {"path", "error"};
    case ui_text::option_refused_text: return {"option", nullptr};
    default: return {};
    }
}

}  // namespace vennic
