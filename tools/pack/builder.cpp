#include "tools/pack/builder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "container/file_name.h"
#include "container/format.h"
#include "container/pe_header.h"
#include "container/printable.h"
#include "container/settings.h"
#include "container/walk.h"
#include "container/writer.h"
#include "tools/pack/host.h"
#include "tools/pack/stdio_file.h"
#include "tools/pack/temp_file.h"

namespace trevan::pack {
namespace fs = std::filesystem;

namespace {

std::string in_quotes(const std::string& text) { return "\"" + text + "\""; }

std::string errno_text(int error) { return std::strerror(error); }

// An input file, open from the checks until its bytes are copied.
struct input {
    std::string path;
    std::uint64_t size = 0;
    stdio_file file;
};

input open_input(const std::string& what, const std::string& path) {
    std::error_code ec;
    fs::file_status st = fs::status(native_path(path), ec);
    if (ec || !fs::exists(st))
        throw tool_error("cannot read " + what + " " + in_quotes(path) + ": no such file");
    if (!fs::is_regular_file(st)) throw tool_error(what + " " + in_quotes(path) + " is not a regular file");
    input in;
    in.path = path;
    in.size = fs::file_size(native_path(path), ec);
    if (ec) throw tool_error("cannot read " + what + " " + in_quotes(path) + ": " + ec.message());
    in.file.reset(open_file(path, "rb"));
    if (!in.file) throw tool_error("cannot read " + what + " " + in_quotes(path) + ": " + errno_text(errno));
    if (in.size > format::max_chunk_length)
        throw tool_error(what + " " + in_quotes(path) + " has " + std::to_string(in.size) +
                          " bytes, more than the chunk limit of " + std::to_string(format::max_chunk_length));
    return in;
}

bool read_at(std::FILE* f, std::uint64_t offset, void* out, std::size_t size) {
    if (offset > 0x7FFFFFFFu) return false;
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, size, f) == size;
}

// The stub must be a Windows executable whose certificate table entry is
// empty: signing has to come after packing, or the signature would not cover
// the container and the image chunk's digest would not match the image. Its
// headers are read as the walk reads them (container/anchor.h).
void check_stub_image(const input& stub) {
    const std::string what = "stub " + in_quotes(stub.path);
    input_file file(stub.path);
    // Open already as a stream: failing here is a race with its removal.
    if (!file.is_open())
        throw tool_error("cannot read " + what + " (error " + std::to_string(file.open_error()) + ")");
    const pe_headers headers = read_pe_headers(file.reader(), static_cast<std::uint32_t>(stub.size));
    switch (headers.type) {
    case pe_headers::kind::pe: break;
    case pe_headers::kind::not_executable: throw tool_error(what + " is not a Windows executable (no MZ header)");
    case pe_headers::kind::no_pe_header:
        throw tool_error(what + " is not a Windows executable (no PE header: " + headers.problem + ")");
    case pe_headers::kind::damaged: throw tool_error(what + " has a damaged PE header: " + headers.problem);
    case pe_headers::kind::unknown_optional: throw tool_error(what + " has an unknown optional header type");
    case pe_headers::kind::unreadable: throw tool_error("cannot read " + what + ": " + headers.problem);
    }
    if (headers.is_signed())
        throw tool_error(what + " is signed already (its certificate table entry is set): "
                          "pack the unsigned program and sign the result");
}

// Packing a packed program again would hide its container inside the image.
void check_no_container(const input& stub) {
    input_file file(stub.path);
    SettingsMap ignored;
    if (file.is_open() && walk_container(file.reader(), ignored).ok)
        throw tool_error("stub " + in_quotes(stub.path) + " carries a container already: pack the plain program");
}

// Stubs are well below a MiB; branding holds the image in memory.
constexpr std::uint64_t max_branded_stub = 256u << 20;

std::string branded_image(input& stub, const branding& brand) {
    if (stub.size > max_branded_stub)
        throw tool_error("stub " + in_quotes(stub.path) + " is too large to brand (more than 256 MiB)");
    std::string image(static_cast<std::size_t>(stub.size), '\0');
    if (!read_at(stub.file.get(), 0, image.data(), image.size()))
        throw tool_error("cannot read stub " + in_quotes(stub.path));
    return apply_branding(image, brand, "stub " + in_quotes(stub.path));
}

std::string own_file_name(const std::string& path) { return native_path(path).filename().string(); }

void check_bare(const std::string& what, const std::string& name) {
    if (!is_bare_file_name(name)) throw tool_error(what + " " + quoted_text(name) + " is not a bare file name");
}

// Copies the input's bytes into a chunk, as many as it holds now, in pieces.
chunk_data copied(input& in, const build_options& options) {
    return [&in, &options](chunk_writer& chunk) {
        std::vector<char> buffer(1u << 20);
        std::uint64_t next_report = 0;
        for (;;) {
            const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.file.get());
            if (n > 0) {
                if (n > format::max_chunk_length - chunk.size())
                    throw tool_error(in_quotes(in.path) + " grew beyond the chunk limit while it was read");
                chunk.write(buffer.data(), n);
            }
            if (options.progress && (chunk.size() >= next_report || n == 0)) {
                options.progress(in.path, chunk.size(), in.size);
                next_report = chunk.size() + (16u << 20);
            }
            if (n < buffer.size()) break;
        }
        if (std::ferror(in.file.get())) throw tool_error("cannot read " + in_quotes(in.path) + ": read error");
        in.file.reset();
    };
}

