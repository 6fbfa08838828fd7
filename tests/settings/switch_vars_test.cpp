#include "runtime/settings/switch_vars.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SwitchVars, StaticDefaultsBeforeAnyStartupStage) {
    int count = 0;
    const SwitchEntry* table = switch_table(&count);
    ASSERT_EQ(count, 26);
    for (int i = 0; i < count; ++i) {
        switch (table[i].kind) {
            case SwitchKind::kInt:
                EXPECT_EQ(*static_cast<int32_t*>(table[i].variable), 0) << table[i].name;
                break;
            case SwitchKind::kAtomicInt:
                EXPECT_EQ(static_cast<std::atomic<int32_t>*>(table[i].variable)->load(), 0) << table[i].name;
                break;
            case SwitchKind::kString:
                EXPECT_EQ(static_cast<RtString*>(table[i].variable)->length, 0) << table[i].name;
                break;
        }
    }
    EXPECT_EQ(g_switches.sqldel_rest.length, 0);
}

TEST(SwitchVars, TableOrderIsTheComparisonOrder) {
    int count = 0;
    const SwitchEntry* table = switch_table(&count);
    const char* expected[] = {"errorlevel", "fastmode", "messagemode", "randseed", "pdc", "sqlwidth", "sqlcolwidth",
                              "sqldbc", "truecolor", "autopaint", "dbmemowidth", "debugmode", "onerror", "decimals",
                              "numwidth", "strwidth", "filemode", "sqldel", "sqlnull", "sqlfile", "logfile",
                              "listdel", "regex", "printres", "charset", "ogldepth"};
    // Each row reaches its own variable.
    const RtSwitches& s = g_switches;
    const void* variables[] = {&s.errorlevel,  &s.fastmode, &s.messagemode, &s.randseed,  &s.pdc,         &s.sqlwidth,
                               &s.sqlcolwidth, &s.sqldbc,   &s.truecolor,   &s.autopaint, &s.dbmemowidth, &s.debugmode,
                               &s.onerror,     &s.decimals, &s.numwidth,    &s.strwidth,  &s.filemode,    &s.sqldel,
                               &s.sqlnull,     &s.sqlfile,  &s.logfile,     &s.listdel,   &s.regex,       &s.printres,
                               &s.charset,     &s.ogldepth};
    ASSERT_EQ(count, static_cast<int>(sizeof expected / sizeof expected[0]));
    ASSERT_EQ(count, static_cast<int>(sizeof variables / sizeof variables[0]));
    for (int i = 0; i < count; ++i) {
        EXPECT_STREQ(table[i].name, expected[i]);
        EXPECT_EQ(table[i].variable, variables[i]) << expected[i];
    }
}

TEST(SwitchVars, CoreStartupStage) {
    init_core_switches();
    EXPECT_EQ(g_switches.errorlevel, 1);
    EXPECT_EQ(g_switches.decimals, 6);
    EXPECT_EQ(g_switches.numwidth, 0);
    EXPECT_EQ(g_switches.strwidth, 0);
    EXPECT_EQ(g_random.last_seed, 0);
    EXPECT_EQ(g_random.index, 624);
}

TEST(SwitchVars, ReseedFollowsThe1998SeedingRoutine) {
    // Worked by hand from the routine: with x = seed, word = (x & 0xFFFF0000) | ((69069x + 1) >> 16),
    // then x advances twice.
    reseed(0);
    EXPECT_EQ(g_random.words[0], 0u);                         // x = 0, then 1: 0 | (1 >> 16)
    EXPECT_EQ(g_random.words[1], 0x00010000u | 0x1C59u);     // x = 69070 = 0x10DCE; next x = 0x1C5983F7
    reseed(-1);
    EXPECT_EQ(g_random.last_seed, -1);
    EXPECT_EQ(g_random.words[0], 0xFFFF0000u | 0xFFFEu);      // 69069 * 0xFFFFFFFF + 1 = 0xFFFEF234
    EXPECT_EQ(g_random.index, 624);
}

}  // namespace
