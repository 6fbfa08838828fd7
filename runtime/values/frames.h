// Parameter frames of the program body's procedures: 32 frames of 32 RtValue records, the
// result slot (record 0 of frame 0), the frame bookkeeping and the two save stacks. Worker only.
#pragma once

#include "runtime/values/rt_value.h"

// The one place where a procedure leaves its result.
RtValue& result_slot();

// Releases the frames' texts at shutdown.
void release_frames();
