#include "container/writer.h"

#include "container/format.h"
#include "container/md5.h"

namespace trevan {

std::string md5_of(const std::string& data) { return md5_digest(data).digest(); }

void append_raw_chunk(std::string& out, const std::string& data, std::uint32_t length_field,
                      const std::string& digest) {
    out += data;
    out += format::encode_length(length_field);
    out += digest;
}

void append_chunk(std::string& out, const std::string& data) {
    append_raw_chunk(out, data, static_cast<std::uint32_t>(data.size()), md5_of(data));
}

void append_stub(std::string& out, const std::string& image, const std::string& stub_file_name) {
    append_chunk(out, image);
    append_chunk(out, stub_file_name);
    append_chunk(out, std::string(format::stub_name));
    append_chunk(out, std::string(format::stub_tag));
}

void append_value_record(std::string& out, const std::string& name, const std::string& text) {
    append_chunk(out, text);
    append_chunk(out, name);
    append_chunk(out, std::string(format::value_tag));
}

void append_file_record(std::string& out, const std::string& name, const std::string& stored_name,
                        const std::string& data) {
    append_chunk(out, data);
    append_chunk(out, stored_name);
    append_chunk(out, name);
    append_chunk(out, std::string(format::file_tag));
}

void append_tail(std::string& out) { append_chunk(out, std::string(format::tail_marker)); }

}  // namespace trevan
