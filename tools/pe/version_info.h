#pragma once

// The version resource (VS_VERSIONINFO): fixed version numbers, the texts
// of one string table and the translation list. Built for branding and read
// back for `trevan-pack list` and for branding that changes some fields.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace trevan::pe {

// Four numbers below 65536, as in "2.1.0.7".
struct version_number {
    std::array<std::uint16_t, 4> parts{};
    std::string text() const;
    std::uint32_t high() const { return std::uint32_t(parts[0]) << 16 | parts[1]; }
    std::uint32_t low() const { return std::uint32_t(parts[2]) << 16 | parts[3]; }
};

// The number in text: exactly four dot-separated decimal numbers, each
// below 65536; nothing when text is anything else.
std::optional<version_number> parse_version_number(const std::string& text);

struct version_info {
    version_number file_version;
    version_number product_version;
    std::uint32_t file_flags_mask = 0x3F;
    std::uint32_t file_flags = 0;
    std::uint32_t file_os = 0x40004;  // VOS_NT_WINDOWS32
    std::uint32_t file_type = 1;      // VFT_APP
    std::uint32_t file_subtype = 0;
    std::uint32_t file_date_high = 0;
    std::uint32_t file_date_low = 0;
    // The string table's key: language and code page in hex.
    std::u16string table_key = u"040904B0";
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    // Language and code page pairs (language in the low 16 bits).
    std::vector<std::uint32_t> translations{0x04B00409};

    // Replaces the text of key, or adds it at the end.
    void set(const std::u16string& key, const std::u16string& value);
    const std::u16string* find(const std::u16string& key) const;
};

// The resource data. Throws pe_error when it would exceed the 65535 bytes
// that its length field can count.
std::string build_version_resource(const version_info& info);

// The version information in resource data; nothing when the data is not
// a version resource. Texts of the first string table are read; blocks of
// other kinds are skipped.
std::optional<version_info> parse_version_resource(const std::string& data);

}  // namespace trevan::pe
