// A library for the external-call tests: functions of both calling conventions with 0 and 33
// arguments. Each load of the library is counted in the environment variable EXT_TEST_LOADS of
// the process, so a test can tell whether a call loaded it anew; EXT_TEST_SLOW_ATTACH makes a
// load take that many milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#define EXPORT extern "C" __declspec(dllexport)

#define ARGS33                                                                                                     \
    int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13,    \
        int a14, int a15, int a16, int a17, int a18, int a19, int a20, int a21, int a22, int a23, int a24, int a25, \
        int a26, int a27, int a28, int a29, int a30, int a31, int a32, int a33
#define LIST33                                                                                                  \
    a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18, a19, a20, a21, a22, a23, \
        a24, a25, a26, a27, a28, a29, a30, a31, a32, a33

namespace {

// An order-sensitive digest: any two arguments swapped give another value.
int digest(const int* values, int count) {
    unsigned h = 17;
    for (int i = 0; i < count; ++i) {
        h = h * 31u + static_cast<unsigned>(values[i]);
    }
    return static_cast<int>(h);
}

}  // namespace

EXPORT int __stdcall zero_std() {
    return 4711;
}

EXPORT int __cdecl zero_cdecl() {
    return 815;
}

EXPORT int __stdcall digest33_std(ARGS33) {
    const int values[] = {LIST33};
    return digest(values, 33);
}

EXPORT int __cdecl digest33_cdecl(ARGS33) {
    const int values[] = {LIST33};
    return digest(values, 33);
}

EXPORT int __stdcall two_std(int a, int b) {
    return a * 1000 + b;
}

EXPORT DWORD __stdcall thread_of_call() {
    return GetCurrentThreadId();
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char buffer[16] = {};
        GetEnvironmentVariableA("EXT_TEST_LOADS", buffer, sizeof buffer);
        std::snprintf(buffer, sizeof buffer, "%d", std::atoi(buffer) + 1);
        SetEnvironmentVariableA("EXT_TEST_LOADS", buffer);
        char slow[16] = {};
        if (GetEnvironmentVariableA("EXT_TEST_SLOW_ATTACH", slow, sizeof slow) > 0) {
            Sleep(static_cast<DWORD>(std::atoi(slow)));
        }
    }
    return TRUE;
}
