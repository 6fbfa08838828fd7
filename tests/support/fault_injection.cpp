// Fault injection for test builds of a program (linked in as an object; the product is unchanged).
// Before any other initialiser, the program's own import address table is patched so that the
// imports of the table below pass through a stub. Set by the environment:
//   RT_FAULT         the import whose Nth call fails ("malloc", "CreateFileA", ...)
//   RT_FAULT_N       N (from 1); 0 only counts
//   RT_FAULT_THREAD  where calls count: main, worker (the runtime's) or any (the default)
//   RT_FAULT_ERROR   the last error (errno for the C library) of the failure; else the table's
//   RT_FAULT_BOX     the answer to every message box (IDOK by default): boxes never wait
//   RT_FAULT_CLOCK   GetTickCount runs that many times faster (long deadlines in short runs)
//   RT_FAULT_REPORT  the file the layer appends to: "fired", "box <caption>", and at the end
//                    "end <how> calls=<count> open=<handles, searches and streams still open>"
// A failing call does what Windows does: returns its failure value with the last error set, and
// a stream function of the C library sets the stream's error flag (fclose closes all the same).
#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/core_state.h"

// What the stubs read: where a passing call goes, and what a failing call returns and pops.
extern "C" {
extern void* g_fault_targets[];
extern uint32_t g_fault_failures[];
extern uint32_t g_fault_arg_bytes[];
}

