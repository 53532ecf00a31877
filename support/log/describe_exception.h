#pragma once

// Describes the exception being handled: the prefix (given a trailing blank
// unless it is empty or already ends in one) followed by " exception: " and
// its text, " _com_error: " and the COM error text, or " unknown exception".
// Only to be called inside a handler: it re-raises the current exception.

#include <string>

namespace vennic {
namespace log {

std::wstring describe_current_exception(std::wstring prefix);

}  // namespace log
}  // namespace vennic
