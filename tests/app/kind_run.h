#pragma once

// Shared set-up of the end-to-end tests of real installers of each kind:
// containers whose two setup programs are one installer, packed with the
// kind trevan-pack tells from its bytes, and the installer's traces in the
// prefix (files under drive C:, HKLM values of the 64-bit view) removed
// before and after each case.

#include <string>
#include <vector>

#include "tests/app/run_fixture.h"
#include "tools/pack/builder.h"

namespace trevan::harness {

// The Linux path of a Windows path on the prefix's drive C: ("Program
// Files/x" for C:\Program Files\x).
std::string drive_c(const std::string& path);

// A REG_SZ value of the registry's 64-bit view; empty when there is none.
std::string registry_value(const std::string& key, const std::string& name);

class KindRun : public ProgramRun {
protected:
    // Both setup programs the same installer, with the kind trevan-pack
    // tells from its bytes, as `build` packs it.
    std::string packed(const std::string& setup, std::vector<pack::record> values);
    // The run's own log, Trevan.log.txt.
    std::string log() const;

    void SetUp() override;
    void TearDown() override;
    virtual void remove_installation() {}
};

}  // namespace trevan::harness
