#include "container/walk.h"

#include <utility>
#include <vector>

#include "container/anchor.h"
#include "container/file_name.h"
#include "container/format.h"
#include "container/md5.h"
#include "container/printable.h"

namespace trevan {

const char* role_text(chunk_role role) {
    switch (role) {
    case chunk_role::tail: return "tail";
    case chunk_role::tag: return "tag";
    case chunk_role::name: return "name";
    case chunk_role::value: return "value";
    case chunk_role::file_name: return "file name";
    case chunk_role::file_data: return "file data";
    }
    return "?";
}

const char* kind_text(record_kind kind) {
    switch (kind) {
    case record_kind::value: return "value";
    case record_kind::file: return "file";
    case record_kind::stub: return "stub";
    case record_kind::other: return "other";
    }
    return "?";
}

std::unique_ptr<output_file> walk_observer::create_output(const std::string&, std::uint32_t) {
    return nullptr;
}

namespace {

// Where a located chunk's data lies and the digest its trailer holds.
struct chunk_place {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    unsigned char digest[format::digest_size] = {};
};

// Reads chunks for one walk, keeping the one piece buffer it needs.
class chunk_source {
public:
    chunk_source(archive_reader& in, walk_observer* observer) : in_(in), observer_(observer) {}

    // With the position at the end of a chunk, steps back over its trailer
    // and reads it, leaving the position at the start of the data. The length
    // is checked against the format's limit and against the bytes before it
    // before the position moves there. Nothing when it cannot be located;
    // why() then says what went wrong.
    std::optional<chunk_place> locate() {
        chunk_place place;
        if (!in_.move(-static_cast<std::int32_t>(format::digest_size))) {
            why_ = "no room for its trailer";
            return std::nullopt;
        }
        if (!in_.read(place.digest, format::digest_size)) {
            why_ = "its digest cannot be read";
            return std::nullopt;
        }
        std::optional<std::uint32_t> length_at = in_.move(-static_cast<std::int32_t>(format::trailer_size));
        if (!length_at) {
            why_ = "no room for its trailer";
            return std::nullopt;
        }
        unsigned char field[format::length_size] = {};
        if (!in_.read(field, format::length_size)) {
            why_ = "its length cannot be read";
            return std::nullopt;
        }
        const std::uint32_t n = format::decode_length(field);
        if (n > format::max_chunk_length) {
            why_ = "its length " + std::to_string(n) + " exceeds the chunk limit of " +
                   std::to_string(format::max_chunk_length) + " bytes";
            return std::nullopt;
        }
        if (n > *length_at) {
            why_ = "its length " + std::to_string(n) + " exceeds the " + std::to_string(*length_at) +
                   " bytes before it";
            return std::nullopt;
        }
        // n + 4 fits: n is at most 2^31 - 4.
        std::optional<std::uint32_t> start =
            in_.move(-static_cast<std::int32_t>(n + format::length_size));
        if (!start) {
            why_ = "cannot move to its start";
            return std::nullopt;
        }
        place.offset = *start;
        place.length = n;
        return place;
    }

    // Reads the located data (position at its start) once, in pieces, each
    // hashed and, given an output, written to it; the output is finished
    // only when the whole data matched its digest. Read and matched, the
    // position ends at the data's start again. Unreadable, why() says why.
    chunk_status read_pieces(const chunk_place& place, output_file* out) {
        md5_digest md5;
        for (std::uint32_t left = place.length; left > 0;) {
            if (stop_requested()) return chunk_status::cancelled;
            std::uint32_t size = left < piece_size ? left : piece_size;
            char* p = piece(size);
            if (!in_.read(p, size)) {
                why_ = "its data cannot be read";
                return chunk_status::unreadable;
            }
            md5.update(p, size);
            if (out && !out->write(p, size)) return chunk_status::write_failed;
            left -= size;
            progress(out != nullptr, place, left);
        }
        if (!matches(md5, place)) return chunk_status::mismatch;
        if (out && !out->finish()) return chunk_status::write_failed;
        return back_to_start(place);
    }

    // The rest of read_chunk for a located chunk: its data into data, checked,
    // and the position back at its start. Data above piece_size is checked in
    // pieces before it is kept, so a length field alone never makes for a
    // large allocation.
    chunk_status read_located(const chunk_place& place, std::string& data) {
        if (place.length > piece_size) {
            chunk_status checked = read_pieces(place, nullptr);
            if (checked != chunk_status::read) return checked;
        } else if (stop_requested()) {
            return chunk_status::cancelled;
        }
        data.assign(place.length, '\0');
        if (!in_.read(&data[0], place.length)) {
            why_ = "its data cannot be read";
            return chunk_status::unreadable;
        }
        md5_digest md5;
        md5.update(data.data(), data.size());
        if (!matches(md5, place)) return chunk_status::mismatch;
        return back_to_start(place);
    }

