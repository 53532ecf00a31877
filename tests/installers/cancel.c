/* The custom action of quill.wxs that ends an installation as a user's
   cancel does: msiexec then ends with ERROR_INSTALL_USEREXIT (1602). */
#include <windows.h>

__declspec(dllexport) UINT __stdcall Cancel(unsigned long install) {
    (void)install;
    return ERROR_INSTALL_USEREXIT;
}
