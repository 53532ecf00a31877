#include "app/setup_kind.h"

namespace trevan {

const char* kind_name(setup_kind kind) {
    switch (kind) {
    case setup_kind::none: return "";
    case setup_kind::msi: return "msi";
    case setup_kind::nsis: return "nsis";
    case setup_kind::inno: return "inno";
    case setup_kind::burn: return "burn";
    case setup_kind::plain: return "plain";
    }
    return "";
}

std::optional<setup_kind> kind_of_setting(const std::string& value) {
    for (setup_kind kind : {setup_kind::none, setup_kind::msi, setup_kind::nsis, setup_kind::inno,
                            setup_kind::burn, setup_kind::plain})
        if (value == kind_name(kind)) return kind;
    return std::nullopt;
}

}  // namespace trevan