    // Why the last chunk found unreadable could not be located or read.
    const std::string& why() const { return why_; }

    archive_reader& reader() { return in_; }

private:
    chunk_status back_to_start(const chunk_place& place) {
        if (in_.move(-static_cast<std::int32_t>(place.length))) return chunk_status::read;
        why_ = "cannot move back to its start";
        return chunk_status::unreadable;
    }

    static bool matches(md5_digest& md5, const chunk_place& place) {
        return md5.digest() == std::string(reinterpret_cast<const char*>(place.digest), format::digest_size);
    }

    bool stop_requested() { return observer_ && observer_->stop_requested(); }

    void progress(bool copying, const chunk_place& place, std::uint32_t left) {
        if (observer_) observer_->data_progress(copying, place.length - left, place.length);
    }

    // The buffer grows to the largest piece asked for, at most piece_size.
    char* piece(std::uint32_t size) {
        if (buffer_.size() < size) buffer_.resize(size);
        return buffer_.data();
    }

    archive_reader& in_;
    walk_observer* observer_;
    std::vector<char> buffer_;
    std::string why_;
};

class walker {
public:
    walker(archive_reader& in, SettingsMap& settings, walk_observer& observer)
        : source_(in, &observer), settings_(settings), observer_(observer) {}

    walk_result run() {
        anchor found = find_anchor(source_.reader());
        if (!found.found) {
            // First, while the thread's last error is still the search's.
            observer_.search_failed();
            result_.end = walk_end::no_marker;
            result_.reason = found.reason;
            return result_;
        }
        end_ = found.end;
        for (;;) {
            std::string tag;
            if (!read(chunk_role::tag, tag)) return result_;
            if (tag == format::tail_marker) {
                result_.ok = true;
                result_.tail_read = true;
                continue;
            }
            record_info record;
            record.tag = std::move(tag);
            if (!read(chunk_role::name, record.name)) return result_;
            if (record.tag == format::value_tag) {
                record.kind = record_kind::value;
                if (!read(chunk_role::value, record.text)) return result_;
                // The value goes into the settings without a copy: a value can
                // be as large as a chunk.
                const auto [at, added] = slot_for(record.name);
                record.setting_added = added;
                observer_.record_read(record);
                if (added) keep(at, std::move(record.name), std::move(record.text));
            } else if (record.tag == format::file_tag) {
                record.kind = record_kind::file;
                if (!read(chunk_role::file_name, record.text)) return result_;
                chunk_place data;
                if (observer_.writes_files()) {
                    // Nothing is created under a name that is not bare.
                    if (!is_bare_file_name(record.text)) return refuse_file_name(record.text, result_.chunks);
                    if (!write_file(record.text, data)) return result_;
                } else if (!check_file_data(data)) {
                    return result_;
                }
                record.file_size = data.length;
                if (!record.name.empty()) {
                    const auto [at, added] = slot_for(record.name);
                    record.setting_added = added;
                    if (added) keep(at, record.name, record.text);
                }
                observer_.record_read(record);
                if (!is_bare_file_name(record.text)) return refuse_file_name(record.text, result_.chunks - 1);
            } else if (record.tag == format::stub_tag) {
                record.kind = record_kind::stub;
                observer_.record_read(record);
                result_.end = walk_end::stub_reached;
                result_.reason = result_.ok ? "the walk reached the stub record"
                                            : "the walk reached the stub record without reading a tail chunk";
                return result_;
            } else {
                // Only the tag and the name belong to a record of another kind.
                observer_.record_read(record);
            }
        }
    }

private:
    // Where name's setting goes in the map, and whether it is new there: a
    // key already present keeps its value.
    std::pair<SettingsMap::iterator, bool> slot_for(const std::string& name) {
        const SettingsMap::iterator at = settings_.lower_bound(name);
        return {at, at == settings_.end() || at->first != name};
    }

    // Adds a setting at its place in the map, as much of it as the observer
    // keeps.
    void keep(SettingsMap::iterator at, std::string name, std::string value) {
        switch (observer_.keeps(name)) {
        case walk_observer::keeping::whole: settings_.emplace_hint(at, std::move(name), std::move(value)); break;
        case walk_observer::keeping::name_only: settings_.emplace_hint(at, std::move(name), std::string()); break;
        case walk_observer::keeping::nothing: break;
        }
    }

    // Reads the next chunk whole. On failure the walk's result is set.
    bool read(chunk_role role, std::string& data) {
        const std::optional<chunk_place> place = source_.locate();
        if (!place) return unreadable(role);
        chunk_status status = source_.read_located(*place, data);
        if (status == chunk_status::unreadable) return unreadable(role);
        if (status == chunk_status::cancelled) return cancelled(role);
        if (role == chunk_role::tag && data == format::tail_marker) role = chunk_role::tail;
        return chunk_done(role, *place, status == chunk_status::read);
    }

