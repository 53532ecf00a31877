#pragma once

// Branding the program's image before it is packed: the product's icon,
// version resource, the two names the program reads (string resources
// 2001, the maker's short name, and 2002, the product name) and its own
// texts in the customer's languages (ui_packing.h). Only resources change;
// the manifest and every other resource stay as they are.
//
//   branding b;
//   b.icon = "product.ico";
//   b.maker_name = "Quillfeather";
//   b.version_info["FileVersion"] = "2.1.0.7";
//   std::string image = apply_branding(read_file("Trevan.exe"), b, "stub");

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/pack/tool_error.h"
#include "tools/pack/ui_packing.h"

namespace trevan::pack {

// The version-resource fields branding sets, by their names in the resource:
// FileVersion, ProductVersion, CompanyName, ProductName, FileDescription,
// LegalCopyright, OriginalFilename, InternalName, Comments, LegalTrademarks,
// PrivateBuild, SpecialBuild. A PrivateBuild or SpecialBuild text also sets
// its flag in the fixed file flags (an empty one clears it).
const std::vector<std::string>& version_fields();

// The longest name the program reads: LoadStringW into 260 characters.
inline constexpr std::size_t max_name_length = 259;

struct branding {
    std::string icon;                         // an .ico file; empty: keep the icons
    std::optional<std::string> maker_name;    // string 2001, UTF-8
    std::optional<std::string> product_name;  // string 2002, UTF-8
    // Field of version_fields() to UTF-8 text; the two versions are four
    // numbers below 65536. CompanyName and ProductName default to the maker
    // and product names when those are given.
    std::map<std::string, std::string> version_info;
    // The languages of the program's texts packed, and the vendor's texts.
    ui_text_choice ui_texts;

    bool empty() const {
        return icon.empty() && !maker_name && !product_name && version_info.empty() && ui_texts.empty();
    }
};

// Checks the branding on its own (names, versions, field names, the icon
// file) and throws tool_error with one line for the first problem.
void check_branding(const branding& b);

// The image with the branding's resources. Checks the branding first, then
// the image: it must have a resource directory and no bytes behind its
// sections. what names the image in messages. Throws tool_error.
std::string apply_branding(const std::string& image, const branding& b, const std::string& what);

}  // namespace trevan::pack
