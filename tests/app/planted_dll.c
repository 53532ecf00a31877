/* A library planted beside a program: loading it is all it takes. */
#include <windows.h>

__declspec(dllexport) int trevan_planted(void) { return 42; }
