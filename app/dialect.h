#pragma once

// What a run starts and the exact command line it gives it, in the dialect
// of the setup program's kind (the "kind" setting). Portable: the program
// runs it with the machine's facts, `trevan-pack plan` with a sample
// machine's, so that what a plan shows and what a run starts cannot differ.
//
// Without a kind the command line is assembled as it always was (the "/V"
// merge, the MSI log inside "/V", a "/L" language switch in front). Each
// kind takes the container's "parameters" (setting references expanded) and
// then the bootstrapper's own arguments:
//   msi    msiexec.exe /i "<file>" (whatever the file's name ends in), the
//          arguments without their "/V" switch, whose property text follows
//          as plain NAME=value pairs; msilog=ON adds /l*v "<TEMP>\KELMO_msi.log.txt"
//   nsis   the arguments as written, any /D= moved to the very end
//   inno   the arguments as written; msilog=ON adds /LOG="<log>"
//   burn   the arguments as written; msilog=ON adds /log "<log>"
//   plain  the arguments as written, nothing added
// An argument "/S" (any letter case) becomes the kind's own silent switch
// (msi /qn, nsis /S, inno /VERYSILENT /SUPPRESSMSGBOXES /NORESTART, burn
// /quiet /norestart); without a kind and for plain it stays as it is.

#include <optional>
#include <string>

#include "app/language.h"
#include "app/launch.h"
#include "container/settings.h"
#include "support/core/failure.h"

namespace trevan {

enum class setup_kind { none, msi, nsis, inno, burn, plain };

// "msi", "nsis", "inno", "burn", "plain"; "" for none.
const char* kind_name(setup_kind kind);

// The kind a "kind" setting names: none for an empty one, nothing for a
// value the program does not know (matched exactly, lower case).
std::optional<setup_kind> kind_of_setting(const std::string& value);

// Whether a run with these settings hands its setup program an MSI log:
// "msilog" is "ON" and the kind (none, msi, inno or burn) has a log option.
bool asks_for_msi_log(SettingsMap& settings);

// Whether the argument text holds a whole argument "/S" in any letter case,
// quoted or not: the run is then unattended.
bool has_silent_switch(const std::string& arguments);

// Whether the run shows its own message box, or only logs it. Asked for
// with /S (silent_switch), a box is still shown when there is no log to
// hold it; where no one can see the process's windows (no interactive
// window station) it never is, since a box there waits for ever.
bool shows_message_box(bool silent_switch, bool interactive, bool log_ready);

// What a run knows besides its settings.
struct run_facts {
    std::string arguments;      // the bootstrapper's own argument text
    std::string work_folder;    // ends in a backslash; its parent is the temporary directory
    // The folder of msiexec.exe, without a trailing backslash, for the
    // command line shown (the launch asks the system itself).
    std::string system_folder;
    bool on_64bit_windows = false;
    // The language sources of the "/L" switch (no kind only).
    language_reader read_language;
    // The MSI log's path as the run holds it (app/msi_log.h); empty: no log
    // option, because none is asked for or it could not be held.
    std::string msi_log;
};

struct setup_start {
    launch_plan plan;          // the setup program: name, file, directory, how it starts
    std::string program;       // what starts: the setup program's file, or msiexec.exe
    // The parameter text for the launch (launch.h): behind the quoted
    // program, or for msiexec behind /i and the quoted package.
    std::string parameters;
    std::string command_line;  // exactly what the started program receives
    setup_kind kind = setup_kind::none;
    bool silent = false;       // "/S" was given
    // A kind the program does not know: nothing starts, the run shows the
    // launch failure and ends with 1.
    std::optional<vennic::failure> failure;
};

// The setup start for the settings as the extraction left them. Writes
// "commandline" and, without a kind, "parameters" as the assembly always
// did; each assembly step that throws is skipped as before. Throws what the
// expansion of the executable setting throws.
setup_start plan_setup_start(SettingsMap& settings, const run_facts& facts);

}  // namespace trevan
