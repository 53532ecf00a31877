// The container walk over any bytes as the whole file, with every output
// kept in memory. Beyond the sanitizers it checks what the walk promises:
// success only at the stub record after a tail chunk, files only under bare
// names, reads never larger than a piece, texts shown only escaped.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "container/anchor.h"
#include "container/pe_header.h"
#include "container/file_name.h"
#include "container/printable.h"
#include "container/reader.h"
#include "container/walk.h"

namespace {

using namespace trevan;

void check(bool condition) {
    if (!condition) std::abort();
}

// Every byte of a shown text is printable ASCII, and its size is bounded.
void check_shown(const std::string& text) {
    const std::string shown = quoted_text(text);
    check(shown.size() <= 4 * shown_prefix + 40);
    for (unsigned char c : shown) check(c >= 32 && c <= 126);
}

class memory_outputs : public walk_observer {
public:
    class file : public output_file {
    public:
        explicit file(std::string& data) : data_(data) {}
        bool write(const void* data, std::size_t size) override {
            check(size <= piece_size);
            data_.append(static_cast<const char*>(data), size);
            return true;
        }

    private:
        std::string& data_;
    };

    void record_read(const record_info& info) override {
        check_shown(info.tag);
        check_shown(info.name);
        check_shown(info.text);
    }
    void file_name_refused(const std::string& name) override {
        check(!is_bare_file_name(name));
        ++refused;
    }
    bool writes_files() const override { return true; }
    std::unique_ptr<output_file> create_output(const std::string& name, std::uint32_t size) override {
        check(is_bare_file_name(name));
        std::string& data = files[name];
        data.clear();
        data.reserve(size);
        return std::make_unique<file>(data);
    }

    std::map<std::string, std::string> files;
    int refused = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        memory_reader in(bytes);
        SettingsMap settings;
        memory_outputs outputs;
        walk_result r = walk_container(in, settings, outputs);
        if (r.ok) check(r.end == walk_end::stub_reached && r.tail_read);
        check((r.end == walk_end::bad_file_name) == (outputs.refused == 1));
        check(r.reason.find('\n') == std::string::npos);

        // The anchor is where the walk began.
        memory_reader again(bytes);
        anchor a = find_anchor(again);
        check(a.found == (r.end != walk_end::no_marker));
        if (a.found) check(a.end <= size && again.position() == a.end);
    }
    {
        memory_reader in(bytes);
        pe_headers h = read_pe_headers(in, static_cast<std::uint32_t>(size));
        if (h.type != pe_headers::kind::pe) check(!h.is_signed());
    }
    return 0;
}
