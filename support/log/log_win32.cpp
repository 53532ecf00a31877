#include "support/log/log.h"

#include <cstdarg>
#include <memory>

#include "support/core/scope.h"
#include "support/core/string_printf.h"
#include "support/core/va_list_guard.h"
#include "support/log/dispatcher.h"
#include "support/log/listener.h"
#include "support/platform/mutex.h"

namespace vennic {
namespace log {

generic::generic(const std::string& message) : vennic::exception(message) {
    extend_category_path("log");
}

namespace {

mutex& global_lock() {
    static mutex lock;
    return lock;
}

// Makes the lock during static initialisation, before the entry point runs
// and so before any second thread could race its construction; an earlier
// use from another static initialiser still finds it made.
[[maybe_unused]] mutex& global_lock_at_start = global_lock();

dispatcher* instance = nullptr;

// Call with the global lock held.
dispatcher& the_dispatcher() {
    if (!instance) instance = new dispatcher;
    return *instance;
}

}  // namespace

void add_listener(listener* sink) {
    std::unique_ptr<listener> owned(sink);
    scope guard(&global_lock());
    the_dispatcher().add(owned.release());
}

void write(const std::string& text) {
    scope guard(&global_lock());
    the_dispatcher().write(text);
}

void write_wide(const std::wstring& text) {
    scope guard(&global_lock());
    the_dispatcher().dispatch(1, text);
}

void writef(const char* format, ...) {
    std::string text;
    {
        va_list args;
        va_start(args, format);
        va_list_guard end(args);
        text = string_vprintf(format, args);
    }
    write(text);
}

void shutdown() {
    scope guard(&global_lock());
    if (!instance) return;
    instance->clear();
    delete instance;
    instance = nullptr;
}

}  // namespace log
}  // namespace vennic
