#pragma once

// Containers and readers for the container tests.

#include <cstddef>
#include <cstdint>
#include <string>

#include "container/settings.h"
#include "container/reader.h"

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
