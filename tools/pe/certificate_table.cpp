#include "tools/pe/certificate_table.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "support/core/little_endian.h"
#include "tools/pe/der.h"
#include "tools/pe/hex.h"
#include "tools/pe/text16.h"

namespace trevan::pe {
namespace {

using namespace der;

// WIN_CERTIFICATE: dwLength, wRevision, wCertificateType, the certificate.
constexpr std::size_t win_certificate_header = 8;
constexpr std::size_t certificate_type_at = 6;
constexpr std::uint16_t pkcs_signed_data = 2;

// 1.2.840.113549.1.7.2, signedData.
constexpr std::string_view signed_data_oid("\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 9);

// RFC 2253's short names for the attribute types; others go dotted.
std::optional<std::string> type_name(std::string_view oid) {
    struct known {
        std::string_view oid;
        const char* name;
    };
    static constexpr known names[] = {
        {{"\x55\x04\x03", 3}, "CN"},      {{"\x55\x04\x06", 3}, "C"},  {{"\x55\x04\x07", 3}, "L"},
        {{"\x55\x04\x08", 3}, "ST"},      {{"\x55\x04\x0A", 3}, "O"},  {{"\x55\x04\x0B", 3}, "OU"},
        {{"\x55\x04\x09", 3}, "STREET"},
        {{"\x09\x92\x26\x89\x93\xF2\x2C\x64\x01\x19", 10}, "DC"},
        {{"\x09\x92\x26\x89\x93\xF2\x2C\x64\x01\x01", 10}, "UID"},
    };
    for (const known& k : names)
        if (k.oid == oid) return std::string(k.name);
    return der::dotted_oid(oid);
}

// A directory string's text as UTF-8; nothing for other types and for
// bytes that are not what their type says.
std::optional<std::string> string_value(const element& value) {
    const std::string bytes(value.contents);
    switch (value.tag) {
    case 0x0C:  // UTF8String
        if (!utf8_to_utf16(bytes)) return std::nullopt;
        return bytes;
    case 0x13:  // PrintableString
    case 0x16:  // IA5String
        for (unsigned char c : bytes)
            if (c > 0x7F) return std::nullopt;
        return bytes;
    case 0x14: {  // T61String, read as Latin-1 as most readers do
        std::u16string units(bytes.begin(), bytes.end());
        for (char16_t& u : units) u = static_cast<unsigned char>(u);
        return utf16_to_utf8(units);
    }
    case 0x1E: {  // BMPString: UTF-16, big-endian
        if (bytes.size() % 2) return std::nullopt;
        std::u16string units;
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]));
        return utf16_to_utf8(units);
    }
    default: return std::nullopt;
    }
}

// An attribute value escaped as RFC 2253 says; control characters as \XX.
std::string escaped_value(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool edge_blank = c == ' ' && (i == 0 || i + 1 == text.size());
        if (std::string_view(",+\"\\<>;").find(static_cast<char>(c)) != std::string_view::npos || edge_blank ||
            (c == '#' && i == 0)) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "\\%02X", c);
            out += pair;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// A Name (RDNSequence) in RFC 2253 text: the last RDN first, RDNs
// separated by ",", the attributes of one by "+".
std::optional<std::string> rfc2253_text(std::string_view name) {
    std::vector<std::string> rdns;
    der::reader sequence(name);
    while (!sequence.empty()) {
        std::optional<element> rdn = sequence.next(tag_set);
        if (!rdn) return std::nullopt;
        std::string text;
        der::reader attributes(rdn->contents);
        while (!attributes.empty()) {
            std::optional<element> attribute = attributes.next(tag_sequence);
            if (!attribute) return std::nullopt;
            der::reader parts(attribute->contents);
            std::optional<element> type = parts.next(tag_oid);
            std::optional<element> value = parts.next();
            std::optional<std::string> type_text = type ? type_name(type->contents) : std::nullopt;
            if (!type_text || !value) return std::nullopt;
            const bool named = type_text->find('.') == std::string::npos;
            std::optional<std::string> value_text = named ? string_value(*value) : std::nullopt;
            if (!text.empty()) text += '+';
            text += *type_text + "=" +
                    (value_text ? escaped_value(*value_text) : "#" + hex_text(std::string(value->encoding)));
        }
        rdns.push_back(text);
    }
    std::string out;
    for (auto r = rdns.rbegin(); r != rdns.rend(); ++r) out += (out.empty() ? "" : ",") + *r;
    return out;
}

