// Forced into every translation unit of the program's code in the Windows
// trees (see trevan_program_code in trevan.cmake).
//
// The runtime's headers declare std::string, std::wstring and a few other
// templates "extern": calls then go to the runtime library's explicit
// instantiations, objects that bring every member along. On this target the
// linker cannot drop the unused members (the unwind tables refer to all of
// them), which cost the program about 100 KB. With the declarations off, each
// translation unit instantiates only what it uses, as for any template; the
// code and its behaviour are the same. c++config.h defines the switch
// unconditionally, so it is read here first and changed behind its guard.
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