    // Checks a file record's data in pieces, or only locates it when the
    // observer does not want it checked, and leaves the position at its
    // start.
    bool check_file_data(chunk_place& place) {
        const std::optional<chunk_place> located = source_.locate();
        if (!located) return unreadable(chunk_role::file_data);
        place = *located;
        if (!observer_.checks_file_data()) return chunk_done(chunk_role::file_data, place, true);
        chunk_status status = source_.read_pieces(place, nullptr);
        if (status == chunk_status::unreadable) return unreadable(chunk_role::file_data);
        if (status == chunk_status::cancelled) return cancelled(chunk_role::file_data);
        return chunk_done(chunk_role::file_data, place, status == chunk_status::read);
    }

    // Locates a file record's data and copies it to a new output, checked as
    // it goes; the position ends at its start.
    bool write_file(const std::string& file_name, chunk_place& place) {
        const std::optional<chunk_place> located = source_.locate();
        if (!located) return unreadable(chunk_role::file_data);
        place = *located;
        std::unique_ptr<output_file> out = observer_.create_output(file_name, place.length);
        if (!out) return output_failed("cannot create the output file " + quoted_text(file_name));
        switch (source_.read_pieces(place, out.get())) {
        case chunk_status::read: return chunk_done(chunk_role::file_data, place, true);
        case chunk_status::mismatch: return chunk_done(chunk_role::file_data, place, false);
        case chunk_status::write_failed: return output_failed("cannot write the output file " + quoted_text(file_name));
        case chunk_status::cancelled: return cancelled(chunk_role::file_data);
        case chunk_status::unreadable: break;
        }
        return unreadable(chunk_role::file_data);
    }

    bool chunk_done(chunk_role role, const chunk_place& place, bool digest_ok) {
        chunk_info info;
        info.index = ++result_.chunks;
        info.role = role;
        info.offset = place.offset;
        info.length = place.length;
        info.digest_ok = digest_ok;
        observer_.chunk_read(info);
        if (!digest_ok) {
            result_.ok = false;
            result_.end = walk_end::digest_mismatch;
            result_.reason = "chunk " + std::to_string(info.index) + " (" + role_text(role) + "), " +
                             std::to_string(place.length) + " bytes at offset " +
                             std::to_string(place.offset) + ", does not match its digest";
            return false;
        }
        end_ = place.offset;
        return true;
    }

    // A walk that cannot reach the stub record proves nothing about the
    // records it did not read: it fails, whatever the flag was.
    bool unreadable(chunk_role role) {
        result_.ok = false;
        result_.end = walk_end::unreadable_chunk;
        result_.reason = describe(result_.chunks + 1, role, end_) + " cannot be read: " + source_.why();
        return false;
    }

    bool cancelled(chunk_role role) {
        result_.ok = false;
        result_.end = walk_end::cancelled;
        result_.reason = "cancelled before " + describe(result_.chunks + 1, role, end_) + " was read whole";
        return false;
    }

    // name_chunk: the index of the file name's chunk.
    walk_result refuse_file_name(const std::string& file_name, unsigned name_chunk) {
        observer_.file_name_refused(file_name);
        result_.ok = false;
        result_.end = walk_end::bad_file_name;
        result_.reason = "chunk " + std::to_string(name_chunk) + " (file name): " + quoted_text(file_name) +
                         " is not a bare file name";
        return result_;
    }

    bool output_failed(const std::string& why) {
        result_.ok = false;
        result_.end = walk_end::output_failed;
        result_.reason = why;
        return false;
    }

    static std::string describe(unsigned index, chunk_role role, std::uint32_t end) {
        return "chunk " + std::to_string(index) + " (" + role_text(role) + ") ending at offset " +
               std::to_string(end);
    }

    chunk_source source_;
    SettingsMap& settings_;
    walk_observer& observer_;
    walk_result result_;
    std::uint32_t end_ = 0;  // end of the next chunk to read
};

}  // namespace

walk_result walk_container(archive_reader& in, SettingsMap& settings, walk_observer& observer) {
    return walker(in, settings, observer).run();
}

walk_result walk_container(archive_reader& in, SettingsMap& settings) {
    walk_observer none;
    return walk_container(in, settings, none);
}

chunk_status read_chunk(archive_reader& in, std::string& data) {
    chunk_source source(in, nullptr);
    const std::optional<chunk_place> place = source.locate();
    if (!place) return chunk_status::unreadable;
    return source.read_located(*place, data);
}

}  // namespace trevan