namespace {

// name, stdcall argument bytes (0: cdecl), failure value, error, the wrapper here that a passing
// call reaches (nullptr: the original), whether that wrapper decides and fails the call itself.
#define FAULT_IMPORTS(X)                                                              \
    X(CreateFileA, 28, -1, ERROR_ACCESS_DENIED, wrap_CreateFileA, false)              \
    X(CreateFileW, 28, -1, ERROR_ACCESS_DENIED, wrap_CreateFileW, false)              \
    X(DeleteFileA, 4, 0, ERROR_SHARING_VIOLATION, nullptr, false)                     \
    X(FindFirstFileA, 8, -1, ERROR_ACCESS_DENIED, wrap_FindFirstFileA, false)         \
    X(FindFirstFileW, 8, -1, ERROR_ACCESS_DENIED, wrap_FindFirstFileW, false)         \
    X(FindClose, 4, 0, ERROR_INVALID_HANDLE, wrap_FindClose, false)                   \
    X(CloseHandle, 4, 0, ERROR_INVALID_HANDLE, wrap_CloseHandle, false)               \
    X(GetShortPathNameA, 12, 0, ERROR_ACCESS_DENIED, nullptr, false)                  \
    X(GetShortPathNameW, 12, 0, ERROR_ACCESS_DENIED, nullptr, false)                  \
    X(GetWindowsDirectoryA, 8, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)            \
    X(GetFullPathNameW, 16, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)               \
    X(GetCurrentDirectoryW, 8, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)            \
    X(SetCurrentDirectoryA, 4, 0, ERROR_ACCESS_DENIED, nullptr, false)                \
    X(GetFileInformationByHandleEx, 16, 0, ERROR_ACCESS_DENIED, nullptr, false)       \
    X(MultiByteToWideChar, 24, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)            \
    X(WideCharToMultiByte, 32, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)            \
    X(CreateMutexExA, 16, 0, ERROR_ACCESS_DENIED, wrap_CreateMutexExA, false)         \
    X(WaitForSingleObject, 8, WAIT_FAILED, ERROR_INVALID_HANDLE, nullptr, false)      \
    X(CreateEventA, 16, 0, ERROR_NO_SYSTEM_RESOURCES, wrap_CreateEventA, false)       \
    X(CreateThread, 24, 0, ERROR_NOT_ENOUGH_MEMORY, wrap_CreateThread, false)         \
    X(OpenProcess, 12, 0, ERROR_ACCESS_DENIED, wrap_OpenProcess, false)               \
    X(WinExec, 8, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, nullptr, false)         \
    X(ShellExecuteA, 24, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, nullptr, false)        \
    X(GetPrivateProfileStringA, 24, 0, ERROR_FILE_NOT_FOUND, nullptr, false)          \
    X(RegOpenKeyExA, 20, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, nullptr, false)    \
    X(RegQueryValueExA, 24, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, nullptr, false) \
    X(LoadLibraryA, 4, 0, ERROR_MOD_NOT_FOUND, nullptr, false)                        \
    X(GetProcAddress, 8, 0, ERROR_PROC_NOT_FOUND, wrap_GetProcAddress, false)         \
    X(RegisterClassA, 4, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)                  \
    X(CreateWindowExA, 48, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)                \
    X(PostMessageA, 16, 0, ERROR_NOT_ENOUGH_QUOTA, nullptr, false)                    \
    X(SendMessageTimeoutA, 28, 0, ERROR_TIMEOUT, nullptr, false)                      \
    X(EnumWindows, 8, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)                     \
    X(CreateAcceleratorTableA, 8, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)         \
    X(CreateCompatibleBitmap, 12, 0, ERROR_NOT_ENOUGH_MEMORY, nullptr, false)         \
    X(GetStockObject, 4, 0, ERROR_INVALID_PARAMETER, nullptr, false)                  \
    X(SHGetPathFromIDListA, 8, 0, ERROR_ACCESS_DENIED, nullptr, false)                \
    X(MessageBoxA, 16, 0, ERROR_NOT_ENOUGH_MEMORY, wrap_MessageBoxA, false)           \
    X(GetTickCount, 0, 0, 0, wrap_GetTickCount, false)                                \
    X(ExitProcess, 4, 0, 0, wrap_ExitProcess, false)                                  \
    X(TerminateProcess, 8, 0, ERROR_ACCESS_DENIED, wrap_TerminateProcess, false)      \
    X(malloc, 0, 0, ENOMEM, nullptr, false)                                           \
    X(fopen, 0, 0, EACCES, wrap_fopen, false)                                         \
    X(fclose, 0, EOF, ENOSPC, wrap_fclose, true)                                      \
    X(fflush, 0, EOF, ENOSPC, wrap_fflush, true)                                      \
    X(fwrite, 0, 0, ENOSPC, wrap_fwrite, true)                                        \
    X(fputc, 0, EOF, ENOSPC, wrap_fputc, true)

#define FAULT_INDEX(name, bytes, failure, error, wrapper, self) k_##name,
enum Import { FAULT_IMPORTS(FAULT_INDEX) kImports };
#define FAULT_NAME(name, bytes, failure, error, wrapper, self) #name,
const char* const kNames[kImports] = {FAULT_IMPORTS(FAULT_NAME)};

struct Entry {
    uint32_t arg_bytes;
    uint32_t failure;
    int error;
    void* wrapper;
    bool self;
};

// The chosen fault.
int g_index = -1;
LONG g_n = 0;
enum { kAnyThread, kMainThread, kWorkerThread } g_thread = kAnyThread;
int g_error = 0;
bool g_errno = false;  // the chosen import is the C library's: its failure sets errno
int g_box_answer = IDOK;
DWORD g_clock = 1;
char g_report[MAX_PATH] = {};
DWORD g_main_thread = 0;
volatile LONG g_calls = 0;
volatile LONG g_ended = 0;

// What the layer itself calls, taken before the table is patched: its own calls are not counted.
decltype(&CreateFileA) g_create_file = nullptr;
decltype(&WriteFile) g_write_file = nullptr;
decltype(&CloseHandle) g_close_handle = nullptr;

// The originals of the imports, and the stubs that the patched table points to.
void* g_originals[kImports] = {};
BYTE* g_stubs = nullptr;

// Handles, searches and streams that the program opened through the table and has not closed.
constexpr int kSlots = 1024;
void* g_open[kSlots] = {};
CRITICAL_SECTION g_open_lock;

void append_report(const char* text) {
    if (g_report[0] == 0) {
        return;
    }
    HANDLE file = g_create_file(g_report, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    g_write_file(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    g_write_file(file, "\r\n", 2, &written, nullptr);
    g_close_handle(file);
}

void opened(void* resource) {
    EnterCriticalSection(&g_open_lock);
    for (void*& slot : g_open) {
        if (slot == nullptr) {
            slot = resource;
            break;
        }
    }
    LeaveCriticalSection(&g_open_lock);
}

void closed(void* resource) {
    EnterCriticalSection(&g_open_lock);
    for (void*& slot : g_open) {
        if (slot == resource) {
            slot = nullptr;
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

bool on_chosen_thread() {
    DWORD thread = GetCurrentThreadId();
    return g_thread == kAnyThread || (g_thread == kMainThread && thread == g_main_thread) ||
           (g_thread == kWorkerThread && thread == g_core.worker_thread_id);
}

// True when this call of import index is the one that fails; the error is then set.
bool fires(int index) {
    if (index != g_index || !on_chosen_thread() || InterlockedIncrement(&g_calls) != g_n) {
        return false;
    }
    append_report("fired");
    if (g_errno) {
        errno = g_error;
    } else {
        SetLastError(static_cast<DWORD>(g_error));
    }
    return true;
}

template <typename Function>
Function original(Import index) {
    return reinterpret_cast<Function>(g_originals[index]);
}
#define REAL(name) original<decltype(&::name)>(k_##name)

HANDLE WINAPI wrap_CreateFileA(LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
    HANDLE file = REAL(CreateFileA)(a, b, c, d, e, f, g);
    if (file != INVALID_HANDLE_VALUE) {
        opened(file);
    }
    return file;
}

HANDLE WINAPI wrap_CreateFileW(LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
    HANDLE file = REAL(CreateFileW)(a, b, c, d, e, f, g);
    if (file != INVALID_HANDLE_VALUE) {
        opened(file);
    }
    return file;
}

HANDLE WINAPI wrap_FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
    HANDLE search = REAL(FindFirstFileA)(pattern, found);
    if (search != INVALID_HANDLE_VALUE) {
        opened(search);
    }
    return search;
}

HANDLE WINAPI wrap_FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
    HANDLE search = REAL(FindFirstFileW)(pattern, found);
    if (search != INVALID_HANDLE_VALUE) {
        opened(search);
    }
    return search;
}

BOOL WINAPI wrap_FindClose(HANDLE search) {
    closed(search);
    return REAL(FindClose)(search);
}

BOOL WINAPI wrap_CloseHandle(HANDLE handle) {
    closed(handle);
    return REAL(CloseHandle)(handle);
}

HANDLE WINAPI wrap_CreateMutexExA(LPSECURITY_ATTRIBUTES a, LPCSTR b, DWORD c, DWORD d) {
    HANDLE mutex = REAL(CreateMutexExA)(a, b, c, d);
    opened(mutex);
    return mutex;
}

HANDLE WINAPI wrap_CreateEventA(LPSECURITY_ATTRIBUTES a, BOOL b, BOOL c, LPCSTR d) {
    HANDLE event = REAL(CreateEventA)(a, b, c, d);
    opened(event);
    return event;
}

HANDLE WINAPI
wrap_CreateThread(LPSECURITY_ATTRIBUTES a, SIZE_T b, LPTHREAD_START_ROUTINE c, LPVOID d, DWORD e, LPDWORD f) {
    HANDLE thread = REAL(CreateThread)(a, b, c, d, e, f);
    opened(thread);
    return thread;
}

HANDLE WINAPI wrap_OpenProcess(DWORD a, BOOL b, DWORD c) {
    HANDLE process = REAL(OpenProcess)(a, b, c);
    opened(process);
    return process;
}

int WINAPI wrap_MessageBoxA(HWND, LPCSTR, LPCSTR caption, UINT) {
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

FILE* __cdecl wrap_fopen(const char* name, const char* mode) {
    FILE* stream = REAL(fopen)(name, mode);
    opened(stream);
    return stream;
}

// A stream whose write failed, as the C library marks it.
void mark_failed(FILE* stream) {
    stream->_flag |= _IOERR;
}

int __cdecl wrap_fclose(FILE* stream) {
    closed(stream);
    bool failed = fires(k_fclose);
    int result = REAL(fclose)(stream);
    if (failed) {
        errno = g_error;
    }
    return failed ? EOF : result;
}

int __cdecl wrap_fflush(FILE* stream) {
    if (stream != nullptr && fires(k_fflush)) {
        mark_failed(stream);
        return EOF;
    }
    return REAL(fflush)(stream);
}

size_t __cdecl wrap_fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    if (fires(k_fwrite)) {
        mark_failed(stream);
        return 0;
    }
    return REAL(fwrite)(data, size, count, stream);
}

int __cdecl wrap_fputc(int c, FILE* stream) {
    if (fires(k_fputc)) {
        mark_failed(stream);
        return EOF;
    }
    return REAL(fputc)(c, stream);
}

void* target_of(int index);

BYTE* stub_of(int index) {
    return g_stubs + index * 10;
}

// A function that is reached by name (the runtime's external calls, the boxes among them) passes
// through the layer as an import does.
FARPROC WINAPI wrap_GetProcAddress(HMODULE module, LPCSTR name) {
    FARPROC address = REAL(GetProcAddress)(module, name);
    if (address == nullptr || reinterpret_cast<uintptr_t>(name) <= 0xFFFF) {
        return address;
    }
    for (int i = 0; i < kImports; ++i) {
        if (std::strcmp(kNames[i], name) == 0) {
            if (g_originals[i] == nullptr) {
                g_originals[i] = reinterpret_cast<void*>(address);
                g_fault_targets[i] = target_of(i);
            }
            return reinterpret_cast<FARPROC>(stub_of(i));
        }
    }
    return address;
}

#define FAULT_ENTRY(name, bytes, failure, error, wrapper, self) \
    {bytes, static_cast<uint32_t>(failure), static_cast<int>(error), (void*)(wrapper), self},
const Entry kEntries[kImports] = {FAULT_IMPORTS(FAULT_ENTRY)};

// Where a passing call of import index goes: its wrapper, else the original.
void* target_of(int index) {
    return kEntries[index].wrapper != nullptr ? kEntries[index].wrapper : g_originals[index];
}

}  // namespace

extern "C" {
void* g_fault_targets[kImports] = {};
uint32_t g_fault_failures[kImports] = {};
uint32_t g_fault_arg_bytes[kImports] = {};

// 1 when the call of import index fails here (a wrapper that decides itself always passes).
int fault_stub_decide(int index) {
    return !kEntries[index].self && fires(index) ? 1 : 0;
}
}

// Each stub pushes its import's index and jumps here, with the caller's return address and
// arguments untouched above it. A passing call jumps on to its target, which finds the stack as
// the caller left it; a failing one returns the failure value and pops the stdcall arguments.
asm(R"(
    .text
    .globl _fault_stub_common
_fault_stub_common:
    call  _fault_stub_decide
    popl  %ecx
    testl %eax, %eax
    jnz   1f
    jmp   *_g_fault_targets(,%ecx,4)
1:  movl  _g_fault_failures(,%ecx,4), %eax
    movl  _g_fault_arg_bytes(,%ecx,4), %edx
    popl  %ecx
    addl  %edx, %esp
    jmp   *%ecx
)");

extern "C" void fault_stub_common();

namespace {

DWORD environment_number(const char* name, DWORD otherwise) {
    char text[32] = {};
    return GetEnvironmentVariableA(name, text, sizeof text) > 0 ? std::strtoul(text, nullptr, 10) : otherwise;
}

void choose_fault() {
    char text[64] = {};
    GetEnvironmentVariableA("RT_FAULT", text, sizeof text);
    for (int i = 0; i < kImports; ++i) {
        if (std::strcmp(kNames[i], text) == 0) {
            g_index = i;
        }
    }
    g_n = static_cast<LONG>(environment_number("RT_FAULT_N", 0));
    g_errno = g_index >= 0 && kEntries[g_index].arg_bytes == 0;
    g_error = static_cast<int>(environment_number("RT_FAULT_ERROR", g_index >= 0 ? kEntries[g_index].error : 0));
    g_box_answer = static_cast<int>(environment_number("RT_FAULT_BOX", IDOK));
    g_clock = environment_number("RT_FAULT_CLOCK", 1);
    GetEnvironmentVariableA("RT_FAULT_THREAD", text, sizeof text);
    g_thread = std::strcmp(text, "main") == 0     ? kMainThread
               : std::strcmp(text, "worker") == 0 ? kWorkerThread
                                                  : kAnyThread;
    GetEnvironmentVariableA("RT_FAULT_REPORT", g_report, sizeof g_report);
}

// Points every import of the table in the program's own import address table to its stub.
void patch_imports() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name != 0;
         ++library) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; library->OriginalFirstThunk != 0 && names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (int i = 0; i < kImports; ++i) {
                if (std::strcmp(kNames[i], name) != 0) {
                    continue;
                }
                g_originals[i] = reinterpret_cast<void*>(slots->u1.Function);
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
                slots->u1.Function = reinterpret_cast<uintptr_t>(stub_of(i));
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            }
        }
    }
}

