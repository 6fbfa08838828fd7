/// \file
/// The runtime switches: one global variable per switch with its static default (integers 0,
/// strings empty), the table of names in the order set_switch compares them, and the random
/// generator that randseed seeds. Start-up stages set the other defaults (\ref switches). Pure
/// C++. The worker owns the switches; the main thread reads the atomic ones.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/values/rt_string.h"

/// The switch variables, one per switch (the defaults here are the static ones, before start-up;
/// \ref switches gives those the body finds). Read them directly; change them with set_switch(),
/// which applies the rules some of them have.
struct RtSwitches {
    /// The switch of the same name; see \ref switches for its kind, default and effect.
    ///@{
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
    ///@}
};

/// The switches of the program; they live for the whole run.
extern RtSwitches g_switches;

/// The storage of a switch: kInt an int32_t, kAtomicInt a std::atomic<int32_t> (read by the main
/// thread), kString an RtString.
enum class SwitchKind { kInt, kAtomicInt, kString };

/// One row of the table of switches.
struct SwitchEntry {
    /// The switch's name, its kind, and its variable (the field of g_switches), as the comments
    /// say.
    ///@{
    const char* name;  // lower case, as the program body usually writes it
    SwitchKind kind;
    void* variable;    // int32_t*, std::atomic<int32_t>* or RtString*
    ///@}
};

/// The switches in the order in which set_switch() compares names; \p count receives the number
/// of entries. The table is static.
const SwitchEntry* switch_table(int* count);

/// Start-up stage of the core: errorlevel 1, decimals 6, numwidth 0, strwidth 0, randseed 0.
/// Called by the runtime.
void init_core_switches();

/// The random generator's state (MT19937), seeded with the seeding routine published with the
/// generator in 1998. No runtime function draws from it.
struct RtRandomState {
    /// The state words.
    uint32_t words[624];
    /// The next word; 624 after seeding.
    int32_t index;
    /// The last seed given.
    int32_t last_seed;
};

/// The runtime's random generator.
extern RtRandomState g_random;

/// Seeds g_random with \p seed (what the `randseed` switch does); start-up seeds it with 0.
void reseed(int32_t seed);
