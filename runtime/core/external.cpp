#include "runtime/core/external.h"

#include <windows.h>

#include <cstdarg>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/requests.h"

// The call thunk: copies the arguments onto a fresh, 16-byte aligned stack area, calls, and then
// restores the stack pointer saved in a callee-saved register. Restoring it, rather than popping
// what was pushed, is what makes stdcall (callee pops) and cdecl (caller pops) functions alike.
//   uint32_t rt_call_thunk(void* address, int32_t count, const uint32_t* arguments)   (cdecl)
asm(R"(
    .text
    .globl _rt_call_thunk
    .def _rt_call_thunk; .scl 2; .type 32; .endef
_rt_call_thunk:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  12(%ebp), %ecx
    movl  16(%ebp), %esi
    movl  %esp, %edi
    leal  0(,%ecx,4), %edx
    subl  %edx, %esp
    andl  $-16, %esp
    xorl  %edx, %edx
1:  cmpl  %ecx, %edx
    jge   2f
    movl  (%esi,%edx,4), %ebx
    movl  %ebx, (%esp,%edx,4)
    incl  %edx
    jmp   1b
2:  call  *8(%ebp)
    movl  %edi, %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

extern "C" uint32_t rt_call_thunk(void* address, int32_t count, const uint32_t* arguments);

namespace {

const char* file_name_part(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != 0; ++p) {
        if (*p == '\\' || *p == '/') {
            name = p + 1;
        }
    }
    return name;
}

}  // namespace

uint32_t call_with_arguments(void* address, int32_t count, const uint32_t* arguments) {
    return rt_call_thunk(address, count, arguments);
}

uint32_t carry_out_external_call(intptr_t record) {
    auto* call = reinterpret_cast<ExternalCallRecord*>(record);
    call->result = call_with_arguments(call->address, call->count, call->arguments);
    return call->result;
}

int32_t invoke_external_table(const RtString& library, const RtString& function, int32_t count,
                              const uint32_t* arguments) {
    if (count < 0) {
        count = 0;
    }
    if (count > kMaxExternalArguments) {
        count = kMaxExternalArguments;
    }

    HMODULE module = GetModuleHandleA(file_name_part(library.c_str()));
    bool loaded_here = false;
    if (module == nullptr) {
        module = LoadLibraryA(library.c_str());
        if (module == nullptr) {
            report_error(247, library.c_str());
            return -1;
        }
        loaded_here = true;
    }
    void* address = reinterpret_cast<void*>(GetProcAddress(module, function.c_str()));
    if (address == nullptr) {
        // Unload first: a fatal report does not come back to do it.
        if (loaded_here) {
            FreeLibrary(module);
        }
        report_error(248, function.c_str());
        return -1;
    }

    uint32_t result;
    if (GetCurrentThreadId() == g_core.main_thread_id) {
        // The worker waits at its next print, request or external call until the call has
        // returned (it is never suspended: it might hold a lock the function needs).
        pause_worker();
        result = call_with_arguments(address, count, arguments);
        resume_worker();
    } else {
        auto* record = new ExternalCallRecord{address, count, 0, {}};
        for (int32_t i = 0; i < count; ++i) {
            record->arguments[i] = arguments[i];
        }
        send_request(kReqExternalCall, reinterpret_cast<LPARAM>(record));
        Sleep(0);
        result = record->result;
        delete record;
    }
    if (loaded_here) {
        FreeLibrary(module);
    }
    return static_cast<int32_t>(result);
}

int32_t invoke_external(const RtString& library, const RtString& function, int32_t count, ...) {
    uint32_t arguments[kMaxExternalArguments] = {};
    int32_t n = count < 0 ? 0 : (count > kMaxExternalArguments ? kMaxExternalArguments : count);
    va_list list;
    va_start(list, count);
    for (int32_t i = 0; i < n; ++i) {
        arguments[i] = va_arg(list, uint32_t);
    }
    va_end(list);
    return invoke_external_table(library, function, count, arguments);
}
