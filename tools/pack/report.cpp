#include "tools/pack/report.h"

#include <cstdio>

#include "tools/pack/code_page.h"
#include "tools/pack/json_writer.h"

namespace trevan::pack {
namespace {

const char* const no_code_page_note =
    "the container names no code page (no \"code_page\" record): bytes outside ASCII are shown as U+FFFD; the "
    "program reads them in the ANSI code page of the machine it runs on";

// A text cut to its prefix as a member "key", with "key_length" behind it
// when cut.
void put_text(json& object, const std::string& key, const std::string& bytes, const text_reading& reading) {
    const text_prefix shown = text_prefix::of(bytes);
    object[key] = reading.utf8(shown.bytes);
    if (shown.cut()) object[key + "_length"] = shown.length;
}

// Writes one listing, text or JSON, part by part.
class listing {
public:
    listing(std::ostream& out, bool as_json) : out_(out), json_(as_json), stream_(out) {}

    void begin_chunks() {
        if (json_) {
            stream_.begin_object();
            stream_.key("chunks");
            stream_.begin_array();
            return;
        }
        char line[160];
        std::snprintf(line, sizeof line, "%6s  %-9s  %10s  %10s  %s\n", "index", "role", "offset", "length", "digest");
        out_ << "chunks (walk order):\n" << line;
    }

    void chunk(const chunk_info& c) {
        if (json_) {
            stream_.value({{"index", c.index}, {"role", role_text(c.role)}, {"offset", c.offset},
                           {"length", c.length}, {"digest", c.digest_ok ? "ok" : "bad"}},
                          true);
            return;
        }
        char line[160];
        std::snprintf(line, sizeof line, "%6u  %-9s  %10u  %10u  %s\n", c.index, role_text(c.role), c.offset,
                      c.length, c.digest_ok ? "ok" : "bad");
        out_ << line;
    }

    void begin_records(const text_reading& reading) {
        reading_ = reading;
        if (json_) {
            stream_.end_array();
            stream_.key("records");
            stream_.begin_array();
        } else {
            out_ << "records (walk order):\n";
        }
    }

    void record(const record_info& r) {
        outside_ascii_ = outside_ascii_ || !is_ascii(std::string_view(r.tag).substr(0, shown_prefix)) ||
                         !is_ascii(std::string_view(r.name).substr(0, shown_prefix)) ||
                         !is_ascii(std::string_view(r.text).substr(0, shown_prefix));
        const bool sets = r.kind == record_kind::value || r.kind == record_kind::file;
        if (json_) {
            json element = {{"kind", kind_text(r.kind)}};
            put_text(element, "tag", r.tag, reading_);
            put_text(element, "setting", r.name, reading_);
            if (r.kind == record_kind::value) put_text(element, "value", r.text, reading_);
            if (r.kind == record_kind::file) {
                put_text(element, "stored_name", r.text, reading_);
                element["size"] = r.file_size;
            }
            if (sets) element["setting_added"] = r.setting_added;
            stream_.value(element, true);
            return;
        }
        std::string line = std::string("  ") + kind_text(r.kind);
        switch (r.kind) {
        case record_kind::value: line += "  " + reading_.line(r.name) + " = " + reading_.line(r.text); break;
        case record_kind::file:
            line += "   " + reading_.line(r.name) + " = " + reading_.line(r.text) + " (" + std::to_string(r.file_size) +
                    " bytes)";
            break;
        case record_kind::stub: line += "   " + reading_.line(r.name); break;
        case record_kind::other: line += "  tag " + reading_.line(r.tag) + ", name " + reading_.line(r.name); break;
        }
        if (sets && !r.setting_added && !r.name.empty()) line += "  [ignored: set before]";
        out_ << line << '\n';
    }

