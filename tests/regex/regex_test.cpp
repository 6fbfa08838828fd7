// Tests of CRegExpr: the dialect and the matching order through tables of searches and
// replacements, compile and run-time errors with their codes, the node programs of a few patterns
// as text, string_replace with the regex switch, and regressions of the mended faults.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/regex/regexpr.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/string_functions.h"

namespace {

using regex::kMaxMemoBytes;
using regex::kMaxStackBytes;

RtString bytes(const std::string& s) {
    return RtString(s.data(), 0, static_cast<int32_t>(s.size()));
}

std::string text(const RtString& s) {
    return std::string(s.data, static_cast<size_t>(s.length));
}

std::string replace(const std::string& pattern,
                    const std::string& input,
                    const std::string& replacement,
                    int64_t memo_after = -1) {
    CRegExpr re;
    re.set_expression(pattern.c_str());
    re.set_memo_after(memo_after);
    return text(re.replace_all(bytes(input), bytes(replacement)));
}

// The first match as "position,length/group-1 position,length".
std::string first_match(const std::string& pattern, const std::string& input, int64_t memo_after = -1) {
    CRegExpr re;
    re.set_expression(pattern.c_str());
    re.set_memo_after(memo_after);
    re.set_input(bytes(input));
    if (!re.exec(1))
        return "none";
    return std::to_string(re.match_pos(0)) + "," + std::to_string(re.match_len(0)) + "/" +
           std::to_string(re.match_pos(1)) + "," + std::to_string(re.match_len(1));
}

// The first match from offset k on the engine's stored input, as "position,length", or "none" or
// "error N".
std::string match_at(CRegExpr& re, int32_t k) {
    try {
        return re.exec(k) ? std::to_string(re.match_pos(0)) + "," + std::to_string(re.match_len(0)) : "none";
    } catch (const CRegExprException& e) {
        return "error " + std::to_string(e.code);
    }
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

int32_t error_of(const std::string& pattern, const std::string& input, int32_t* position = nullptr) {
    CRegExpr re;
    re.set_expression(pattern.c_str());
    re.set_input(bytes(input));
    try {
        re.exec(1);
    } catch (const CRegExprException& e) {
        if (position)
            *position = e.position;
        EXPECT_EQ(re.last_error(), e.code);
        return e.code;
    }
    return 0;
}

std::string nested_counted_loops(int depth) {
    std::string p = "a";
    for (int i = 0; i < depth; ++i)
        p = "(" + p + "){1}";
    return p;
}

struct ReplaceRow {
    const char* pattern;
    std::string input;
    const char* replacement;
    std::string expected;
};

TEST(RegexReplace, Table) {
    const ReplaceRow rows[] = {
        {"b", "abcabc", "X", "aXcaXc"},
        {"z", "abcabc", "X", "abcabc"},
        {"x*", "abc", "-", "-a-b-c-"},
        {"a+?", "aaa", "X", "XXX"},
        {"a+", "aaa", "X", "X"},
        {"a~.b", "a.b axb", "X", "X axb"},
        {"a\\.b", "a\\xb a.b", "X", "X a.b"},
        {"abc*", "abccc abab", "X", "X XX"},
        {"(abc)*d", "abcabcd", "X", "X"},
        {"a{2,3}", "aaaa", "X", "Xa"},
        {"a{,3}x", "a{,3}x", "X", "X"},
        {"a{x}", "a{x}", "X", "X"},
        {"[]a]", "]ab", "X", "XXb"},
        {"[a-]", "a-b", "X", "XXb"},
        {"[~s]", " \t\n\r\fx", "X", "XXXXXx"},
        {"[~w]", "0_-", "X", "XX-"},
        {"[\xE0-\xFF]", "\xB8\xE9", "X", "XX"},
        {"(?-r)[\xE0-\xFF]", "\xB8\xE9", "X", "\xB8X"},
        {"[\xC0-\xDF]", "\xA8\xC9\xE9", "X", "XX\xE9"},
        {"(?i)abc", "ABC", "X", "X"},
        {"((?i)a)b", "Ab AB", "X", "X AB"},
        {"(?i)[\xE4]", "\xC4\xE4", "X", "XX"},
        {"~x41~x{42}~x{0043}", "ABC", "X", "X"},
        {"(?x) a b # note", "ab", "X", "X"},
        {"a(?#note)b", "ab", "X", "X"},
        {"a.c", "a\rc", "X", "X"},
        {"(?-s)a.c", "a\rc a\nc abc", "X", "a\rc a\nc X"},
        {"(?m)^b", "a\r\nb\nb\rb", "X", "a\r\nX\nX\rX"},
        {"(?m)a$", "a\r\na\na\ra", "X", "X\r\nX\nX\rX"},
        {"(?m)$", "a\r\nb", "X", "aX\r\nbX"},  // a line end can start at a separator byte
        {"~bfoo~b", "a foo b afoob", "X", "a X b afoob"},
        {"~Bo", "oo", "X", "oX"},
        {"~d+~D", "12a", "X", "X"},
        {"(?g-g)a+b*", "aabb", "X", "XXbb"},
        {"(a|b)*?c", "abc", "X", "X"},
        {"x", std::string("axb\0x", 5), "Y", std::string("aYb\0x", 5)},
        // The text is first searched as if it had no NUL; one found starts again with the end there.
        {"b$", std::string("ab\0b", 4), "Y", std::string("aY\0b", 4)},
        // Counted bounds, greedy and lazy, on simple and complex atoms.
        {"a{2,}", "a aa aaaaa", "X", "a X X"},
        {"a{2,3}", "aaaaaaa", "X", "XXa"},
        {"a{2,3}?", "aaaaa", "X", "XXa"},
        {"(ab){2,}", "ab abab ababab", "X", "ab X X"},
        {"(ab){1,2}", "ababab", "X", "XX"},
        {"(ab){2,3}?", "abababab", "X", "XX"},
        {"xa??", "xa", "Y", "Ya"},
        {"xa?", "xa", "Y", "Y"},
        // Line rules: no line starts between CR and LF; without s a dot stops at every separator byte.
        {"(?m)^", "a\r\nb", "X", "Xa\r\nXb"},
        {"(?m-s).", "a\r\nb\rc\nd", "X", "X\r\nX\rX\nX"},
        // Word bytes are ASCII letters, digits and the underscore.
        {"~bx~b", "_x_ x x1 1x", "Y", "_x_ Y x1 1x"},
        {"~w+", "a_1\xE9-", "X", "X\xE9-"},
        {"~W+", "a\xE9-b", "X", "aXb"},
        {"~S+", "a b\tc", "X", "X X\tX"},
        {"~s", " \t\n\r\f\v", "X", "XXXXX\v"},
        // Escapes, also under i and inside classes.
        {"~t~x{FF}~a~e~f~n~r", "\t\xFF\a\x1B\f\n\r", "X", "X"},
        {"~0~~~.~(", "0~.(", "X", "X"},
        {"(?i)~x41~Q", "aq", "X", "X"},
        {"[~t~x41-~x43]", "\tBD", "X", "XXD"},
        {"[~]x]", "]x", "X", "XX"},
        {"~xAa~x{bB}", "\xAA\xBB", "X", "X"},
        {"(?i)~xFF", "\x9F\xFF", "X", "XX"},
        {"(?i)~x9F", "\x9F\xFF", "X", "XX"},
        {"~t+~x41*", "\t\tAAb", "X", "Xb"},
        {"\x01", "a\x01", "X", "aX"},
        // A '-' after a shorthand or a range is a member; a shorthand cannot end a range.
        {"[~d--/]", "1.-/", "X", "X.XX"},
        {"[a-~d]", "-5b", "X", "XXb"},
        // Under r, the Russian alphabet's bounds in reverse name both cases with their yo.
        {"[\xE0-\xDF]", "\xC0\xFF\xA8\xB8" "A", "X", "XXXXA"},
        // Single bytes and runs of the small classes, also at the end of the text.
        {"x~D", "x0x9xa", "Y", "x0x9Y"},
        {"x[^abc]", "xaxbxcxd", "Y", "xaxbxcY"},
        {"x[^abc]+", "xdeb", "Y", "Yb"},
        {"a~x00", "a", "X", "a"},
    };
    for (const ReplaceRow& row : rows) {
        EXPECT_EQ(replace(row.pattern, row.input, row.replacement), row.expected) << "pattern " << row.pattern;
    }
}

struct MatchRow {
    const char* pattern;
    const char* input;
    const char* expected;  // group 0 and group 1 as position,length, or none
};

TEST(RegexMatch, Table) {
    const MatchRow rows[] = {
        {"(ab|a)c", "abc", "1,3/1,2"},
        {"(a|ab)c", "abc", "1,3/1,2"},
        {"(a)|b", "b", "1,1/-1,-1"},
        {"(a)?~1", "", "none"},
        {"(a)?~1", "aa", "1,2/1,1"},
        {"(a|b)*", "abba", "1,4/4,1"},
        {"(a|b)+?", "abba", "1,1/1,1"},
        {"(a*)?b", "aab", "1,3/1,2"},
        {"^b", "ab", "none"},
        {"b$", "ab\n", "none"},
        {"~Aa|b~Z", "bab", "3,1/-1,-1"},
        {"(?i)(a)~1", "aA", "1,2/1,1"},
        {"[^~d]", "1", "none"},
        {"(x(y))", "xy", "1,2/1,2"},
        // Optional and lazy pieces pass the first-byte filter on to what follows them.
        {"a?b", "xb", "2,1/-1,-1"},
        {"a??b", "xb", "2,1/-1,-1"},
        {"(ab)?c", "xc", "2,1/-1,-1"},
        {"(ab)??c", "xabc", "2,3/2,2"},
        {"a*?b", "xb", "2,1/-1,-1"},
        {"a{0,2}?b", "xb", "2,1/-1,-1"},
        {"(a){0,2}?b", "xb", "2,1/-1,-1"},
        {"(a|)b", "xb", "2,1/2,0"},
        {"x(ab)??", "xab", "1,1/-1,-1"},
        {"(a)~1{2}", "aaab", "1,3/1,1"},
        // An alternative that begins with a class of three bytes is tried at each of them.
        {"x|[abc]y", "zby", "2,2/-1,-1"},
        {"x|[abc]y", "zcy", "2,2/-1,-1"},
    };
    for (const MatchRow& row : rows) {
        EXPECT_EQ(first_match(row.pattern, row.input), row.expected) << "pattern " << row.pattern;
    }
}

// A group reports its last successful pass; a pass that failed later leaves nothing behind.
TEST(RegexMatch, GroupsAfterBacktracking) {
    const struct {
        const char* pattern;
        const char* input;
        int32_t group;
        const char* expected;
    } rows[] = {
        {"(a(b)c|ab)d", "abd", 2, "-1,-1"}, {"((a)|b)+", "ab", 2, "1,1"}, {"(a(b)?)+", "aba", 2, "2,1"},
        {"(a|(b))+", "ba", 2, "1,1"},       {"(a)|(b)", "b", 2, "1,1"},   {"(a)*(b)", "aab", 1, "2,1"},
    };
    for (const auto& row : rows) {
        CRegExpr re;
        re.set_expression(row.pattern);
        re.set_input(RtString(row.input));
        ASSERT_TRUE(re.exec(1)) << row.pattern;
        EXPECT_EQ(std::to_string(re.match_pos(row.group)) + "," + std::to_string(re.match_len(row.group)), row.expected)
            << row.pattern << " group " << row.group;
    }
}

// The modifiers by index (1 i, 2 r, 3 s, 4 g, 5 m, 6 x) and the line separators.
TEST(RegexMatch, ModifiersAndLineSeparatorsSetOnTheEngine) {
    const struct {
        int32_t index;
        bool on;
        const char* pattern;
        const char* input;
        const char* expected;
    } rows[] = {
        {2, false, "[\xE0-\xFF]", "\xB8\xE9", "2,1"},
        {3, false, "a.c", "a\nc", "none"},
        {4, false, "a+", "aaa", "1,1"},
        {5, true, "^b", "a\r\nb", "4,1"},
        {6, true, " a b ", "xab", "2,2"},
    };
    for (const auto& row : rows) {
        CRegExpr re;
        re.set_expression(row.pattern);
        re.set_modifier(row.index, row.on);
        re.set_input(RtString(row.input));
        EXPECT_EQ(match_at(re, 1), row.expected) << row.pattern << " modifier " << row.index;
        EXPECT_EQ(re.get_modifier(row.index), row.on);
    }
    CRegExpr re;
    re.set_expression("(?m)^b|a$");
    re.set_input(RtString("xa;b"));
    EXPECT_EQ(match_at(re, 1), "none");
    re.set_line_separators(";");
    EXPECT_EQ(match_at(re, 1), "2,1");
    EXPECT_EQ(match_at(re, 3), "4,1");
    // A dot stops at a CR LF whatever the separators, and at a CR only when it is one; repeated as
    // one node and byte by byte alike.
    for (const char* pattern : {"(?-s)a.*", "(?-s)a(.)*"}) {
        CRegExpr dot;
        dot.set_expression(pattern);
        dot.set_line_separators(";");
        for (auto [input, expected] : {std::pair{"ab\r\nc", "1,2"}, {"ab\r\vc;", "1,5"}}) {
            dot.set_input(RtString(input));
            EXPECT_EQ(match_at(dot, 1), expected) << pattern;
        }
    }
    re.set_line_separators("");  // no separators: ^ and $ are the input's start and end
    re.set_input(RtString("b\r\na"));
    EXPECT_EQ(match_at(re, 2), "4,1");
    re.set_input(RtString("a\r\nb"));
    EXPECT_EQ(match_at(re, 2), "none");
    re.set_line_separators("\r");  // a line that ends in CR LF starts after the LF
    re.set_input(RtString("\r\nb"));
    EXPECT_EQ(match_at(re, 1), "3,1");
    EXPECT_THROW(re.set_modifier(7, true), CRegExprException);
}

TEST(RegexMatch, PositionsAndTextsAfterSearches) {
    CRegExpr re;
    re.set_expression("(b+)");
    re.set_input(RtString("abbcb"));
    ASSERT_TRUE(re.exec(1));
    EXPECT_EQ(text(re.match_text(1)), "bb");
    ASSERT_TRUE(re.exec_next());
    EXPECT_EQ(re.match_pos(0), 5);
    EXPECT_FALSE(re.exec_next());
    EXPECT_EQ(re.match_pos(0), -1);
    EXPECT_EQ(text(re.match_text(0)), "");
    EXPECT_TRUE(re.exec(6) == false && re.exec(7) == false);
    // A changed modifier recompiles before the next search.
    re.set_expression("B");
    EXPECT_FALSE(re.exec(1));
    re.set_modifier(1, true);
    EXPECT_TRUE(re.exec(1));
    EXPECT_TRUE(re.get_modifier(1) && re.get_modifier(2) && !re.get_modifier(5));
    re.replace_all(RtString("abc"), RtString("X"));
    EXPECT_EQ(re.match_pos(0), -1);
    EXPECT_EQ(re.match_len(0), -1);
    EXPECT_THROW(re.exec(1), CRegExprException);  // replace_all leaves no input stored
    // Where the first bytes were found in one input is not used for the next one.
    re.set_expression("(?i)q");
    re.set_input(RtString("xxQq"));
    ASSERT_TRUE(re.exec(1) && re.exec_next());
    re.set_input(RtString("q"));
    EXPECT_TRUE(re.exec(1));
    // Nor where an old expression's first bytes were found in the same input.
    CRegExpr two;
    two.set_expression("a|b");
    two.set_input(RtString("bxa"));
    ASSERT_TRUE(two.exec(1));
    two.set_expression("x|y");
    EXPECT_EQ(match_at(two, 1), "2,1");
}

struct ErrorRow {
    const char* pattern;
    int32_t code;
    int32_t position;
};

TEST(RegexErrors, CompileErrorsWithPositions) {
    const ErrorRow rows[] = {
        {"(a", 103, 2},           {"a)", 104, 1},     {"(a*)*", 106, 4},   {"(a*){2}", 106, 4}, {"~b+", 106, 2},
        {"(~1)*", 106, 4},        {"a**", 107, 2},    {"a{2}{3}", 107, 4}, {"a*?+", 107, 3},    {"~xG1", 108, 2},
        {"~x{4G}", 108, 4},       {"[z-a]", 109, 4},  {"[a~", 110, 3},     {"~x4", 111, 3},     {"~x{41", 111, 5},
        {"~x{141}", 112, 5},      {"[ab", 113, 3},    {"*a", 115, 0},      {"a|+", 115, 2},     {"ab~", 116, 3},
        {"a{123456789}", 122, 2}, {"a{3,2}", 124, 2}, {"(?#x", 125, 4},    {"(?q)", 127, 2},    {"(?i", 127, 3},
    };
    for (const ErrorRow& row : rows) {
        int32_t position = -1;
        EXPECT_EQ(error_of(row.pattern, "abc", &position), row.code) << "pattern " << row.pattern;
        EXPECT_EQ(position, row.position) << "pattern " << row.pattern;
    }
    EXPECT_EQ(error_of("(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)", "a"), 102);
    EXPECT_EQ(error_of("(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)", "a"), 0);
    EXPECT_EQ(error_of("(a*)?", "a"), 0);
    EXPECT_EQ(error_of("", "a"), 1003);
}

TEST(RegexErrors, RunTimeErrors) {
    CRegExpr re;
    EXPECT_THROW(re.compile(), CRegExprException);
    EXPECT_EQ(re.last_error(), 1003);
    re.set_expression(nullptr);
    EXPECT_THROW(re.compile(), CRegExprException);
    EXPECT_EQ(re.last_error(), 100);
    re.set_expression("a");
    EXPECT_EQ(error_of("a", std::string()), 0);
    EXPECT_THROW(re.exec(1), CRegExprException);
    EXPECT_EQ(re.last_error(), 1005);
    re.set_input(RtString("a"));
    EXPECT_THROW(re.exec(0), CRegExprException);
    EXPECT_EQ(re.last_error(), 1006);
    re.set_input(RtString("b"));
    EXPECT_FALSE(re.exec(1));
    EXPECT_THROW(re.exec_next(), CRegExprException);
    EXPECT_EQ(re.last_error(), 1007);
    EXPECT_THROW(re.get_modifier(7), CRegExprException);
    EXPECT_EQ(re.last_error(), 1013);
    EXPECT_THROW(re.set_modifier(0, true), CRegExprException);
    // A null expression after a compiled one crashed.
    re.set_expression("a");
    re.compile();
    re.set_expression(nullptr);
    EXPECT_EQ(match_at(re, 1), "error 100");
    EXPECT_EQ(re.last_error(), 100);
}

TEST(RegexDump, NodePrograms) {
    const struct {
        const char* pattern;
        const char* dump;
    } rows[] = {
        {"ab*c",
         "1 branch -> 32\n6 exactly \"a\" -> 13\n13 star -> 25\n18 exactly \"b\"\n25 exactly \"c\" -> 32\n32 end\n"
         "start a\nfirst [a]\n"},
        {"[abc][^a-d]",
         "1 branch -> 51\n6 any_of_3 [abc] -> 14\n14 any_of_set [\\x00-`e-\\xFF] -> 51\n51 end\nfirst [a-c]\n"},
        {"a*(bc)*d",
         "1 branch -> 68\n6 star -> 18\n11 exactly \"a\"\n18 branch -> 51\n23 open 1 -> 28\n28 branch -> 41\n"
         "33 exactly \"bc\" -> 41\n41 close 1 -> 46\n46 back -> 18\n51 branch -> 56\n56 nothing -> 61\n"
         "61 exactly \"d\" -> 68\n68 end\nmust \"d\"\nfirst [a-bd]\n"},
        {"a+?(bc)+?",
         "1 branch -> 63\n6 plus_lazy -> 18\n11 exactly \"a\"\n18 loop_entry -> 46\n23 open 1 -> 28\n"
         "28 branch -> 41\n33 exactly \"bc\" -> 41\n41 close 1 -> 46\n46 loop_lazy 1,2147483646 body 23 -> 63\n"
         "63 end\nfirst [a]\n"},
        {"(b|cd)?x",
         "1 branch -> 63\n6 branch -> 46\n11 open 1 -> 16\n16 branch -> 28\n21 exactly \"b\" -> 41\n"
         "28 branch -> 41\n33 exactly \"cd\" -> 41\n41 close 1 -> 51\n46 branch -> 51\n51 nothing -> 56\n"
         "56 exactly \"x\" -> 63\n63 end\nfirst [b-cx]\n"},
        {"a{2,3}?(bc){1,2}",
         "1 branch -> 71\n6 braces_lazy 2,3 -> 26\n19 exactly \"a\"\n26 loop_entry -> 54\n31 open 1 -> 36\n"
         "36 branch -> 49\n41 exactly \"bc\" -> 49\n49 close 1 -> 54\n54 loop 1,2 body 31 -> 71\n71 end\n"
         "first [a]\n"},
        {"(?i)a(?-i)b",
         "1 branch -> 30\n6 comment -> 11\n11 exactly_ci \"a\" -> 18\n18 comment -> 23\n23 exactly \"b\" -> 30\n"
         "30 end\nfirst [Aa]\n"},
        {"(a(b)){2}~2",
         "1 branch -> 78\n6 loop_entry -> 55\n11 open 1 -> 16\n16 branch -> 50\n21 exactly \"a\" -> 28\n"
         "28 open 2 -> 33\n33 branch -> 45\n38 exactly \"b\" -> 45\n45 close 2 -> 50\n50 close 1 -> 55\n"
         "55 loop 2,2 body 11 -> 72\n72 backref 2 -> 78\n78 end\nfirst [a]\n"},
        {"x.+?y",
         "1 branch -> 30\n6 exactly \"x\" -> 13\n13 plus_lazy -> 23\n18 any\n23 exactly \"y\" -> 30\n30 end\n"
         "start x\nfirst [x]\n"},
        {"(?m)^a|b$",
         "1 branch -> 23\n6 comment -> 11\n11 line_start -> 16\n16 exactly \"a\" -> 40\n23 branch -> 40\n"
         "28 exactly \"b\" -> 35\n35 line_end -> 40\n40 end\nfirst [a-b]\n"},
        {"^a", "1 branch -> 18\n6 input_start -> 11\n11 exactly \"a\" -> 18\n18 end\nanchored\nfirst [a]\n"},
    };
    for (const auto& row : rows) {
        CRegExpr re;
        re.set_expression(row.pattern);
        EXPECT_EQ(re.dump(), row.dump) << "pattern " << row.pattern;
    }
}

TEST(RegexStringReplace, RegexSwitchUsesTheEngine) {
    g_switches.regex = 1;
    EXPECT_EQ(text(string_replace(RtString("a1b22c"), RtString("~d+"), RtString("#"))), "a#b#c");
    // Neither a compile error nor a run-time error is reported: the source comes back.
    EXPECT_EQ(text(string_replace(RtString("a(b"), RtString("(b"), RtString("#"))), "a(b");
    EXPECT_EQ(text(string_replace(RtString("a"), RtString(nested_counted_loops(11).c_str()), RtString("#"))), "a");
    EXPECT_EQ(text(string_replace(RtString("a"), RtString(nested_counted_loops(10).c_str()), RtString("#"))), "#");
    const std::string budget_input = std::string(24, 'a') + "bc";  // the step budget's error
    EXPECT_EQ(text(string_replace(bytes(budget_input), RtString("(a|a)*~1c"), RtString("#"))), budget_input);
    // Remembering failed states from the middle of a search lost this match.
    EXPECT_EQ(text(string_replace(bytes(std::string(22, 'x') + "cbba"), RtString("(x+x+)+y|([ab]b?){2}(a)+?"),
                                  RtString("#"))),
              std::string(22, 'x') + "c#");
    g_switches.regex = 0;
    EXPECT_EQ(text(string_replace(RtString("a1b"), RtString("~d+"), RtString("#"))), "a1b");
}

// Regressions of the mended faults.

// Recursion per node overflowed the stack of the thread that searched.
TEST(RegexFaults, LongInputsAndLoopsRunOnAnOrdinaryThreadStack) {
    std::string result_a, result_b;
    std::thread worker([&] {
        std::string input(10 << 20, 'a');
        for (size_t i = 1; i < input.size(); i += 3)
            input[i] = 'b';
        input.back() = 'c';
        CRegExpr re;
        re.set_expression("(a|b)*c");
        re.set_input(bytes(input));
        result_a = re.exec(1) ? std::to_string(re.match_len(0)) : "none";
        std::string pairs;
        for (int i = 0; i < 100000; ++i)
            pairs += "ab";
        result_b = first_match("(ab){100000}", pairs + "x");
    });
    worker.join();
    EXPECT_EQ(result_a, std::to_string(10 << 20));
    EXPECT_EQ(result_b, "1,200000/199999,2");
}

// Exponential backtracking: these patterns took astronomically long on 10,000 a's.
TEST(RegexFaults, NestedAlternativesFailInLinearTime) {
    const std::string as(10000, 'a');
    const std::string xs(10000, 'x');
    // The literal that a match must contain occurs behind the run, so every start is searched.
    EXPECT_EQ(replace("(a|a)*b", as + "cb", "X"), as + "cX");
    EXPECT_EQ(replace("(x+x+)+y", xs + "zy", "X"), xs + "zy");
    EXPECT_EQ(replace("(a|aa)*c", as + "bc", "X"), as + "bX");
    EXPECT_EQ(replace("(a|aa)*c", as + "c", "X"), "X");
    EXPECT_EQ(first_match("(a+)+(b)", as + "b"), "1,10001/1,10000");
    // Compiling linked each new branch by walking all earlier ones.
    std::string branches = "ab";
    for (int i = 1; i < 100000; ++i)
        branches += "|ab";
    EXPECT_EQ(replace(branches, "xxabyy", "-"), "xx-yy");
}

// Quadratic work: lazy repetitions and finite maxima did not skip the positions known to fail, and
// counted loops with a maximum kept a state per count, past the budget without its error (now
// the budget's error would fail these rows).
TEST(RegexFaults, QuadraticShapesAnswerWithinTheBudget) {
    const struct {
        const char* pattern;
        const char* fill;  // repeated to 100,000 bytes
        const char* tail;
        const char* expected;
    } rows[] = {
        {"a*?b", "a", "xb", "100002,1"},
        {"a+?b", "a", "xb", "none"},
        {"~w+?~s", "a", "xb", "none"},
        {"[ab]{0,}?c", "a", "xc", "100002,1"},
        {"(a+?)*?b", "a", "xb", "100002,1"},
        {"(x+?x+?)+?y", "x", "zy", "none"},
        {"a{0,1000000}b", "a", "cb", "100002,1"},
        {"a{2,1000}?b", "a", "cb", "none"},
        {"(a|a){0,100000}b", "a", "cb", "100002,1"},
        {"(a|a){0,1000}b", "a", "cb", "100002,1"},
        {"(ab|ab){0,1000}?c", "ab", "xc", "100002,1"},
        // Successive starts meet a body of two bytes at even and odd positions in turn: the ranges
        // of failed exits of the two replaced each other.
        {"(a{2}|bb){0,1000}c", "a", "bc", "100002,1"},
        // A body of two widths, its maximum above the input's length: counters count as the minimum.
        {"(a|aa){0,150000}c", "a", "bc", "100002,1"},
    };
    for (const auto& row : rows) {
        CRegExpr re;
        re.set_expression(row.pattern);
        re.set_input(bytes(repeated(row.fill, 100000 / static_cast<int>(std::strlen(row.fill))) + row.tail));
        EXPECT_EQ(match_at(re, 1), row.expected) << row.pattern;
    }
}

// Remembering failed states may not change a match: every pattern finds the same with the set
// in use from the first step.
TEST(RegexFaults, RememberedFailuresChangeNoMatch) {
    const char* patterns[] = {"(a|ab)(c|bcd)(d*)", "(a+|b+)*c",     "(x(ab)*?y)*", "(a|b){2,3}?b",
                              "(ab|a){2}b",        "(a*b*)?c(d|)e", "([ab]+?)+?c", "(?m)(^a|b$)+"};
    const char* inputs[] = {"abcd", "ababbac", "xyxabyxababyx", "aabbab", "xababy", "aabbce", "abbac", "a\r\nab\nb"};
    for (const char* p : patterns) {
        for (const char* in : inputs) {
            EXPECT_EQ(first_match(p, in, 0), first_match(p, in)) << p << " in " << in;
            EXPECT_EQ(replace(p, in, "<>", 0), replace(p, in, "<>")) << p << " in " << in;
        }
    }
}

// A repeated back-reference backed off one byte per count, and an empty capture was counted
// up to the maximum.
TEST(RegexFaults, RepeatedBackReferences) {
    EXPECT_EQ(first_match("(ab)~1*ab", "abababab"), "1,8/1,2");
    EXPECT_EQ(first_match("(ab)~1*?b", "ababab"), "none");
    EXPECT_EQ(first_match("(ab)~1{1,}?a", "abababa"), "1,5/1,2");
    EXPECT_EQ(first_match("(a*)~1+b", "b"), "1,1/1,0");
    EXPECT_EQ(first_match("(a*)x~1{3}", "x"), "1,1/1,0");
    EXPECT_EQ(first_match("(a)~1*", "aaaaab"), "1,5/1,1");
}

// The loop stack: a pop not undone on backtracking, and a lazy loop that kept its level while the
// rest ran.
TEST(RegexFaults, CountedLoopStackFollowsBacktracking) {
    EXPECT_EQ(first_match("(ab|a){2}b", "xababy"), "2,4/4,1");
    EXPECT_EQ(first_match("(a|ab){2}c", "aabc"), "1,4/2,2");
    std::string xy;
    for (int i = 0; i < 12; ++i)
        xy += "xy";
    EXPECT_EQ(first_match("(x(ab)*?y)*", xy), "1,24/23,2");
    EXPECT_EQ(first_match("((a|b){1,2}?c){2}", "abcbc"), "1,5/4,2");
    // A counted loop entered after a lazy one had handed its level on took that level's loop node
    // for good: the failed states of the first were keyed with the second's bounds.
    EXPECT_EQ(first_match("(..){2,3}?(c){0,}?[ab]$", std::string(2000, 'c') + "acacccccccaaa"), "2007,7/2011,2");
    EXPECT_EQ(first_match("(a){1,2}?(b)+?", "aaab", 0), "2,3/3,1");
    EXPECT_EQ(first_match("(.){1,2}?(c)*?$", "aaaa", 0), "3,2/4,1");
    EXPECT_EQ(first_match("([ab]b?){2}(a)+?", "bba", 0), "1,3/2,1");
    EXPECT_EQ(error_of(nested_counted_loops(11), "a"), 1014);
    EXPECT_EQ(first_match(nested_counted_loops(10), "a"), "1,1/1,1");
}

// A search depended on earlier ones: the next first bytes found by a search from a higher offset
// were reused by one from a lower offset. Every search on one engine, in any order, finds what a
// fresh engine finds.
TEST(RegexFaults, SearchesOfOneInputAreIndependent) {
    const struct {
        const char* pattern;
        const char* input;
        std::vector<int32_t> offsets;  // searched first, then every offset down and up again
    } rows[] = {
        {"[ab]", "axxb", {3, 1, 5, 1}}, {"a|b", "bxxaxb", {4, 2}},   {"x*y", "xyaxxy", {5, 1}},
        {"(?i)q", "QxqxQ", {4, 2}},     {"(a|b)c", "acxbc", {3, 1}}, {"(a|a)*b", "aacab", {4, 1}},
        {"a*c", "axcaay", {4, 1}},  // a run that failed later on does not stretch an earlier one
    };
    // Once with the failed-state memory from the first step, whose failed runs outlive a search.
    for (int64_t memo_after : {-1, 0}) {
        for (const auto& row : rows) {
            CRegExpr re;
            re.set_memo_after(memo_after);
            re.set_expression(row.pattern);
            re.set_input(RtString(row.input));
            std::vector<int32_t> offsets = row.offsets;
            int32_t last = static_cast<int32_t>(std::strlen(row.input)) + 1;
            for (int32_t k = last; k >= 1; --k)
                offsets.push_back(k);
            for (int32_t k = 1; k <= last; ++k)
                offsets.push_back(k);
            for (int32_t k : offsets) {
                CRegExpr fresh;
                fresh.set_expression(row.pattern);
                fresh.set_input(RtString(row.input));
                EXPECT_EQ(match_at(re, k), match_at(fresh, k))
                    << row.pattern << " in " << row.input << " at " << k << ", memory after " << memo_after;
            }
        }
    }
}

// Limits: each search gives the right answer or raises the limit's own error, in bounded time and
// memory, and a limit reached leaves nothing behind that changes a later search.
TEST(RegexFaults, LimitsAnswerOrSaySo) {
    // A full failed-state set answered "no match", then for every later search of the input.
    const std::string stars = "(a|a)(a|a)" + repeated("a*", 40) + "b";
    const std::string as = std::string(50000, 'a') + "caab";
    CRegExpr re;
    re.set_expression(stars.c_str());
    re.set_input(bytes(as));
    EXPECT_EQ(match_at(re, 1), "50002,3");
    EXPECT_EQ(match_at(re, 50002), "50002,3");
    re.set_limits(kMaxStackBytes, 1 << 16);
    re.set_input(bytes(as.substr(45000)));
    std::string limited = match_at(re, 1);
    EXPECT_TRUE(limited == "5002,3" || limited == "error 1016") << limited;
    EXPECT_EQ(match_at(re, 5002), "5002,3");

    // Without back-references a full stack drops its oldest records and the try starts again.
    re.set_limits(1 << 20, kMaxMemoBytes);
    re.set_expression("(a|a)*b");
    re.set_input(bytes(std::string(100000, 'a') + "cb"));
    EXPECT_EQ(match_at(re, 1), "100002,1");
    EXPECT_TRUE(re.last_restarted());
    EXPECT_LE(re.memory_bytes(), size_t{1} << 21);
    re.set_expression("((a)|b)*c~2");
    EXPECT_EQ(match_at(re, 1), "error 1017");

    const struct {
        std::string pattern;
        std::string input;
        const char* expected;
    } rows[] = {
        // Exponential compile: the first-character walk followed both ways of every optional.
        {repeated("^?~b?(?#c)?", 40) + "a", "xxa", "3,1"},
        // Back-references are bounded by the step budget only (doubled every two a's more).
        {"(a|a)*~1c", std::string(24, 'a') + "bc", "error 1016"},
        // More loop stacks than the set used to keep, and program offsets past its key's width.
        {"^(a|a){4200}b", std::string(4199, 'a') + "cb", "none"},
        {"a*" + repeated(".?", 100000) + "c", std::string(200, 'a') + "bc", "1,202"},
        // The program's size wrapped in 32 bits and the emitting pass wrote past its buffer.
        {repeated(".?", 900000), "a", "error 130"},
    };
    for (const auto& row : rows) {
        CRegExpr fresh;
        fresh.set_expression(row.pattern.c_str());
        fresh.set_input(bytes(row.input));
        EXPECT_EQ(match_at(fresh, 1), row.expected) << row.pattern.substr(0, 40);
    }
}

}  // namespace
