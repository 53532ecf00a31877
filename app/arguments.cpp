#include "app/arguments.h"

namespace trevan {

std::wstring program_arguments(const std::wstring& command_line) {
    const std::size_t n = command_line.size();
    std::size_t i = 0;
    bool quoted = false;
    // Up to U+0020 ends the name as in the start-up code: blanks, tabs and
    // control characters alike. A zero ends the text there as well.
    while (i < n && command_line[i] != L'\0' && (command_line[i] > L' ' || quoted)) {
        if (command_line[i] == L'"') quoted = !quoted;
        ++i;
    }
    while (i < n && command_line[i] != L'\0' && command_line[i] <= L' ') ++i;
    std::size_t end = i;
    while (end < n && command_line[end] != L'\0') ++end;
    return command_line.substr(i, end - i);
}

std::string ascii_outline(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out += static_cast<unsigned long>(c) < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

vennic::failure unconvertible_arguments_failure() {
    return vennic::failure{"ShellExecuteEx failed", "Unable to spawn process", 0, {}, vennic::ui_text::spawn_text, {}};
}

}  // namespace trevan
