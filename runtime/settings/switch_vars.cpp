#include "runtime/settings/switch_vars.h"

RtSwitches g_switches;
RtRandomState g_random;

namespace {

const SwitchEntry kSwitchTable[] = {
    {"errorlevel", SwitchKind::kInt, &g_switches.errorlevel},
    {"fastmode", SwitchKind::kAtomicInt, &g_switches.fastmode},
    {"messagemode", SwitchKind::kAtomicInt, &g_switches.messagemode},
    {"randseed", SwitchKind::kInt, &g_switches.randseed},
    {"pdc", SwitchKind::kInt, &g_switches.pdc},
    {"sqlwidth", SwitchKind::kInt, &g_switches.sqlwidth},
    {"sqlcolwidth", SwitchKind::kInt, &g_switches.sqlcolwidth},
    {"sqldbc", SwitchKind::kInt, &g_switches.sqldbc},
    {"truecolor", SwitchKind::kInt, &g_switches.truecolor},
    {"autopaint", SwitchKind::kAtomicInt, &g_switches.autopaint},
    {"dbmemowidth", SwitchKind::kInt, &g_switches.dbmemowidth},
    {"debugmode", SwitchKind::kInt, &g_switches.debugmode},
    {"onerror", SwitchKind::kInt, &g_switches.onerror},
    {"decimals", SwitchKind::kInt, &g_switches.decimals},
    {"numwidth", SwitchKind::kInt, &g_switches.numwidth},
    {"strwidth", SwitchKind::kInt, &g_switches.strwidth},
    {"filemode", SwitchKind::kInt, &g_switches.filemode},
    {"sqldel", SwitchKind::kString, &g_switches.sqldel},
    {"sqlnull", SwitchKind::kString, &g_switches.sqlnull},
    {"sqlfile", SwitchKind::kString, &g_switches.sqlfile},
    {"logfile", SwitchKind::kString, &g_switches.logfile},
    {"listdel", SwitchKind::kString, &g_switches.listdel},
    {"regex", SwitchKind::kInt, &g_switches.regex},
    {"printres", SwitchKind::kInt, &g_switches.printres},
    {"charset", SwitchKind::kInt, &g_switches.charset},
    {"ogldepth", SwitchKind::kInt, &g_switches.ogldepth},
};

}  // namespace

const SwitchEntry* switch_table(int* count) {
    *count = static_cast<int>(sizeof kSwitchTable / sizeof kSwitchTable[0]);
    return kSwitchTable;
}

void init_core_switches() {
    g_switches.errorlevel = 1;
    g_switches.decimals = 6;
    g_switches.numwidth = 0;
    g_switches.strwidth = 0;
    reseed(0);
}

void reseed(int32_t seed) {
    g_random.last_seed = seed;
    uint32_t x = static_cast<uint32_t>(seed);
    for (uint32_t& word : g_random.words) {
        word = x & 0xFFFF0000u;
        x = 69069u * x + 1u;
        word |= x >> 16;
        x = 69069u * x + 1u;
    }
    g_random.index = 624;
}
