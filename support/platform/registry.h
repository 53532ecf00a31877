#pragma once

// Typed reading of registry values through an owned key (registry2::key).
// Every failure throws an error of the registry2::generic tree.

#include <windows.h>

#include <string>

#include "support/core/exception.h"

namespace vennic {
namespace registry2 {

// Errors of registry access. Messages name the key or value (converted to
// the ANSI code page; a name it cannot represent raises
// vennic::unicode::unmappable_character instead) and carry the Win32 code.
class generic : public vennic::exception {
public:
    explicit generic(const std::string& message);
};
// A key cannot be opened.
class key_error : public generic {
public:
    explicit key_error(const std::string& message);
};
// A value is missing or cannot be read.
class value_error : public generic {
public:
    explicit value_error(const std::string& message);
};
// A value is neither REG_SZ nor REG_EXPAND_SZ.
class type_mismatch : public generic {
public:
    explicit type_mismatch(const std::string& message);
};
// A value changed its size between the two reads of read_wstring.
class size_mismatch : public generic {
public:
    explicit size_mismatch(const std::string& message);
};

// An open registry key, owned: closed when the object is destroyed.
// Constructors either open a key or throw key_error; a read that throws
// leaves the key open and usable.
class key {
public:
    // A new handle to the root itself (HKEY_LOCAL_MACHINE, ...), read-write,
    // or read-only when write access is denied.
    explicit key(HKEY root);
    // The subkey path below parent, read-write, or read-only when write
    // access is denied; view64 asks for the 64-bit view (KEY_WOW64_64KEY).
    key(const key& parent, const std::wstring& path, bool view64);
    ~key();

    key(const key&) = delete;
    key& operator=(const key&) = delete;

    // The text of a REG_SZ or REG_EXPAND_SZ value, the latter with its
    // environment references expanded. One terminating zero is dropped.
    // Throws value_error, type_mismatch or size_mismatch; value_error also
    // when an expansion fails or needs more than 32,768 characters.
    std::wstring read_wstring(const std::wstring& name) const;
    // read_wstring in the ANSI code page; a character the code page lacks
    // raises vennic::unicode::unmappable_character.
    std::string read_string(const std::wstring& name) const;

private:
    HKEY handle_ = nullptr;
};

}  // namespace registry2
}  // namespace vennic
