// The program with its extraction reporting no progress and showing no
// window, as it ran before it had one: the benchmark's baseline for what the
// progress window costs. Otherwise the program as shipped.
#include <windows.h>

#include "app/dll_search.h"
#include "app/own_file.h"
#include "app/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    trevan::restrict_dll_search();
    const trevan::own_file own = trevan::open_own_file();
    trevan::run_seams seams;
    seams.report_progress = false;
    return trevan::run(instance, GetCommandLineW(), own, seams);
}
