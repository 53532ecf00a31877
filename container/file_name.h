#pragma once

// The rule for the names under which a container's files are written: one
// rule for the program's extraction and for the pack tool.

#include <string>

namespace trevan {

// Whether name is usable as a file name directly in a folder on Windows, and
// names a file there rather than a device. Refused:
// - the empty name, "." and "..";
// - folder separators ("\" and "/"), the drive or stream colon, the other
//   characters that Windows refuses in names (* ? " < > |) and control
//   characters (bytes 0 to 31);
// - a trailing dot or blank (Windows drops them, so the file would get
//   another name);
// - reserved device names, in any letter case, alone or with any extension,
//   also with blanks between the name and the extension ("CON .txt"):
//   CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, COM and LPT followed by a
//   superscript 1, 2 or 3 (the bytes B9, B2, B3 of the Windows Latin code
//   page, or their UTF-8 forms), CONIN$ and CONOUT$.
// Refusing a name that some Windows version would allow costs nothing; the
// pack tool refuses it when it builds.
bool is_bare_file_name(const std::string& name);

// The same rule for the name as Windows sees it, in UTF-16 (on other
// systems, in their wide characters): the superscripts are U+00B9, U+00B2
// and U+00B3. The program applies it to every stored name once that is
// converted, so a byte that the conversion drops or changes cannot pass.
bool is_bare_file_name(const std::wstring& name);

}  // namespace trevan
