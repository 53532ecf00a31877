#pragma once

// What the pack tool prints about a walk: the listing of `list` (every
// chunk and record in walk order, the result, the kind, the code page and
// the stub's identity), the result of `verify` and the settings of
// `extract`, as text or JSON (json_writer.h). Texts of the container are
// shown as the program will read them, in the code page the container names
// (shown_text.h), cut after a bounded prefix with their full length beside
// them.
//
// Nothing is kept per chunk or record: the listing walks the container
// twice, the first time checking everything and writing the chunks as they
// are read, the second time (file data skipped) writing the records, now
// that the settings have told the code page. Memory is the walk's own: the
// largest value or name whole, file data in pieces of piece_size, and the
// settings it keeps, as the program keeps them.

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "container/reader.h"
#include "container/settings.h"
#include "container/walk.h"
#include "tools/pack/shown_text.h"
#include "tools/pack/stub_identity.h"

namespace trevan::pack {

// Called after each piece of a large chunk: whether its data is being
// copied (else checked), bytes done, bytes in all.
using progress_fn = std::function<void(bool copying, std::uint32_t done, std::uint32_t total)>;

// Passes a walk's progress on, when given, and counts its records.
class progress_observer : public walk_observer {
public:
    explicit progress_observer(progress_fn progress = nullptr) : progress_(std::move(progress)) {}
    void record_read(const record_info&) override { ++records; }
    void data_progress(bool copying, std::uint32_t done, std::uint32_t total) override {
        if (progress_) progress_(copying, done, total);
    }
    unsigned records = 0;

private:
    progress_fn progress_;
};

// "stub", "unreadable chunk", "digest mismatch", "no container", ...
const char* end_text(walk_end end);

// Walks the container behind in and writes its listing to out, stub (read
// by the caller) last. Returns the result of the checking walk.
walk_result write_listing(std::ostream& out, archive_reader& in, const stub_identity& stub, bool as_json);

// verify's line ("ok: N chunks, M records"), or its JSON object.
void write_verdict(std::ostream& out, const walk_result& result, unsigned records, bool as_json);

// One "name=value" line per setting, in the map's order, or a JSON object
// of them (a cut value as {"prefix": "...", "length": N}).
void write_settings(std::ostream& out, const SettingsMap& settings, bool as_json);

}  // namespace trevan::pack
