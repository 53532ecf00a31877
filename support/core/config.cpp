#include "support/core/config.h"

namespace vennic {
namespace config {
namespace {

record& the_record() {
    static record instance;
    return instance;
}

}  // namespace

const record& current() { return the_record(); }

void load_names(string_loader load, const void* table) {
    record& r = the_record();
    r.maker_short_name = load(2001, table);
    r.product_name = load(2002, table);
}

}  // namespace config
}  // namespace vennic