    void end(const walk_result& result, const std::optional<std::string>& kind, const std::optional<std::string>& code_page,
             const stub_identity& stub) {
        const bool known = reading_.code_page.has_value();
        if (json_) {
            stream_.end_array();
            stream_.key("result");
            stream_.value(result.ok);
            stream_.key("end");
            stream_.value(end_text(result.end));
            stream_.key("reason");
            stream_.value(result.reason);
            stream_.key("kind");
            stream_.value(kind ? json(reading_.utf8(text_prefix::of(*kind).bytes)) : json(nullptr));
            stream_.key("code_page");
            stream_.value(known ? json(*reading_.code_page) : json(nullptr));
            if (!known && outside_ascii_) {
                stream_.key("note");
                stream_.value(code_page ? "the container's \"code_page\" is not one the tool knows: bytes outside "
                                          "ASCII are shown as U+FFFD"
                                        : no_code_page_note);
            }
            stream_.key("stub");
            stream_.value(identity_json(stub));
            stream_.end_object();
            return;
        }
        out_ << "result: " << (result.ok ? "true" : "false") << " (" << result.reason << ")\n";
        out_ << "kind: " << (kind ? reading_.line(*kind) : std::string("none (the program's own command line)")) << "\n";
        if (known) out_ << "code page: " << *reading_.code_page << "\n";
        else if (code_page) out_ << "code page: " << text_reading().line(*code_page) << ", not one the tool knows\n";
        else out_ << "code page: none" << (outside_ascii_ ? " (bytes outside ASCII shown as \\xNN: the program reads "
                                                            "them in its machine's ANSI code page)" : "")
                  << "\n";
        out_ << identity_text(stub);
    }

private:
    std::ostream& out_;
    bool json_;
    json_stream stream_;
    text_reading reading_;
    bool outside_ascii_ = false;
};

// The checking walk: every chunk as it is read.
class chunk_lister : public walk_observer {
public:
    explicit chunk_lister(listing& out) : out_(out) {}
    void chunk_read(const chunk_info& info) override { out_.chunk(info); }
    // Only the settings the listing names at its end.
    keeping keeps(const std::string& name) const override {
        return name == "kind" || name == code_page_setting ? keeping::whole : keeping::nothing;
    }

private:
    listing& out_;
};

// The second walk: the records the checking walk read whole, and no more.
class record_lister : public walk_observer {
public:
    record_lister(listing& out, unsigned chunks) : out_(out), chunks_(chunks) {}
    bool checks_file_data() const override { return false; }
    void chunk_read(const chunk_info&) override { ++seen_; }
    void record_read(const record_info& info) override {
        if (seen_ <= chunks_) out_.record(info);
    }
    bool stop_requested() override { return seen_ >= chunks_; }
    // The names tell which records are ignored; the values were listed.
    keeping keeps(const std::string&) const override { return keeping::name_only; }

private:
    listing& out_;
    unsigned chunks_;
    unsigned seen_ = 0;
};

}  // namespace

const char* end_text(walk_end end) {
    switch (end) {
    case walk_end::stub_reached: return "stub";
    case walk_end::unreadable_chunk: return "unreadable chunk";
    case walk_end::digest_mismatch: return "digest mismatch";
    case walk_end::no_marker: return "no container";
    case walk_end::bad_file_name: return "bad file name";
    case walk_end::output_failed: return "output failed";
    case walk_end::cancelled: return "cancelled";
    }
    return "?";
}

walk_result write_listing(std::ostream& out, archive_reader& in, const stub_identity& stub, bool as_json) {
    listing shown(out, as_json);
    shown.begin_chunks();
    SettingsMap settings;
    chunk_lister chunks(shown);
    const walk_result result = walk_container(in, settings, chunks);

    std::optional<std::string> kind, named_code_page;
    if (const auto found = settings.find("kind"); found != settings.end()) kind = found->second;
    if (const auto found = settings.find(code_page_setting); found != settings.end()) named_code_page = found->second;
    shown.begin_records(text_reading{code_page_of(settings)});
    settings.clear();
    // A record whose data failed its digest is not listed: the checking
    // walk never took it.
    record_lister records(shown, result.end == walk_end::digest_mismatch ? result.chunks - 1 : result.chunks);
    walk_container(in, settings, records);
    shown.end(result, kind, named_code_page, stub);
    return result;
}

void write_verdict(std::ostream& out, const walk_result& result, unsigned records, bool as_json) {
    if (as_json) {
        write_json(out, {{"result", result.ok}, {"end", end_text(result.end)}, {"reason", result.reason},
                         {"chunks", result.chunks}, {"records", records}});
    } else if (result.ok) {
        out << "ok: " << result.chunks << " chunks, " << records << " records\n";
    }
}

void write_settings(std::ostream& out, const SettingsMap& settings, bool as_json) {
    const text_reading reading{code_page_of(settings)};
    if (!as_json) {
        for (const auto& [name, value] : settings) out << reading.line(name, false) << "=" << reading.line(value, false) << "\n";
        return;
    }
    json object = json::object();
    for (const auto& [name, value] : settings) {
        // A key is cut like a value; two keys cut alike cannot both be told.
        const std::string key = reading.utf8(text_prefix::of(name).bytes);
        const text_prefix shown = text_prefix::of(value);
        if (shown.cut()) object[key] = {{"prefix", reading.utf8(shown.bytes)}, {"length", shown.length}};
        else object[key] = reading.utf8(shown.bytes);
    }
    write_json(out, object);
}

}  // namespace trevan::pack
