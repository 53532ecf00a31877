#pragma once

// The program's own arguments, taken from its UTF-16 command line
// (GetCommandLineW), never from the ANSI copy that the start-up code hands
// WinMain: Windows makes that copy with best fit, which can turn a
// look-alike such as U+FF02 (fullwidth quotation mark) into a real '"' and so
// make one argument into several.

#include <string>

#include "support/core/failure.h"

namespace trevan {

// The arguments of a whole command line: the text behind the program's own
// name and the blanks after it, read as the runtime's start-up code reads it
// for WinMain, so that every ASCII command line gives the same text as
// before. The name runs to the first character up to U+0020 outside
// quotation marks (each '"' opens or closes a quoted part); then every
// character up to U+0020 is skipped. Unlike the start-up code, which
// compares signed bytes, no character beyond ASCII counts as a blank, so an
// argument that begins with one keeps it.
std::wstring program_arguments(const std::wstring& command_line);

// The text with every character beyond ASCII made '?': split into
// arguments as the text itself would be (only blanks, tabs, quotation marks
// and backslashes separate and quote them), for what must be decided about
// arguments that the ANSI code page cannot hold, such as whether the run is
// unattended.
std::string ascii_outline(const std::wstring& text);

// Arguments that the ANSI code page cannot hold exactly are not passed on
// in another form: the run starts nothing ("ShellExecuteEx failed", "Unable
// to spawn process").
vennic::failure unconvertible_arguments_failure();

}  // namespace trevan
