#include "tools/pack/json_file.h"

#include <filesystem>

#include "tools/pack/host.h"
#include "tools/pack/stdio_file.h"
#include "tools/pack/tool_error.h"

namespace trevan::pack {
namespace {

// A settings file is a few hundred bytes; a larger one is a wrong file.
constexpr std::uintmax_t max_file_size = 1u << 20;

}  // namespace

std::string read_json_file(const std::string& path, const std::string& what) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(native_path(path), ec);
    if (ec) throw tool_error("cannot read " + what + ": " + ec.message());
    if (size > max_file_size) throw tool_error(what + " is larger than 1 MiB");
    const stdio_file in(open_file(path, "rb"));
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || std::fread(text.data(), 1, text.size(), in.get()) != text.size()) throw tool_error("cannot read " + what);
    return text;
}

std::string folder_of(const std::string& path) {
    const std::string folder = native_path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

nlohmann::ordered_json parse_json_object(const std::string& text, const std::string& what) {
    nlohmann::ordered_json root;
    try {
        root = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // The library's message names the position; keep it on one line.
        const std::string message = e.what();
        const std::string::size_type at = message.find("parse error");
        throw tool_error(what + ": not JSON (" + (at == std::string::npos ? message : message.substr(at)) + ")");
    }
    if (!root.is_object()) throw tool_error(what + ": expected a JSON object");
    return root;
}

}  // namespace trevan::pack
