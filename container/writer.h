#pragma once

// Writing the container format into a byte string: single chunks and whole
// records, in file order. The pack tool builds its output from these pieces,
// and tests use them to craft containers in memory, unusual ones included:
//
//   std::string c;
//   append_stub(c, image, "Trevan.exe");   // any bytes as the image
//   append_value_record(c, "parameters", "/V\"A=1\"");
//   append_raw_chunk(c, "", 0xFFFFFFFFu, md5_of(""));   // a hostile length
//   append_tail(c);
//
// Records appended later are met earlier by the walk, so of two records with
// the same name the later one wins. Nothing here checks names or lengths.

#include <cstdint>
#include <string>

namespace trevan {

// The raw 16-byte MD5 digest of data.
std::string md5_of(const std::string& data);

// Appends data, its length and its digest: one well-formed chunk.
void append_chunk(std::string& out, const std::string& data);
// Appends data with the given length field and 16-byte digest as they are.
void append_raw_chunk(std::string& out, const std::string& data, std::uint32_t length_field,
                      const std::string& digest);

// The stub record: the image chunk, the stub file name chunk and the "stub"
// name and tag chunks. On an empty out this starts a container.
void append_stub(std::string& out, const std::string& image, const std::string& stub_file_name);
// A value record: the value, the name (the setting key) and the tag.
void append_value_record(std::string& out, const std::string& name, const std::string& text);
// A file record: the data, the stored file name, the name and the tag.
void append_file_record(std::string& out, const std::string& name, const std::string& stored_name,
                        const std::string& data);
// The tail chunk that closes every container.
void append_tail(std::string& out);

}  // namespace trevan
