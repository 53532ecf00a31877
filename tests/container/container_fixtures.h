#pragma once

// Containers and readers for the container tests.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "container/pe_header.h"
#include "container/reader.h"
#include "container/settings.h"

namespace trevan::fixtures {

// n bytes of fixed pseudo-random content (seeded), never holding the marker.
std::string pseudo_random_bytes(std::size_t n, unsigned seed);

// A PE32 header padded to size bytes (at least 512): enough of an executable
// for the builder's checks. signed_image sets the certificate table entry.
std::string minimal_pe(std::size_t size, bool signed_image = false);

// Offset of the security directory entry (file offset and size of the
// certificate table, 4 bytes each) in a minimal_pe image.
inline constexpr std::size_t minimal_pe_security_entry = 0x98 + 96 + 4 * 8;

// What signing does to a file whose image is a minimal_pe: padding zero
// bytes, then table as the certificate table, which the security directory
// entry then names (offset behind the padding, size of the table).
std::string with_certificate_table(std::string file, std::size_t padding, const std::string& table);

// Sets a minimal_pe image's security directory entry in file.
void set_security_entry(std::string& file, std::uint32_t offset, std::uint32_t size);

// File offsets of a PE file's header fields, read by the program's own
// header reader: the one way tests find the fields they change.
struct pe_offsets {
    pe_headers headers;
    std::size_t file_header = 0;      // behind the "PE\0\0" signature
    std::size_t optional_header = 0;
    std::size_t section_table = 0;
    // The entry (address, then size) of data directory index.
    std::size_t directory_entry(unsigned index) const {
        return headers.directories() + index * pe_layout::directory_size;
    }
};
// Nothing when file is no PE file.
std::optional<pe_offsets> pe_offsets_of(const std::string& file);

// The shipped container's layout (stub, file installer32, file installer64,
// values executable32, executable64, parameters, msilog, tail) with the given
// image and file data.
std::string sample_container(const std::string& image, const std::string& data32, const std::string& data64);

// The settings a walk of sample_container yields.
SettingsMap sample_settings();

// The 44-byte parameters value of the sample.
extern const char* const sample_parameters;

// Passes calls through and remembers the largest single read.
class watching_reader : public archive_reader {
public:
    explicit watching_reader(archive_reader& inner) : inner_(inner) {}
    std::optional<std::uint32_t> move_to_end() override { return inner_.move_to_end(); }
    std::optional<std::uint32_t> move(std::int32_t d) override { return inner_.move(d); }
    bool read(void* destination, std::uint32_t size) override {
        if (size > largest_read) largest_read = size;
        bytes_read += size;
        return inner_.read(destination, size);
    }
    std::uint32_t largest_read = 0;
    std::uint64_t bytes_read = 0;

private:
    archive_reader& inner_;
};

}  // namespace trevan::fixtures
