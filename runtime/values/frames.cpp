#include "runtime/values/frames.h"

#include <vector>

#include "runtime/values/areas.h"

namespace {

constexpr int32_t kFrameCount = 32;
constexpr int32_t kRecordsPerFrame = 32;

RtValue g_frame_region[kFrameCount][kRecordsPerFrame];
int32_t g_current_frame = 0;
int32_t g_frame_depth = 1;           // frame 0 counts
std::vector<int32_t> g_frame_marks;  // 1 where an entry advanced the current frame, else 0

std::vector<int32_t> g_save_stack_a;
std::vector<int32_t> g_save_stack_b;

void pop_into(std::vector<int32_t>& stack, int32_t* variable) {
    if (stack.empty()) {
        return;
    }
    *variable = stack.back();
    stack.pop_back();
}

}  // namespace

RtValue& result_slot() {
    return g_frame_region[0][0];
}

// A new frame is not cleared: records that the call does not fill keep what an earlier call left.
// Once all 32 frames are in use, deeper calls share the innermost frame with their caller.
void enter_frame() {
    if (g_frame_depth < kFrameCount) {
        ++g_current_frame;
        ++g_frame_depth;
        g_frame_marks.push_back(1);
        return;
    }
    g_frame_marks.push_back(0);
}

void enter_no_frame() {
    g_frame_marks.push_back(0);
}

// An exit without a matching entry returns to frame 0.
void leave_frame() {
    if (g_frame_marks.empty()) {
        g_current_frame = 0;
        return;
    }
    int32_t advanced = g_frame_marks.back();
    g_frame_marks.pop_back();
    if (advanced == 1) {
        --g_current_frame;
        --g_frame_depth;
    }
}

// The number is kept inside the frame: a wrong one reads another record, never foreign memory.
RtValue& param_record(int32_t i) {
    return g_frame_region[g_current_frame][i & (kRecordsPerFrame - 1)];
}

int32_t param_int(int32_t i) {
    return param_record(i).int_value;
}

void take_arguments(int32_t count, va_list arguments) {
    if (count <= 0) {
        enter_no_frame();
        return;
    }
    for (int32_t k = 1; k <= count && k < kRecordsPerFrame; ++k) {
        param_record(k) = *va_arg(arguments, const RtValue*);
    }
}

RtValue& return_result(RtValue& result) {
    leave_frame();
    result = result_slot();
    return result;
}

int32_t current_frame_index() {
    return g_current_frame;
}

int32_t frame_depth() {
    return g_frame_depth;
}

int32_t frame_mark_count() {
    return static_cast<int32_t>(g_frame_marks.size());
}

void push_a(int32_t value) {
    g_save_stack_a.push_back(value);
}

void push_b(int32_t value) {
    g_save_stack_b.push_back(value);
}

void pop_a(int32_t* variable) {
    pop_into(g_save_stack_a, variable);
}

void pop_b(int32_t* variable) {
    pop_into(g_save_stack_b, variable);
}

// Allocates nothing: a fresh empty text would take a new buffer, so each text is emptied in its
// own buffer, which goes with the process.
void release_frames() {
    for (auto& frame : g_frame_region) {
        for (RtValue& record : frame) {
            record.kind = 0;
            record.int_value = 0;
            record.float_value = 0.0;
            record.ref = nullptr;
            record.text.length = 0;
            record.text.data[0] = 0;
        }
    }
    g_current_frame = 0;
    g_frame_depth = 1;
    g_frame_marks.clear();
    g_save_stack_a.clear();
    g_save_stack_b.clear();
    release_areas();
}