// What identifies the signer's certificate: its issuer's encoded Name and
// its serial number.
struct certificate_id {
    std::string_view issuer;
    std::string_view serial;
};

// The signer of the first SignerInfo, and the certificates field of the
// SignedData in content.
std::optional<std::pair<certificate_id, std::string_view>> signer_and_certificates(std::string_view signed_data) {
    der::reader fields(signed_data);
    if (!fields.next(tag_integer) || !fields.next(tag_set) || !fields.next(tag_sequence)) return std::nullopt;
    std::optional<element> certificates = fields.next(tag_explicit0);
    fields.skip_optional(tag_explicit1);  // revocation lists
    std::optional<element> infos = fields.next(tag_set);
    if (!certificates || !infos) return std::nullopt;
    std::optional<std::string_view> info = inside(infos->contents, tag_sequence);
    if (!info) return std::nullopt;
    der::reader info_fields(*info);
    if (!info_fields.next(tag_integer)) return std::nullopt;
    // Authenticode names the signer by issuer and serial number.
    std::optional<element> sid = info_fields.next(tag_sequence);
    if (!sid) return std::nullopt;
    der::reader sid_fields(sid->contents);
    std::optional<element> issuer = sid_fields.next(tag_sequence);
    std::optional<element> serial = sid_fields.next(tag_integer);
    if (!issuer || !serial) return std::nullopt;
    return std::make_pair(certificate_id{issuer->encoding, serial->contents}, certificates->contents);
}

}  // namespace

std::optional<std::string> signer_subject(const std::string& table) {
    const vennic::le_view header(table);
    const std::optional<std::uint32_t> length = header.u32(0);
    if (!length || *length < win_certificate_header || *length > table.size() ||
        header.u16(certificate_type_at) != pkcs_signed_data)
        return std::nullopt;
    const std::string_view pkcs7 = std::string_view(table).substr(win_certificate_header, *length - win_certificate_header);

    std::optional<std::string_view> content_info = inside(pkcs7, tag_sequence);
    if (!content_info) return std::nullopt;
    der::reader content(*content_info);
    std::optional<element> type = content.next(tag_oid);
    std::optional<element> wrapped = content.next(tag_explicit0);
    if (!type || type->contents != signed_data_oid || !wrapped) return std::nullopt;
    std::optional<std::string_view> signed_data = inside(wrapped->contents, tag_sequence);
    if (!signed_data) return std::nullopt;
    auto found = signer_and_certificates(*signed_data);
    if (!found) return std::nullopt;
    const certificate_id& signer = found->first;

    der::reader certificates(found->second);
    while (!certificates.empty()) {
        std::optional<element> certificate = certificates.next();
        if (!certificate) return std::nullopt;
        // Attribute certificates and the other choices hold no subject.
        std::optional<std::string_view> tbs =
            certificate->tag == tag_sequence ? inside(certificate->contents, tag_sequence) : std::nullopt;
        if (!tbs) continue;
        der::reader fields(*tbs);
        fields.skip_optional(tag_explicit0);  // version
        std::optional<element> serial = fields.next(tag_integer);
        std::optional<element> algorithm = fields.next(tag_sequence);
        std::optional<element> issuer = fields.next(tag_sequence);
        std::optional<element> validity = fields.next(tag_sequence);
        std::optional<element> subject = fields.next(tag_sequence);
        if (!serial || !algorithm || !issuer || !validity || !subject) continue;
        if (serial->contents == signer.serial && issuer->encoding == signer.issuer)
            return rfc2253_text(subject->contents);
    }
    return std::nullopt;
}

}  // namespace trevan::pe
