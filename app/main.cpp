#include <windows.h>

#include "app/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    return trevan::run(instance, command_line);
}