// The result file: a temporary beside the output (created exclusively under
// an unpredictable name) that replaces it when done.
class output : public byte_sink {
public:
    output(const std::string& path, const build_options& options) : path_(path), options_(options) {
        std::error_code ec;
        if (fs::is_directory(native_path(path), ec))
            throw tool_error("cannot write " + in_quotes(path) + ": it is a folder");
        temp_file temp = create_temp_file(path + ".trevan-pack-");
        if (!temp.file) throw tool_error("cannot write " + in_quotes(path) + ": " + errno_text(errno));
        temp_ = std::move(temp.path);
        file_ = std::move(temp.file);
    }
    ~output() override {
        if (!committed_) {
            file_.reset();
            fs::remove(native_path(temp_), ignored_);
        }
    }
    output(const output&) = delete;
    output& operator=(const output&) = delete;

    void write(const void* data, std::size_t size) override {
        if (size > 0 && std::fwrite(data, 1, size, file_.get()) != size)
            throw tool_error("cannot write " + in_quotes(path_) + ": " + errno_text(errno));
        written_ += size;
    }

    void commit() {
        if (std::fflush(file_.get()) != 0) throw tool_error("cannot write " + in_quotes(path_) + ": " + errno_text(errno));
        // Inputs may have grown since they were measured.
        if (written_ > format::max_position)
            throw tool_error("the result " + in_quotes(path_) + " would be 4 GiB or more");
        if (std::fclose(file_.release()) != 0)
            throw tool_error("cannot write " + in_quotes(path_) + ": " + errno_text(errno));
        if (options_.put_in_place) {
            options_.put_in_place(temp_, path_);
            fs::remove(native_path(temp_), ignored_);
        } else {
            std::error_code ec;
            fs::rename(native_path(temp_), native_path(path_), ec);
            if (ec) throw tool_error("cannot write " + in_quotes(path_) + ": " + ec.message());
        }
        committed_ = true;
    }

private:
    std::string path_;
    const build_options& options_;
    std::string temp_;
    stdio_file file_;
    std::uint64_t written_ = 0;
    bool committed_ = false;
    std::error_code ignored_;
};

}  // namespace

record file_record(const std::string& name, const std::string& stored_name, const std::string& source) {
    record r;
    r.type = record::kind::file;
    r.name = name;
    r.stored_name = stored_name;
    r.source = source;
    return r;
}

record value_record(const std::string& name, const std::string& text) {
    record r;
    r.type = record::kind::value;
    r.name = name;
    r.text = text;
    return r;
}

std::string stored_name_of(const record& file) {
    return file.stored_name.empty() ? own_file_name(file.source) : file.stored_name;
}

SettingsMap settings_of(const std::vector<record>& records) {
    SettingsMap settings{{"source", ""}, {"commandline", ""}};
    for (const record& r : records)
        if (r.name != "source" && r.name != "commandline")
            settings[r.name] = r.type == record::kind::file ? stored_name_of(r) : r.text;
    return settings;
}

std::vector<written_record> build_container(const std::string& stub_path, const std::vector<record>& records,
                                            const std::string& output_path, const build_options& options) {
    input stub = open_input("stub", stub_path);
    check_stub_image(stub);
    check_no_container(stub);
    std::string stub_name = options.stub_file_name.empty() ? own_file_name(stub_path) : options.stub_file_name;
    check_bare("stub file name", stub_name);
    const bool brand = !options.brand.empty();
    const std::string image = brand ? branded_image(stub, options.brand) : std::string();

    std::uint64_t total = stub_record_bytes(brand ? image.size() : stub.size, stub_name);
    std::vector<input> sources;
    std::vector<std::string> stored_names;
    for (const record& r : records) {
        if (r.type == record::kind::file) {
            sources.push_back(open_input("file", r.source));
            stored_names.push_back(stored_name_of(r));
            check_bare("stored file name", stored_names.back());
            total += file_record_bytes(sources.back().size, stored_names.back(), r.name);
        } else {
            if (r.text.size() > format::max_chunk_length)
                throw tool_error("value " + in_quotes(r.name) + " is longer than the chunk limit");
            total += value_record_bytes(r.text, r.name);
        }
    }
    total += tail_bytes();
    auto check_total = [&total] {
        if (total > format::max_position)
            throw tool_error("the result would have " + std::to_string(total) +
                             " bytes: containers must stay below 4 GiB");
    };
    check_total();

    output out(output_path, options);
    // Its temporary goes again when the review throws.
    const std::vector<record> added = options.review ? options.review(records) : std::vector<record>();
    for (const record& r : added) total += value_record_bytes(r.text, r.name);
    check_total();
    container_writer writer(out);
    std::vector<written_record> written;
    // The size a chunk source wrote, as its chunk writer counted it.
    auto counted = [](chunk_data data, std::uint64_t& size) {
        return [data = std::move(data), &size](chunk_writer& chunk) {
            data(chunk);
            size = chunk.size();
        };
    };
    written_record stub_written{record_kind::stub, "", stub_name, "", 0, ""};
    stub_written.md5 = writer.stub_record(counted(brand ? in_memory(image) : copied(stub, options), stub_written.size),
                                          stub_name);
    written.push_back(stub_written);
    std::size_t next_source = 0;
    for (const record& r : records) {
        if (r.type == record::kind::file) {
            written_record w{record_kind::file, r.name, stored_names[next_source], "", 0, ""};
            w.md5 = writer.file_record(counted(copied(sources[next_source], options), w.size), w.stored_name, r.name);
            written.push_back(w);
            ++next_source;
        } else {
            written.push_back({record_kind::value, r.name, "", r.text, r.text.size(), writer.value_record(r.text, r.name)});
        }
    }
    for (const record& r : added)
        written.push_back({record_kind::value, r.name, "", r.text, r.text.size(), writer.value_record(r.text, r.name)});
    writer.tail();
    out.commit();
    return written;
}

}  // namespace trevan::pack
