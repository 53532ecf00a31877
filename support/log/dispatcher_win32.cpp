#include "support/log/dispatcher.h"

#include <cstdarg>
#include <exception>
#include <iterator>
#include <memory>

#include "support/core/scope.h"
#include "support/core/string_printf.h"
#include "support/core/va_list_guard.h"
#include "support/log/describe_exception.h"
#include "support/log/listener.h"
#include "support/platform/unicode.h"

namespace vennic {
namespace log {
namespace {

constexpr char level_characters[] = {'#', ' ', '+', '!', '>', '@'};
constexpr int describe_level = 5;
constexpr int described_delivery_level = 3;

}  // namespace

dispatcher::dispatcher() = default;

dispatcher::~dispatcher() { clear(); }

void dispatcher::add(listener* sink) {
    std::unique_ptr<listener> owned(sink);
    if (!owned) return;
    scope guard(this);
    // Equal keys go behind those already there.
    listeners_.emplace(0, owned.get());
    owned.release();
}

void dispatcher::clear() {
    scope guard(this);
    for (auto& entry : listeners_) {
        delete entry.second;
        entry.second = nullptr;
    }
    listeners_.clear();
}

std::string dispatcher::make_prefix(const SYSTEMTIME& time, int level) {
    char character = level >= 0 && level < static_cast<int>(sizeof(level_characters))
                         ? level_characters[level]
                         : '?';
    return string_printf("%.4d/%.2d/%.2d %.2d:%.2d:%.2d %c  ", time.wYear, time.wMonth, time.wDay,
                         time.wHour, time.wMinute, time.wSecond, character);
}

void dispatcher::dispatch(int level, std::wstring text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string prefix = make_prefix(now, level);

    if (level == describe_level) {
        // The description re-raises the exception being handled; without
        // one that would end the process, so the text then goes as it is.
        if (std::current_exception()) text = describe_current_exception(text);
        level = described_delivery_level;
    }

    scope guard(this);
    std::string utf8;
    bool converted = false;
    // Highest threshold first; among equal ones the latest added first.
    for (auto it = std::make_reverse_iterator(listeners_.upper_bound(level)); it != listeners_.rend(); ++it) {
        if (!converted) {
            utf8 = unicode::to_narrow(text, CP_UTF8, true);
            converted = true;
        }
        it->second->write(level, prefix, utf8);
    }
}

void dispatcher::write(const std::string& text) {
    try {
        dispatch(1, unicode::to_wide(text, CP_ACP));
        return;
    } catch (...) {
    }
    try {
        dispatch(1, unicode::to_wide(text, CP_UTF8));
        return;
    } catch (...) {
    }
    writef_w(1, L"vennic::log: unable to convert input to unicode");
}

void dispatcher::writef_w(int level, const wchar_t* format, ...) {
    std::wstring text;
    {
        va_list args;
        va_start(args, format);
        va_list_guard end(args);
        text = wstring_vprintf(format, args);
    }
    dispatch(level, std::move(text));
}

}  // namespace log
}  // namespace vennic
