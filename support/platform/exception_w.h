#pragma once

// An exception whose message is composed as wide text. The narrow message()
// and category_path() are made from the wide ones on first use (ANSI code
// page, characters it lacks become its default character) and kept.

#include <string>

#include "support/core/exception.h"

namespace vennic {

class exception_w : public exception {
public:
    // The wide message is wstring_vprintf(format, ...).
    explicit exception_w(const wchar_t* format, ...);
    ~exception_w() override;

    // Never throws: if the narrow copies cannot be made, a fixed text is
    // returned instead.
    const char* what() const noexcept override;
    // These raise the conversion errors of vennic::unicode other than an
    // unmappable character.
    const char* message() const override;
    const char* category_path() const override;

    virtual const wchar_t* what_w() const;
    virtual const wchar_t* message_w() const;
    virtual const wchar_t* category_path_w() const;

private:
    void make_narrow_copies() const;

    mutable std::wstring what_w_buffer_;
    std::wstring message_w_;
    std::wstring category_path_w_;
    mutable bool narrowed_ = false;
};

}  // namespace vennic
