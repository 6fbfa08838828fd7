// Parameter frames of the program body's procedures: 32 frames of 32 RtValue records, the
// result slot (record 0 of frame 0), the frame bookkeeping and the two save stacks. Worker only.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "runtime/values/rt_value.h"

// The one place where a procedure leaves its result.
RtValue& result_slot();

// Procedure entry with arguments (called by the caller), entry without a frame, and exit.
void enter_frame();
void enter_no_frame();
void leave_frame();

// Record i (1 to 31) of the current frame: parameter i of the running procedure.
RtValue& param_record(int32_t i);
int32_t param_int(int32_t i);

// The procedure side of a call: copies the count arguments (pointers to RtValue, as passed to the
// procedure) into records 1 to count of the current frame, or enters without a frame when there
// are none.
void take_arguments(int32_t count, va_list arguments);
// Leaves the frame and copies the result slot into the caller's result storage.
RtValue& return_result(RtValue& result);

// Frame bookkeeping, for tests and diagnostics.
int32_t current_frame_index();
int32_t frame_depth();
int32_t frame_mark_count();

// The two save stacks of loop variables; popping an empty stack leaves the variable unchanged.
void push_a(int32_t value);
void push_b(int32_t value);
void pop_a(int32_t* variable);
void pop_b(int32_t* variable);

// Empties the frames' records (texts in their own buffers: nothing is allocated), the frame marks,
// the save stacks and the area tables at shutdown.
void release_frames();
