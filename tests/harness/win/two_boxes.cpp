// Harness self-test program: shows two message boxes, then ends with
// 0x80070643. The second caption is long, the second text has a lone CR.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "First text\nsecond line", "First caption", MB_OK);
    std::string caption(600, 'c');
    caption += "[end]";
    MessageBoxA(nullptr, "File: C:\\x\rError: none", caption.c_str(), MB_OK);
    return static_cast<int>(0x80070643u);
}
