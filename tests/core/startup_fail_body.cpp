// A program whose start-up must fail: the class "CW" is already registered (by a static
// initialiser, before WinMain) when the runtime registers its request window class.
#include <windows.h>

#include "runtime/program/program_body.h"

namespace {

const ATOM g_taken_class = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CW";
    return RegisterClassA(&wc);
}();

}  // namespace

void program_body() {
    // Not reached: start-up ends the process with code 1 before the worker starts.
    (void)g_taken_class;
}
