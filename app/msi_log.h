#pragma once

// The verbose MSI log the setup program is pointed at (Windows):
// "KELMO_msi.log.txt" in the temporary folder. The elevated setup program
// opens the path it is given itself, so the run first creates or opens that
// file as a plain file and holds it until the setup program has ended:
// meanwhile the path names that file and nothing a user put there.

#include <string>

#include "app/dialect.h"
#include "app/temp_folder.h"
#include "support/core/error_or.h"
#include "support/platform/handle.h"

namespace trevan {

struct msi_log {
    // Held with access to the data (a handle without it would not make its
    // sharing count), shared for reading and writing, never for deleting:
    // nobody renames, deletes or replaces it while it is held. Which access
    // depends on how the setup program's kind opens its log: a second open
    // succeeds only where it shares what the held handle may do.
    //   Windows Installer (msi, and the default kind's /l*v inside /V)
    //   opens it for writing and shares writing (Wine's msi shares nothing
    //   else, not even reading): the log is held for appending.
    //   Inno Setup (/LOG=) and Burn (/log) open it for writing, truncating
    //   it, and share reading only: the log is held for reading.
    vennic::unique_handle file;
    // Its path for the command line: the folder's exact or short text and
    // the name, so that it names exactly the held file.
    std::string path;
};

// Creates or opens the log in the held folder (a read-only log of an earlier
// run is made writable again) and holds it for a setup program of that
// kind. Fails with the system's code: ERROR_CANT_ACCESS_FILE for a link, a
// folder or a file with a second name at its name,
// ERROR_NO_UNICODE_TRANSLATION when no narrow text names the folder.
vennic::error_or<msi_log> hold_msi_log(const temp_folder& temp, setup_kind kind);

}  // namespace trevan
