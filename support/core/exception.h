#pragma once

// Root of every error the library raises: a message and a dotted category
// path naming the area and kind (for example "registry2.key_error").
// what() reads the path, "[", the message and "]". Raised by value, caught by
// reference; copying copies every field.

#include <exception>
#include <string>

#include "support/core/printf_check.h"

namespace vennic {

class exception : public std::exception {
public:
    explicit exception(const std::string& message);
    // The message is string_vprintf(format, ...); throws what that throws.
    explicit exception(const char* format, ...) VENNIC_PRINTF(2, 3);
    ~exception() override;

    // Rebuilt on every call; the pointer stays valid until the next call or
    // the end of the object.
    const char* what() const noexcept override;
    virtual const char* message() const;
    virtual const char* category_path() const;

protected:
    // Each class of the tree calls this once from its constructor with its
    // own name: "." (unless the path is empty) and the name are appended.
    void extend_category_path(const char* name);

    mutable std::string what_buffer_;
    // Mutable so that exception_w can fill them lazily from its wide texts.
    mutable std::string message_;
    mutable std::string category_path_;
};

}  // namespace vennic
