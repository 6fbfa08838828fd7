// The runtime switches: one global variable per switch with its static default (integers 0,
// strings empty), the table of names in the order set_switch compares them, and the random
// generator that randseed seeds. Start-up stages set the other defaults. Pure C++.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/values/rt_string.h"

struct RtSwitches {
    int32_t errorlevel = 0;
    std::atomic<int32_t> fastmode{0};     // read by the main thread's loops
    std::atomic<int32_t> messagemode{0};  // read by the window procedures
    int32_t randseed = 0;
    int32_t pdc = 0;
    int32_t sqlwidth = 0;
    int32_t sqlcolwidth = 0;
    int32_t sqldbc = 0;
    int32_t truecolor = 0;
    std::atomic<int32_t> autopaint{0};  // read by the window procedures
    int32_t dbmemowidth = 0;
    int32_t debugmode = 0;
    int32_t onerror = 0;
    int32_t decimals = 0;
    int32_t numwidth = 0;
    int32_t strwidth = 0;
    int32_t filemode = 0;
    RtString sqldel;
    RtString sqldel_rest;  // the delimiter remainder that sqldel keeps beside the delimiter
    RtString sqlnull;
    RtString sqlfile;
    RtString logfile;
    RtString listdel;
    int32_t regex = 0;
    int32_t printres = 0;
    int32_t charset = 0;
    int32_t ogldepth = 0;
};

extern RtSwitches g_switches;

enum class SwitchKind { kInt, kAtomicInt, kString };

struct SwitchEntry {
    const char* name;  // lower case, as the program body usually writes it
    SwitchKind kind;
    void* variable;    // int32_t*, std::atomic<int32_t>* or RtString*
};

// The switches in the order in which names are compared; `count` receives the number of entries.
const SwitchEntry* switch_table(int* count);

// Start-up stage of the core: errorlevel 1, decimals 6, numwidth 0, strwidth 0, randseed 0.
void init_core_switches();

// Random generator (MT19937 state) seeded with the 1998 seeding routine.
struct RtRandomState {
    uint32_t words[624];
    int32_t index;
    int32_t last_seed;
};

extern RtRandomState g_random;

void reseed(int32_t seed);
