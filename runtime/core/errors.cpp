#include "runtime/core/errors.h"

#include "runtime/core/core_state.h"
#include "runtime/settings/switch_vars.h"

void report_error(int32_t, const char*) {
    if (g_switches.errorlevel == -1) {
        return;
    }
    end_worker();
}

void report_warning(int32_t, const char*) {}
