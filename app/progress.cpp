#include "app/progress.h"

namespace trevan {

std::wstring preparing_text(const std::wstring& product_name) {
    return L"Preparing " + product_name + L" setup\u2026";
}

int filled_width(std::uint32_t checked, std::uint32_t total, int width) {
    if (total == 0 || width <= 0) return 0;
    if (checked >= total) return width;
    return static_cast<int>(static_cast<std::uint64_t>(checked) * static_cast<std::uint64_t>(width) / total);
}

progress_layout lay_out_progress(int text_width, int button_text_width, int line_height, int char_width) {
    // Dialog units, as the system's own dialogs are measured: a quarter of
    // the average character width across, an eighth of the line height down.
    auto across = [char_width](int units) { return units * char_width / 4; };
    auto down = [line_height](int units) { return units * line_height / 8; };
    const int margin_x = across(7), margin_y = down(7);
    const int content = text_width > across(220) ? text_width : across(220);
    int button_width = button_text_width + across(16);
    if (button_width < across(50)) button_width = across(50);

    progress_layout l;
    l.width = content + 2 * margin_x;
    l.text = {margin_x, margin_y, margin_x + content, margin_y + line_height};
    l.bar = {margin_x, l.text.bottom + down(5), margin_x + content, l.text.bottom + down(5) + down(10)};
    l.button = {l.width - margin_x - button_width, l.bar.bottom + down(7), l.width - margin_x,
                l.bar.bottom + down(7) + down(14)};
    l.height = l.button.bottom + margin_y;
    return l;
}

}  // namespace trevan
