// Fault injection for test builds of a program (linked in as an object; the product is unchanged).
// Before any other initialiser, the program's own import address table is patched so that the
// imports of the table below go through hooks here. Set by the environment:
//   RT_FAULT         the import whose Nth call fails ("malloc", "CreateFileA", ...)
//   RT_FAULT_N       N (from 1); 0 only counts
//   RT_FAULT_THREAD  where calls count: main, worker (the runtime's) or any (the default)
//   RT_FAULT_ERROR   the last error (errno for the C library) of the failure; else the table's
//   RT_FAULT_BOX     the answer to every message box (IDOK by default): boxes never wait
//   RT_FAULT_CLOCK   GetTickCount runs that many times faster (long deadlines in short runs)
//   RT_FAULT_REPORT  the file the layer appends to: "fired", "box <caption>", and at the end
//                    "end <how> calls=<count> open=<handles, searches and streams still open>"
// A failing call does what Windows does: returns its failure value with the last error set (errno
// for the C library), and a stream function sets the stream's error flag (fclose closes all the same).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "runtime/core/core_state.h"

namespace {

// name, failure value, error, hook (HOOK: the generic one, passing, opening or closing a handle).
#define FAULT_IMPORTS(X)                                                                                 \
    X(CreateFileA, -1, ERROR_ACCESS_DENIED, HOOK(CreateFileA, kOpens))                                   \
    X(CreateFileW, -1, ERROR_ACCESS_DENIED, HOOK(CreateFileW, kOpens))                                   \
    X(DeleteFileA, 0, ERROR_SHARING_VIOLATION, HOOK(DeleteFileA, kPasses))                               \
    X(FindFirstFileA, -1, ERROR_ACCESS_DENIED, HOOK(FindFirstFileA, kOpens))                             \
    X(FindFirstFileW, -1, ERROR_ACCESS_DENIED, HOOK(FindFirstFileW, kOpens))                             \
    X(FindClose, 0, ERROR_INVALID_HANDLE, HOOK(FindClose, kCloses))                                      \
    X(CloseHandle, 0, ERROR_INVALID_HANDLE, HOOK(CloseHandle, kCloses))                                  \
    X(GetShortPathNameA, 0, ERROR_ACCESS_DENIED, HOOK(GetShortPathNameA, kPasses))                       \
    X(GetShortPathNameW, 0, ERROR_ACCESS_DENIED, HOOK(GetShortPathNameW, kPasses))                       \
    X(GetWindowsDirectoryA, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(GetWindowsDirectoryA, kPasses))             \
    X(GetFullPathNameW, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(GetFullPathNameW, kPasses))                     \
    X(GetCurrentDirectoryW, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(GetCurrentDirectoryW, kPasses))             \
    X(SetCurrentDirectoryA, 0, ERROR_ACCESS_DENIED, HOOK(SetCurrentDirectoryA, kPasses))                 \
    X(GetFileInformationByHandleEx, 0, ERROR_ACCESS_DENIED, HOOK(GetFileInformationByHandleEx, kPasses)) \
    X(MultiByteToWideChar, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(MultiByteToWideChar, kPasses))               \
    X(WideCharToMultiByte, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(WideCharToMultiByte, kPasses))               \
    X(CreateMutexExA, 0, ERROR_ACCESS_DENIED, HOOK(CreateMutexExA, kOpens))                              \
    X(WaitForSingleObject, WAIT_FAILED, ERROR_INVALID_HANDLE, HOOK(WaitForSingleObject, kPasses))        \
    X(CreateEventA, 0, ERROR_NO_SYSTEM_RESOURCES, HOOK(CreateEventA, kOpens))                            \
    X(CreateThread, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(CreateThread, kOpens))                              \
    X(OpenProcess, 0, ERROR_ACCESS_DENIED, HOOK(OpenProcess, kOpens))                                    \
    X(WinExec, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, HOOK(WinExec, kPasses))                       \
    X(ShellExecuteA, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, HOOK(ShellExecuteA, kPasses))                 \
    X(GetPrivateProfileStringA, 0, ERROR_FILE_NOT_FOUND, HOOK(GetPrivateProfileStringA, kPasses))        \
    X(RegOpenKeyExA, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, HOOK(RegOpenKeyExA, kPasses))             \
    X(RegQueryValueExA, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, HOOK(RegQueryValueExA, kPasses))       \
    X(LoadLibraryA, 0, ERROR_MOD_NOT_FOUND, HOOK(LoadLibraryA, kPasses))                                 \
    X(GetProcAddress, 0, ERROR_PROC_NOT_FOUND, wrap_GetProcAddress)                                      \
    X(RegisterClassA, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(RegisterClassA, kPasses))                         \
    X(CreateWindowExA, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(CreateWindowExA, kPasses))                       \
    X(PostMessageA, 0, ERROR_NOT_ENOUGH_QUOTA, HOOK(PostMessageA, kPasses))                              \
    X(SendMessageTimeoutA, 0, ERROR_TIMEOUT, HOOK(SendMessageTimeoutA, kPasses))                         \
    X(EnumWindows, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(EnumWindows, kPasses))                               \
    X(CreateAcceleratorTableA, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(CreateAcceleratorTableA, kPasses))       \
    X(CreateCompatibleBitmap, 0, ERROR_NOT_ENOUGH_MEMORY, HOOK(CreateCompatibleBitmap, kPasses))         \
    X(GetStockObject, 0, ERROR_INVALID_PARAMETER, HOOK(GetStockObject, kPasses))                         \
    X(SHGetPathFromIDListA, 0, ERROR_ACCESS_DENIED, HOOK(SHGetPathFromIDListA, kPasses))                 \
    X(MessageBoxA, 0, ERROR_NOT_ENOUGH_MEMORY, wrap_MessageBoxA)                                         \
    X(GetTickCount, 0, 0, wrap_GetTickCount)                                                             \
    X(ExitProcess, 0, 0, wrap_ExitProcess)                                                               \
    X(TerminateProcess, 0, ERROR_ACCESS_DENIED, wrap_TerminateProcess)                                   \
    X(malloc, 0, ENOMEM, (&Hook<k_malloc, kPasses, void*(__cdecl*)(size_t)>::call))                      \
    X(fopen, 0, EACCES, HOOK(fopen, kOpens))                                                             \
    X(fclose, EOF, ENOSPC, wrap_fclose)                                                                  \
    X(fflush, EOF, ENOSPC, wrap_fflush)                                                                  \
    X(fwrite, 0, ENOSPC, wrap_fwrite)                                                                    \
    X(fputc, EOF, ENOSPC, wrap_fputc)

#define FAULT_INDEX(name, failure, error, hook) k_##name,
enum Import { FAULT_IMPORTS(FAULT_INDEX) kImports };
#define FAULT_NAME(name, failure, error, hook) #name,
const char* const kNames[kImports] = {FAULT_IMPORTS(FAULT_NAME)};
#define FAULT_FAILURE(name, failure, error, hook) static_cast<uint32_t>(failure),
const uint32_t kFailures[kImports] = {FAULT_IMPORTS(FAULT_FAILURE)};
#define FAULT_ERROR(name, failure, error, hook) static_cast<DWORD>(error),
const DWORD kErrors[kImports] = {FAULT_IMPORTS(FAULT_ERROR)};

// The chosen fault.
int g_index = -1;
LONG g_n = 0;
enum { kAnyThread, kMainThread, kWorkerThread } g_thread = kAnyThread;
DWORD g_error = 0;
int g_box_answer = IDOK;
DWORD g_clock = 1;
char g_report[MAX_PATH] = {};
DWORD g_main_thread = 0;
volatile LONG g_calls = 0;
volatile LONG g_ended = 0;

// The originals of the imports; what the layer itself calls is taken before the table is patched.
void* g_originals[kImports] = {};
decltype(&CreateFileA) g_create_file = nullptr;
decltype(&WriteFile) g_write_file = nullptr;

// Handles, searches and streams that the program opened through the table and has not closed.
void* g_open[1024] = {};
CRITICAL_SECTION g_open_lock;

void append_report(const char* text) {
    HANDLE file = g_report[0] == 0 ? INVALID_HANDLE_VALUE
                                   : g_create_file(g_report, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        g_write_file(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
        g_write_file(file, "\r\n", 2, &written, nullptr);
        reinterpret_cast<decltype(&CloseHandle)>(g_originals[k_CloseHandle])(file);
    }
}

// Moves resource from one slot value to another: from null when opened, to null when closed.
void track(void* from, void* to) {
    EnterCriticalSection(&g_open_lock);
    for (void*& slot : g_open) {
        if (slot == from) {
            slot = to;
            break;
        }
    }
    LeaveCriticalSection(&g_open_lock);
}

void report_end(const char* how) {
    if (InterlockedExchange(&g_ended, 1) != 0) {
        return;
    }
    int open = 0;
    for (void* slot : g_open) {
        open += slot != nullptr ? 1 : 0;
    }
    char line[128];
    std::snprintf(line, sizeof line, "end %s calls=%ld open=%d", how, g_calls, open);
    append_report(line);
}

// True when this call of import index is the one that fails; the error is then set.
bool fires(int index, bool c_library) {
    DWORD thread = GetCurrentThreadId();
    bool counted = g_thread == kAnyThread || (g_thread == kMainThread && thread == g_main_thread) ||
                   (g_thread == kWorkerThread && thread == g_core.worker_thread_id);
    if (index != g_index || !counted || InterlockedIncrement(&g_calls) != g_n) {
        return false;
    }
    append_report("fired");
    if (c_library) {
        errno = static_cast<int>(g_error);
    } else {
        SetLastError(g_error);
    }
    return true;
}

enum Kind { kPasses, kOpens, kCloses };

// The generic hook: the chosen call fails with the import's failure value, every other one goes
// through (a handle it opens or closes counted).
template <Import I, Kind K, typename R, typename Function, typename... A>
R through(bool c_library, A... a) {
    if (fires(I, c_library)) {
        if constexpr (std::is_pointer<R>::value) {
            return reinterpret_cast<R>(kFailures[I]);
        } else {
            return static_cast<R>(kFailures[I]);
        }
    }
    if constexpr (K == kCloses) {
        track(reinterpret_cast<void*>((a, ...)), nullptr);
    }
    R result = reinterpret_cast<Function>(g_originals[I])(a...);
    if constexpr (K == kOpens) {
        if (reinterpret_cast<uintptr_t>(result) + 1 > 1) {  // neither null nor INVALID_HANDLE_VALUE
            track(nullptr, reinterpret_cast<void*>(result));
        }
    }
    return result;
}

template <Import I, Kind K, typename Function>
struct Hook;
template <Import I, Kind K, typename R, typename... A>
struct Hook<I, K, R(WINAPI*)(A...)> {
    static R WINAPI call(A... a) { return through<I, K, R, R(WINAPI*)(A...)>(false, a...); }
};
template <Import I, Kind K, typename R, typename... A>
struct Hook<I, K, R(__cdecl*)(A...)> {
    static R __cdecl call(A... a) { return through<I, K, R, R(__cdecl*)(A...)>(true, a...); }
};
#define HOOK(name, kind) (&Hook<k_##name, kind, decltype(&::name)>::call)
#define REAL(name) reinterpret_cast<decltype(&::name)>(g_originals[k_##name])

int WINAPI wrap_MessageBoxA(HWND, LPCSTR, LPCSTR caption, UINT) {
    if (fires(k_MessageBoxA, false)) {
        return 0;
    }
    char line[600];
    std::snprintf(line, sizeof line, "box %s", caption != nullptr ? caption : "");
    append_report(line);
    return g_box_answer;
}

DWORD WINAPI wrap_GetTickCount() {
    static const DWORD start = REAL(GetTickCount)();
    return start + (REAL(GetTickCount)() - start) * g_clock;
}

void WINAPI wrap_ExitProcess(UINT code) {
    char how[32];
    std::snprintf(how, sizeof how, "ExitProcess(%u)", code);
    report_end(how);
    REAL(ExitProcess)(code);
}

BOOL WINAPI wrap_TerminateProcess(HANDLE process, UINT code) {
    if (GetProcessId(process) == GetCurrentProcessId()) {
        report_end("TerminateProcess");
    }
    return REAL(TerminateProcess)(process, code);
}

// A stream whose write failed, as the C library marks it.
bool mark_failed(FILE* stream) {
    stream->_flag |= _IOERR;
    return true;
}

int __cdecl wrap_fclose(FILE* stream) {
    track(stream, nullptr);
    bool failed = fires(k_fclose, true);
    int result = REAL(fclose)(stream);
    errno = failed ? static_cast<int>(g_error) : errno;
    return failed ? EOF : result;
}

int __cdecl wrap_fflush(FILE* stream) {
    return stream != nullptr && fires(k_fflush, true) && mark_failed(stream) ? EOF : REAL(fflush)(stream);
}

size_t __cdecl wrap_fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    return fires(k_fwrite, true) && mark_failed(stream) ? 0 : REAL(fwrite)(data, size, count, stream);
}

int __cdecl wrap_fputc(int c, FILE* stream) {
    return fires(k_fputc, true) && mark_failed(stream) ? EOF : REAL(fputc)(c, stream);
}

FARPROC WINAPI wrap_GetProcAddress(HMODULE module, LPCSTR name);

#define FAULT_HOOK(name, failure, error, hook) reinterpret_cast<void*>(hook),
void* const kHooks[kImports] = {FAULT_IMPORTS(FAULT_HOOK)};

// A function reached by name (the runtime's external calls, the boxes among them) goes through its
// hook as an import does.
FARPROC WINAPI wrap_GetProcAddress(HMODULE module, LPCSTR name) {
    if (fires(k_GetProcAddress, false)) {
        return nullptr;
    }
    FARPROC address = REAL(GetProcAddress)(module, name);
    for (int i = 0; address != nullptr && reinterpret_cast<uintptr_t>(name) > 0xFFFF && i < kImports; ++i) {
        if (std::strcmp(kNames[i], name) == 0) {
            if (g_originals[i] == nullptr) {
                g_originals[i] = reinterpret_cast<void*>(address);
            }
            return reinterpret_cast<FARPROC>(kHooks[i]);
        }
    }
    return address;
}

DWORD environment_number(const char* name, DWORD otherwise) {
    char text[32] = {};
    return GetEnvironmentVariableA(name, text, sizeof text) > 0 ? std::strtoul(text, nullptr, 10) : otherwise;
}

void choose_fault() {
    char text[64] = {};
    GetEnvironmentVariableA("RT_FAULT", text, sizeof text);
    for (int i = 0; i < kImports; ++i) {
        g_index = std::strcmp(kNames[i], text) == 0 ? i : g_index;
    }
    g_n = static_cast<LONG>(environment_number("RT_FAULT_N", 0));
    g_error = environment_number("RT_FAULT_ERROR", g_index >= 0 ? kErrors[g_index] : 0);
    g_box_answer = static_cast<int>(environment_number("RT_FAULT_BOX", IDOK));
    g_clock = environment_number("RT_FAULT_CLOCK", 1);
    GetEnvironmentVariableA("RT_FAULT_THREAD", text, sizeof text);
    g_thread = std::strcmp(text, "main") == 0     ? kMainThread
               : std::strcmp(text, "worker") == 0 ? kWorkerThread
                                                  : kAnyThread;
    GetEnvironmentVariableA("RT_FAULT_REPORT", g_report, sizeof g_report);
}

// Points every import of the table in the program's own import address table to its hook.
void patch_imports() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0 && library->OriginalFirstThunk != 0; ++library) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            for (int i = 0; i < kImports && !IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal); ++i) {
                if (std::strcmp(kNames[i],
                                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name) != 0) {
                    continue;
                }
                g_originals[i] = reinterpret_cast<void*>(slots->u1.Function);
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
                slots->u1.Function = reinterpret_cast<uintptr_t>(kHooks[i]);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            }
        }
    }
}

__attribute__((constructor(101))) void install_fault_layer() {
    g_main_thread = GetCurrentThreadId();
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    g_create_file =
        reinterpret_cast<decltype(&CreateFileA)>(reinterpret_cast<void*>(GetProcAddress(kernel, "CreateFileA")));
    g_write_file = reinterpret_cast<decltype(&WriteFile)>(reinterpret_cast<void*>(GetProcAddress(kernel, "WriteFile")));
    InitializeCriticalSection(&g_open_lock);
    choose_fault();
    patch_imports();
    std::atexit([] { report_end("exit"); });
}

}  // namespace
