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
//          as NAME=value pairs, a value with blanks or quotation marks in
//          quotation marks as msiexec reads it (NAME="a ""b"" c"); msilog=ON
//          adds /l*v "<TEMP>\KELMO_msi.log.txt"
//   nsis   the arguments as written, any /D= moved to the very end
//   inno   the arguments as written; msilog=ON adds /LOG="<log>"
//   burn   the arguments as written; msilog=ON adds /log "<log>"
//   plain  the arguments as written, nothing added
// An argument "/S" (any letter case) becomes the kind's own silent switch
// (msi /qn, nsis /S, inno /VERYSILENT /SUPPRESSMSGBOXES /NORESTART, burn
// /quiet /norestart); without a kind and for plain it stays as it is.
//
// Only the container's own text is expanded: the arguments, the work
// folder's path (the user's TEMP), the MSI log path and the language switch
// go in as they are. Where the bootstrapper writes the installer's options
// itself (msi, inno, burn), an argument of the caller's that would make the
// elevated installer load other code or write its log elsewhere is refused
// (refused_option): nothing starts. The container's "allowed_options" names
// the ones the vendor lets through.

#include <optional>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/launch.h"
#include "app/setup_kind.h"
#include "container/settings.h"
#include "support/core/failure.h"

namespace trevan {

// Whether a run with these settings hands its setup program an MSI log:
// "msilog" is "ON" and the kind (none, msi, inno or burn) has a log option.
bool asks_for_msi_log(SettingsMap& settings);

// Whether the argument text holds a whole argument "/S" in any letter case,
// quoted or not: the run is then unattended.
bool has_silent_switch(const std::string& arguments);

// The name of the refusable option an argument is for this kind ("/l",
// "TRANSFORMS", "/LOADINF", ...), as "allowed_options" names it; nothing
// when the kind passes the argument on. msiexec reads "-" for "/" and any
// letter case, and the letters of /f, /i, /j, /l and /x may be followed by
// modifiers or a package; Inno takes "/" only, Burn both.
std::optional<std::string> refused_option(setup_kind kind, const std::string& argument);

// The names an "allowed_options" value holds, as written: blanks, tabs or
// commas between them.
std::vector<std::string> allowed_option_names(const std::string& value);

// Whether name is one that "allowed_options" can hold for any kind (any
// letter case).
bool is_refusable_option(const std::string& name);

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
    // Nothing starts, the run shows this and ends with 1: a kind the program
    // does not know or a command line too long ("ShellExecuteEx failed"), or
    // an argument the kind refuses ("Option not allowed").
    std::optional<vennic::failure> failure;
    std::string refused;       // the refused argument, as the caller gave it
    // The command line, or a text expanded for it, would pass Windows's
    // limit (max_command_line_length).
    bool over_limit = false;
};

// The setup start for the settings as the extraction left them. Writes
// "commandline" as the assembly always did; each assembly step that throws is skipped as before. Throws only
// std::bad_alloc.
setup_start plan_setup_start(SettingsMap& settings, const run_facts& facts);

}  // namespace trevan