__attribute__((constructor(101))) void install_fault_layer() {
    g_main_thread = GetCurrentThreadId();
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    g_create_file = reinterpret_cast<decltype(&CreateFileA)>(reinterpret_cast<void*>(GetProcAddress(kernel, "CreateFileA")));
    g_write_file = reinterpret_cast<decltype(&WriteFile)>(reinterpret_cast<void*>(GetProcAddress(kernel, "WriteFile")));
    g_close_handle = reinterpret_cast<decltype(&CloseHandle)>(reinterpret_cast<void*>(GetProcAddress(kernel, "CloseHandle")));
    InitializeCriticalSection(&g_open_lock);
    choose_fault();
    // push index; jmp fault_stub_common
    g_stubs = static_cast<BYTE*>(VirtualAlloc(nullptr, kImports * 10, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    for (int i = 0; i < kImports; ++i) {
        BYTE* stub = stub_of(i);
        stub[0] = 0x68;
        std::memcpy(stub + 1, &i, 4);
        stub[5] = 0xE9;
        int32_t jump = reinterpret_cast<BYTE*>(&fault_stub_common) - (stub + 10);
        std::memcpy(stub + 6, &jump, 4);
        g_fault_failures[i] = kEntries[i].failure;
        g_fault_arg_bytes[i] = kEntries[i].arg_bytes;
    }
    patch_imports();
    for (int i = 0; i < kImports; ++i) {
        g_fault_targets[i] = target_of(i);
    }
    std::atexit([] { report_end("exit"); });
}

}  // namespace
