#include "runtime/settings/set_switch.h"

#include <atomic>
#include <cstdarg>

#include "runtime/core/errors.h"
#include "runtime/core/loops.h"
#include "runtime/core/requests.h"
#include "runtime/settings/date_time.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/string_functions.h"

namespace {

constexpr int32_t kSlotCount = 32;

// Copies of the caller's arguments; slot 0 is never used and slots beyond the count keep what an
// earlier call left there.
RtValue g_slots[kSlotCount];

// The previous values of the two switches that the main thread reads, for the result's ref.
int32_t g_previous_messagemode = 0;
int32_t g_previous_autopaint = 0;

std::atomic<DrawingDcReset> g_drawing_dc_reset{nullptr};

// The switch speaks its own character-set codes; the variable holds the Windows code.
int32_t charset_to_windows(int32_t code) {
    switch (code) {
        case -1:
            return 1;
        case 1:
            return 255;
        default:
            return code;
    }
}

int32_t charset_from_windows(int32_t code) {
    switch (code) {
        case 1:
            return -1;
        case 255:
            return 1;
        default:
            return code;
    }
}

// The main thread's loops read the switch itself; the requests posted here only wake them, without
// waiting, so set_switch never blocks on the main thread.
void store_fastmode(int32_t value) {
    int32_t previous = g_switches.fastmode.exchange(value);
    if (value == previous) {
        return;
    }
    note_fastmode_switched();
    if (value != 0) {
        post_request_nowait(kReqEnterFastLoop);
        return;
    }
    post_request_nowait(kReqCloseOpenLoop);
    post_request_nowait(kReqLeaveFastLoop);
}

// A delimiter and, for longer texts, the remainder that sqldel keeps beside it.
void store_sqldel(const RtString& text) {
    if (text.length == 0) {
        return;
    }
    g_switches.sqldel.assign_range(text.c_str(), 0, 1);
    if (text.length > 1) {
        g_switches.sqldel_rest.assign_range(text.c_str(), 1, text.length - 1);
    }
}

// Every setting of the log file, even to the same name, starts a new block in it.
void store_logfile(const RtString& text) {
    g_switches.logfile.assign(text);
    append_log_line(log_header_text(local_time_now()));
}

RtValue change_int_switch(const SwitchEntry& entry, int32_t value) {
    int32_t* variable = static_cast<int32_t*>(entry.variable);
    if (variable == &g_switches.errorlevel) {
        RtValue result = value_from_int(*variable, variable);
        apply_errorlevel(value);
        return result;
    }
    if (variable == &g_switches.randseed) {
        reseed(value);
        return value_from_int(0, variable);
    }
    if (variable == &g_switches.charset) {
        RtValue result = value_from_int(charset_from_windows(*variable), variable);
        *variable = charset_to_windows(value);
        return result;
    }
    RtValue result = value_from_int(*variable, variable);
    if (variable == &g_switches.onerror) {
        *variable = value != 0 ? 1 : 0;
    } else {
        *variable = value;
    }
    if (variable == &g_switches.pdc && value == 0) {
        if (DrawingDcReset reset = g_drawing_dc_reset.load()) {
            reset();
        }
    }
    return result;
}

RtValue change_atomic_switch(const SwitchEntry& entry, int32_t value) {
    auto* variable = static_cast<std::atomic<int32_t>*>(entry.variable);
    if (variable == &g_switches.fastmode) {
        RtValue result = value_from_int(variable->load(), nullptr);
        result.ref = variable;
        store_fastmode(value);
        return result;
    }
    int32_t* previous = variable == &g_switches.messagemode ? &g_previous_messagemode : &g_previous_autopaint;
    *previous = variable->exchange(value);
    return value_from_int(*previous, previous);
}

RtValue change_string_switch(const SwitchEntry& entry, const RtString& text) {
    RtString* variable = static_cast<RtString*>(entry.variable);
    RtValue result = value_from_string_var(*variable);
    if (variable == &g_switches.sqldel) {
        store_sqldel(text);
    } else if (variable == &g_switches.listdel) {
        variable->assign_cstring(text.c_str());  // the delimiter ends at its first NUL byte
    } else if (variable == &g_switches.logfile) {
        store_logfile(text);
    } else {
        variable->assign(text);
    }
    return result;
}

const SwitchEntry* find_switch(const RtString& name) {
    RtString wanted = string_lower(name);
    int count = 0;
    const SwitchEntry* table = switch_table(&count);
    for (int i = 0; i < count; ++i) {
        if (wanted == table[i].name) {
            return &table[i];
        }
    }
    return nullptr;
}

}  // namespace

// The result always carries the value from before the call; only slot 1 is read.
RtValue& set_switch(RtValue& result, const RtString& name, int32_t count, ...) {
    va_list arguments;
    va_start(arguments, count);
    for (int32_t i = 1; i <= count && i < kSlotCount; ++i) {
        g_slots[i] = *va_arg(arguments, const RtValue*);
    }
    va_end(arguments);

    const SwitchEntry* entry = find_switch(name);
    if (entry == nullptr) {
        report_error(262, string_upper(name).c_str());
        RtValue empty;
        empty.kind = kValueString;
        result = empty;
        return result;
    }
    const RtValue& argument = g_slots[1];
    switch (entry->kind) {
        case SwitchKind::kInt:
            result = change_int_switch(*entry, argument.int_value);
            break;
        case SwitchKind::kAtomicInt:
            result = change_atomic_switch(*entry, argument.int_value);
            break;
        case SwitchKind::kString:
            result = change_string_switch(*entry, argument.text);
            break;
    }
    return result;
}

// -2 turns fastmode on while it is off; repeating the current errorlevel turns it off again. In
// both cases the errorlevel itself stays as it was.
void apply_errorlevel(int32_t value) {
    if (value == -2 && g_switches.fastmode.load() == 0) {
        store_fastmode(1);
        return;
    }
    if (value == g_switches.errorlevel && g_switches.fastmode.load() != 0) {
        store_fastmode(0);
        return;
    }
    g_switches.errorlevel = value;
}

void install_drawing_dc_reset(DrawingDcReset reset) {
    g_drawing_dc_reset = reset;
}
