// Calls of functions of other libraries, named at run time, with up to 33 32-bit arguments. Every
// call runs on the main thread: a call made on the worker travels there as request 0xA00B.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

constexpr int32_t kMaxExternalArguments = 33;

// invoke_external(library, function, count, argument 1, ..., argument count): each argument a
// 32-bit value (numbers, handles, addresses). Returns the function's result, or -1 when the
// library or function cannot be found and the report of error 247 or 248 returns.
int32_t invoke_external(const RtString& library, const RtString& function, int32_t count, ...);
int32_t invoke_external_table(const RtString& library, const RtString& function, int32_t count,
                              const uint32_t* arguments);

// Calls address with arguments[0] to arguments[count - 1] as its parameters, left to right; the
// caller's stack is restored whether the function is stdcall or cdecl.
uint32_t call_with_arguments(void* address, int32_t count, const uint32_t* arguments);

// Request 0xA00B on the main thread: makes the call that the record (function address, argument
// count, result, arguments) describes and stores the result in it. Called by the request window
// procedure.
uint32_t carry_out_external_call(intptr_t record);
