#pragma once

// Security descriptors the elevated run gives what it creates where less
// privileged processes can reach, and their owner. Never throws.

#include <windows.h>

#include "support/core/error_or.h"

namespace vennic {

// A self-relative security descriptor, owned (LocalFree on destruction).
// Move-only.
class security_descriptor {
public:
    security_descriptor() = default;
    explicit security_descriptor(PSECURITY_DESCRIPTOR descriptor) : descriptor_(descriptor) {}
    ~security_descriptor();
    security_descriptor(security_descriptor&& other) noexcept : descriptor_(other.descriptor_) {
        other.descriptor_ = nullptr;
    }
    security_descriptor& operator=(security_descriptor&& other) noexcept;
    security_descriptor(const security_descriptor&) = delete;
    security_descriptor& operator=(const security_descriptor&) = delete;

    PSECURITY_DESCRIPTOR get() const { return descriptor_; }
    explicit operator bool() const { return descriptor_ != nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// The descriptor of a folder that only administrators may change: owner
// Administrators; full control for Administrators and SYSTEM, read and
// execute only for the user this process runs as; nothing inherited from
// the parent (protected), and every entry inherited by the files and
// folders inside. Fails with the system's code when the user or the
// descriptor cannot be had.
error_or<security_descriptor> protected_folder_security();

}  // namespace vennic
