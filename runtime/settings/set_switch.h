// set_switch: the program body's one way to read and change a runtime switch by name, with the
// special storing rules of some switches and the fast-loop requests that fastmode posts to the
// main thread. Worker thread only.
#pragma once

#include <cstdint>

#include "runtime/values/rt_value.h"

// Stores the first of the count arguments (pointers to RtValue) in the switch called name (any
// case) and returns the previous value in result. An unknown name is error 262.
RtValue& set_switch(RtValue& result, const RtString& name, int32_t count, ...);

// The errorlevel step of set_switch: -2 and a repeated value toggle fastmode instead.
void apply_errorlevel(int32_t value);

// The window subsystem installs how pdc 0 returns drawing to the text window's DC.
using DrawingDcReset = void (*)();
void install_drawing_dc_reset(DrawingDcReset reset);
