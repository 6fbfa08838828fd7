#include "runtime/values/frames.h"

namespace {

constexpr int kFrameCount = 32;
constexpr int kRecordsPerFrame = 32;

RtValue g_frame_region[kFrameCount][kRecordsPerFrame];

}  // namespace

RtValue& result_slot() {
    return g_frame_region[0][0];
}

void release_frames() {
    for (auto& frame : g_frame_region) {
        for (RtValue& record : frame) {
            record = RtValue();
        }
    }
}
