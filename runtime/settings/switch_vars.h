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
    int32_t errorlevel = 0;               ///< how reports are shown and whether they end the program
    std::atomic<int32_t> fastmode{0};     ///< the main thread's fast loop; read by the main thread's loops
    std::atomic<int32_t> messagemode{0};  ///< which notifications count as input; read by the window procedures
    int32_t randseed = 0;                 ///< the last seed of the random generator
    int32_t pdc = 0;                      ///< 0: drawing goes to the text window
    int32_t sqlwidth = 0;                 ///< kept, not read by the runtime
    int32_t sqlcolwidth = 0;              ///< kept, not read by the runtime
    int32_t sqldbc = 0;                   ///< kept, not read by the runtime
    int32_t truecolor = 0;                ///< kept, not read by the runtime
    std::atomic<int32_t> autopaint{0};    ///< repaint from the backing bitmap; read by the window procedures
    int32_t dbmemowidth = 0;              ///< kept, not read by the runtime
    int32_t debugmode = 0;                ///< kept, not read by the runtime
    int32_t onerror = 0;                  ///< 1: reports call the error handler
    int32_t decimals = 0;                 ///< kept, not read by the runtime
    int32_t numwidth = 0;                 ///< least width of numbers made text (RtString::assign_int)
    int32_t strwidth = 0;                 ///< least width of padded texts (print_text, print_to_file)
    int32_t filemode = 0;                 ///< kept, not read by the runtime
    RtString sqldel;                      ///< kept, not read by the runtime
    RtString sqldel_rest;  ///< the delimiter remainder that sqldel keeps beside the delimiter
    RtString sqlnull;      ///< kept, not read by the runtime
    RtString sqlfile;      ///< kept, not read by the runtime
    RtString logfile;      ///< the log file of reports; "" no log
    RtString listdel;      ///< the separator of list-view columns and of multiple answers
    int32_t regex = 0;     ///< non-zero: string_replace searches regular expressions
    int32_t printres = 0;  ///< kept, not read by the runtime
    int32_t charset = 0;   ///< a Windows character-set code, kept, not read by the runtime
    int32_t ogldepth = 0;  ///< kept, not read by the runtime
};

/// The switches of the program; they live for the whole run.
extern RtSwitches g_switches;

/// The storage of a switch.
enum class SwitchKind {
    kInt,        ///< an int32_t
    kAtomicInt,  ///< a std::atomic<int32_t>, read by the main thread
    kString,     ///< an RtString
};

/// One row of the table of switches.
struct SwitchEntry {
    const char* name;  ///< lower case, as the program body usually writes it
    SwitchKind kind;   ///< the storage of the variable
    void* variable;    ///< int32_t*, std::atomic<int32_t>* or RtString*: the field of g_switches
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
    uint32_t words[624];  ///< the state words
    int32_t index;        ///< the next word; 624 after seeding
    int32_t last_seed;    ///< the last seed given
};

/// The runtime's random generator.
extern RtRandomState g_random;

/// Seeds g_random with \p seed (what the `randseed` switch does); start-up seeds it with 0.
void reseed(int32_t seed);
