#include "container/writer.h"

#include <array>
#include <stdexcept>
#include <string_view>

#include "container/format.h"

namespace trevan {
namespace {

// The chunks behind a record's first one (its data), in file order. The
// writers and the sizes below both go through these lists.
std::array<std::string_view, 3> stub_parts(std::string_view stub_file_name) {
    return {stub_file_name, format::stub_name, format::stub_tag};
}
std::array<std::string_view, 3> file_parts(std::string_view stored_name, std::string_view name) {
    return {stored_name, name, format::file_tag};
}
std::array<std::string_view, 2> value_parts(std::string_view name) { return {name, format::value_tag}; }

void whole_chunk(byte_sink& out, std::string_view data) {
    chunk_writer chunk(out);
    chunk.write(data.data(), data.size());
    chunk.finish();
}

template <std::size_t n>
std::string write_record(byte_sink& out, const chunk_data& data, const std::array<std::string_view, n>& parts) {
    chunk_writer first(out);
    data(first);
    std::string digest = first.finish();
    for (std::string_view part : parts) whole_chunk(out, part);
    return digest;
}

template <std::size_t n>
std::uint64_t record_bytes(std::uint64_t data_size, const std::array<std::string_view, n>& parts) {
    std::uint64_t total = chunk_bytes(data_size);
    for (std::string_view part : parts) total += chunk_bytes(part.size());
    return total;
}

}  // namespace

chunk_data in_memory(const std::string& bytes) {
    return [&bytes](chunk_writer& chunk) { chunk.write(bytes.data(), bytes.size()); };
}

void chunk_writer::write(const void* data, std::size_t size) {
    if (size > format::max_chunk_length - size_) throw std::length_error("a chunk above the format's limit");
    md5_.update(data, size);
    out_.write(data, size);
    size_ += size;
}

std::string chunk_writer::finish() {
    std::string digest = md5_.digest();
    const std::string trailer = format::encode_length(static_cast<std::uint32_t>(size_)) + digest;
    out_.write(trailer.data(), trailer.size());
    return digest;
}

std::string container_writer::stub_record(const chunk_data& image, const std::string& stub_file_name) {
    return write_record(out_, image, stub_parts(stub_file_name));
}

std::string container_writer::file_record(const chunk_data& data, const std::string& stored_name,
                                          const std::string& name) {
    return write_record(out_, data, file_parts(stored_name, name));
}

std::string container_writer::value_record(const std::string& text, const std::string& name) {
    return write_record(out_, in_memory(text), value_parts(name));
}

void container_writer::tail() { whole_chunk(out_, format::tail_marker); }

std::uint64_t chunk_bytes(std::uint64_t data_size) { return data_size + format::trailer_size; }

std::uint64_t stub_record_bytes(std::uint64_t image_size, const std::string& stub_file_name) {
    return record_bytes(image_size, stub_parts(stub_file_name));
}

std::uint64_t file_record_bytes(std::uint64_t data_size, const std::string& stored_name, const std::string& name) {
    return record_bytes(data_size, file_parts(stored_name, name));
}

std::uint64_t value_record_bytes(const std::string& text, const std::string& name) {
    return record_bytes(text.size(), value_parts(name));
}

std::uint64_t tail_bytes() { return chunk_bytes(format::tail_marker.size()); }

std::string md5_of(const std::string& data) { return md5_digest(data).digest(); }

void append_raw_chunk(std::string& out, const std::string& data, std::uint32_t length_field,
                      const std::string& digest) {
    out += data;
    out += format::encode_length(length_field);
    out += digest;
}

void append_chunk(std::string& out, const std::string& data) {
    string_sink sink(out);
    whole_chunk(sink, data);
}

void append_stub(std::string& out, const std::string& image, const std::string& stub_file_name) {
    string_sink sink(out);
    container_writer(sink).stub_record(in_memory(image), stub_file_name);
}

void append_value_record(std::string& out, const std::string& name, const std::string& text) {
    string_sink sink(out);
    container_writer(sink).value_record(text, name);
}

void append_file_record(std::string& out, const std::string& name, const std::string& stored_name,
                        const std::string& data) {
    string_sink sink(out);
    container_writer(sink).file_record(in_memory(data), stored_name, name);
}

void append_tail(std::string& out) {
    string_sink sink(out);
    container_writer(sink).tail();
}

}  // namespace trevan
