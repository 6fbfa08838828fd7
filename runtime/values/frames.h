/// \file
/// Parameter frames of the program body's procedures: 32 frames of 32 RtValue records, the
/// result slot (record 0 of frame 0), the frame bookkeeping and the two save stacks. Worker only.
///
/// A call: the caller calls enter_frame() and then the procedure with its result record, the
/// argument count and pointers to the RtValue arguments; the procedure copies them with
/// take_arguments(), reads them with param_record() or param_int(), leaves its result in
/// result_slot() (value_from_text() does) and returns return_result(), which leaves the frame.
/// Once all 32 frames are in use, deeper calls share the innermost frame with their caller.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "runtime/values/rt_value.h"

/// The one place where a procedure leaves its result (record 0 of frame 0); lives for the run.
RtValue& result_slot();

/// Procedure entry with arguments, called by the caller before the call: the next frame becomes
/// current. Its records keep what an earlier call left where this call does not fill them.
void enter_frame();
/// Procedure entry without a frame (take_arguments() with no arguments calls it): the current
/// frame stays, and the matching leave_frame() keeps it.
void enter_no_frame();
/// Procedure exit: back to the frame that was current before the matching entry (frame 0 when
/// there was none).
void leave_frame();

/// Record \p i of the current frame: parameter \p i (1 to 31) of the running procedure. A
/// number outside 0 to 31 is taken modulo 32, never outside the frame. Valid until the next call.
RtValue& param_record(int32_t i);
/// param_record(\p i).int_value.
int32_t param_int(int32_t i);

/// The procedure side of a call: copies the \p count arguments (pointers to RtValue, as passed
/// to the procedure) into records 1 to \p count of the current frame (at most 31), or enters
/// without a frame when \p count is 0 or less.
void take_arguments(int32_t count, va_list arguments);
/// Leaves the frame and copies the result slot into \p result; returns \p result.
RtValue& return_result(RtValue& result);

/// The current frame's number, 0 to 31 (for tests and diagnostics).
int32_t current_frame_index();
/// How many frames are in use, frame 0 included.
int32_t frame_depth();
/// How many entries have not yet been left.
int32_t frame_mark_count();

/// Pushes \p value on save stack A, which keeps loop variables across nested loops.
void push_a(int32_t value);
/// Pushes \p value on save stack B.
void push_b(int32_t value);
/// Pops save stack A into \p variable; an empty stack leaves it unchanged.
void pop_a(int32_t* variable);
/// Pops save stack B into \p variable; an empty stack leaves it unchanged.
void pop_b(int32_t* variable);

/// Shutdown: empties the frames' records (texts in their own buffers: nothing is allocated), the
/// frame marks, the save stacks and the area tables. Called by the runtime.
void release_frames();
