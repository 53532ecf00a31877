#pragma once

// The branding settings file: JSON, so that CI configurations stay short.
//
//   {
//     "icon": "product.ico",
//     "maker_name": "Quillfeather",
//     "product_name": "Amberlyn",
//     "version_info": {
//       "FileVersion": "2.1.0.7",
//       "ProductVersion": "2.1.0.0",
//       "CompanyName": "Quillfeather Software Ltd.",
//       "ProductName": "Amberlyn",
//       "FileDescription": "Amberlyn Setup",
//       "LegalCopyright": "Copyright (C) 2025 Quillfeather Software Ltd.",
//       "OriginalFilename": "AmberlynSetup.exe"
//     },
//     "texts": {"1031": {"progress.text": "Installation von {product} wird vorbereitet…"}}
//   }
//
// Every member is optional; unknown members are refused so that a typing
// mistake cannot go unnoticed. A relative icon path is taken from the
// settings file's folder. "texts" gives the program's own texts by LCID and
// key (ui_texts.h), over the table's; each language named is packed.

#include <string>

#include "tools/pack/branding.h"

namespace trevan::pack {

// Reads the file at path. Throws tool_error with one line naming the
// file when it cannot be read, is not JSON or does not have the shape above.
// The values themselves are checked by check_branding and apply_branding.
branding read_branding_file(const std::string& path);

// The same from the file's text; folder is where a relative icon path
// starts.
branding parse_branding(const std::string& text, const std::string& folder, const std::string& what);

}  // namespace trevan::pack
