/// \file
/// Calls of functions of other libraries, named at run time, with up to 33 32-bit arguments. Every
/// call runs on the main thread: a call made on the worker travels there as request 0xA00B, and
/// the worker waits; a call made on the main thread suspends the worker meanwhile.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

/// The most arguments an external call takes; more are cut off.
constexpr int32_t kMaxExternalArguments = 33;

/// Request 0xA00B: a call of another library's function on the main thread.
struct ExternalCallRecord {
    /// The function.
    void* address;
    /// The number of arguments, at most 33.
    int32_t count;
    /// Out: the function's result.
    uint32_t result;
    /// The call's own arguments, slot 0 the first parameter: carried in the record, a call that the
    /// main thread makes meanwhile cannot change them.
    uint32_t arguments[kMaxExternalArguments];
};

/// Calls \p function of \p library (a file name such as "USER32" or a path; a library that is
/// already loaded is used, another is loaded for the call and freed after it) with \p count
/// arguments, each a 32-bit value (numbers, handles, addresses), stdcall or cdecl alike. Returns
/// the function's result. A library that cannot be loaded is error 247 "Fehler beim Laden der
/// DLL: " with \p library; a function it lacks is error 248 "Funktion in DLL nicht vohanden: "
/// with \p function; then -1. Either thread.
int32_t invoke_external(const RtString& library, const RtString& function, int32_t count, ...);
/// invoke_external() with the \p count arguments in the array \p arguments.
int32_t invoke_external_table(const RtString& library, const RtString& function, int32_t count,
                              const uint32_t* arguments);

/// Calls \p address with \p arguments[0] to \p arguments[count - 1] as its parameters, left to
/// right, on the calling thread; the caller's stack is restored whether the function is stdcall
/// or cdecl.
uint32_t call_with_arguments(void* address, int32_t count, const uint32_t* arguments);

/// Request 0xA00B on the main thread: makes the call that the ExternalCallRecord at \p record
/// (function address, argument count, result, arguments) describes and stores the result in it.
/// Called by the request channel for a sent 0xA00B.
uint32_t carry_out_external_call(intptr_t record);
