#include "tools/pack/branding_options.h"

#include <memory>
#include <string>
#include <vector>

#include "tools/pack/branding_file.h"

namespace trevan::pack {
namespace {

struct chosen {
    std::string file;
    std::string icon;
    std::string maker_name;
    std::string product_name;
    std::vector<std::string> version_info;
    std::string ui_languages;
    CLI::Option* maker_option = nullptr;
    CLI::Option* ui_languages_option = nullptr;
    CLI::Option* product_option = nullptr;
};

}  // namespace

std::function<branding(branding base)> add_branding_options(CLI::App& build) {
    auto c = std::make_shared<chosen>();
    const std::string group = "Branding (the stub's resources; see --branding for a settings file)";
    build.add_option("--branding", c->file,
                     "JSON settings file with any of icon, maker_name, product_name, version_info, texts")
        ->type_name("FILE")
        ->group(group);
    build.add_option("--icon", c->icon, "Icon file: each image becomes an RT_ICON, plus one RT_GROUP_ICON")
        ->type_name("FILE.ico")
        ->group(group);
    c->maker_option = build.add_option("--maker-name", c->maker_name,
                                       "String 2001, the maker's short name in the registry keys the program reads")
                          ->type_name("TEXT")
                          ->group(group);
    c->product_option = build.add_option("--product-name", c->product_name,
                                         "String 2002, the product name in the registry keys the program reads")
                            ->type_name("TEXT")
                            ->group(group);
    build.add_option("--version-info", c->version_info,
                     "A version-resource field: FileVersion, ProductVersion (four numbers below 65536), "
                     "CompanyName, ProductName, FileDescription, LegalCopyright, OriginalFilename, InternalName, "
                     "Comments, LegalTrademarks, PrivateBuild or SpecialBuild")
        ->type_name("FIELD=TEXT")
        ->expected(1)
        ->take_all()
        ->group(group);
    c->ui_languages_option =
        build.add_option("--ui-languages", c->ui_languages,
                         "The program's own texts (progress window, boxes) in these languages: LCIDs such as "
                         "1031,1041, or all for every language but English, which the program holds itself; an "
                         "empty LIST packs none, whatever the project says")
            ->type_name("LIST")
            ->group(group);

    return [c](branding b) {
        if (!c->file.empty()) {
            const branding file = read_branding_file(c->file);
            if (!file.icon.empty()) b.icon = file.icon;
            if (file.maker_name) b.maker_name = file.maker_name;
            if (file.product_name) b.product_name = file.product_name;
            for (const auto& [field, text] : file.version_info) b.version_info[field] = text;
            for (const auto& [lcid, texts] : file.ui_texts.overrides)
                for (const auto& [key, text] : texts) b.ui_texts.overrides[lcid][key] = text;
        }
        if (!c->icon.empty()) b.icon = c->icon;
        if (c->maker_option->count()) b.maker_name = c->maker_name;
        if (c->product_option->count()) b.product_name = c->product_name;
        if (c->ui_languages_option->count())
            b.ui_texts.languages = parse_ui_languages(c->ui_languages, "--ui-languages " + c->ui_languages);
        for (const std::string& assignment : c->version_info) {
            std::string::size_type eq = assignment.find('=');
            if (eq == std::string::npos) throw tool_error("--version-info " + assignment + ": expected FIELD=TEXT");
            b.version_info[assignment.substr(0, eq)] = assignment.substr(eq + 1);
        }
        return b;
    };
}

}  // namespace trevan::pack
