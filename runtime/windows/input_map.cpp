#include "runtime/windows/input_map.h"

namespace {

uint8_t mode_bit(int32_t messagemode) {
    if (messagemode == 0) {
        return kModeZero;
    }
    return messagemode == 2 ? kModeTwo : kModeOn;
}

int32_t code_of(const InputMessage& m) {
    switch (m.message) {
        case 0x0111:
            return static_cast<int32_t>(m.wparam >> 16);
        case 0x004E:
            return m.notify_code;
        case 0x0210:
            return static_cast<int32_t>(m.wparam & 0xFFFF);
        default:
            return 0;
    }
}

int32_t value_of(Source source, const InputMessage& m) {
    switch (source) {
        case Source::kLowWparam:
            return static_cast<int32_t>(m.wparam & 0xFFFF);
        case Source::kHighWparam:
            return static_cast<int32_t>(m.wparam >> 16);
        case Source::kWparam:
            return static_cast<int32_t>(m.wparam);
        case Source::kLowLparam:
            return static_cast<int32_t>(m.lparam & 0xFFFF);
        case Source::kNotifyId:
            return m.notify_id;
        case Source::kNotifyCode:
            return m.notify_code;
        case Source::kZero:
        default:
            return 0;
    }
}

bool from_matches(From from, const InputMessage& m) {
    switch (from) {
        case From::kMenu:
            return m.lparam == 0;
        case From::kControl:
            return m.lparam != 0;
        case From::kAny:
        default:
            return true;
    }
}

}  // namespace

bool is_mapped_input_message(uint32_t message) {
    for (const InputEventRow& row : kInputEventTable) {
        if (row.message == message) {
            return true;
        }
    }
    return false;
}

InputEvent map_input_event(const InputMessage& m, int32_t messagemode) {
    InputEvent event;
    uint8_t mode = mode_bit(messagemode);
    int32_t code = code_of(m);
    for (const InputEventRow& row : kInputEventTable) {
        if (row.message != m.message || (row.modes & mode) == 0 || !from_matches(row.from, m) ||
            (row.code != kAnyCode && row.code != code)) {
            continue;
        }
        event.recorded = true;
        event.event_code = row.event_code;
        event.control = value_of(row.control, m);
        event.key = value_of(row.key, m);
        event.mouse = row.mouse;
        if (row.mouse) {
            event.mouse_x = static_cast<int16_t>(m.lparam & 0xFFFF);
            event.mouse_y = static_cast<int16_t>(m.lparam >> 16);
        }
        event.click = row.click;
        event.wake = row.wake;
        return event;
    }
    return event;
}
