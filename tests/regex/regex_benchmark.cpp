// Speed of CRegExpr against PCRE2's interpreter (no JIT) and libstdc++'s std::regex (ECMAScript) on
// the same inputs in one run: replace_all throughput and a single search, on 1 MB and 25 MB of
// mixed text, and the three pathological patterns on runs of a's of three sizes (up to 16 MB, with
// the steps and memory that the limits let them take). Prints a table of
// times (ms, best of a few runs) and ratios. Run on demand; never part of the test suite. An
// argument selects the rows whose name contains it.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "runtime/regex/regexpr.h"

namespace {

struct Row {
    const char* name;
    const char* ours;
    const char* pcre;
    uint32_t pcre_options;
    const char* ecma;  // null: std::regex is not run (exponential)
    std::regex::flag_type ecma_flags;
    const char* plant;  // the text planted as a match
};

const std::regex::flag_type kEcma = std::regex::ECMAScript;

const Row kRows[] = {
    {"literal", "zebra", "zebra", 0, "zebra", kEcma, "zebra"},
    {"literal, i", "(?i)zebra", "zebra", PCRE2_CASELESS, "zebra", kEcma | std::regex::icase, "ZeBra"},
    {"class run", "[0-9]{4,}", "[0-9]{4,}", 0, "[0-9]{4,}", kEcma, "20261207"},
    {"words", "zebra|zulu|zorro", "zebra|zulu|zorro", 0, "zebra|zulu|zorro", kEcma, "zorro"},
    {"anchored", "^zebra", "^zebra", 0, "^zebra", kEcma, "zebra"},
    {"counted loop", "(zo){2,4}x", "(zo){2,4}x", 0, "(zo){2,4}x", kEcma, "zozozox"},
    {"lazy", "zq.+?qz", "zq.+?qz", PCRE2_DOTALL, "zq[\\s\\S]+?qz", kEcma, "zqhello qz"},
    {"back-reference", "(z[a-y])~1", "(z[a-y])\\1", 0, "(z[a-y])\\1", kEcma, "zaza"},
    {".* line scan", "(?m-s)^.*zebra", "(*ANYCRLF)^.*zebra", PCRE2_MULTILINE, "^.*zebra", kEcma | std::regex::multiline,
     "zebra"},
};

const Row kPathological[] = {
    {"(a|a)*b", "(a|a)*b", "(a|a)*b", 0, nullptr, kEcma, "cb"},
    {"(x+x+)+y", "(x+x+)+y", "(x+x+)+y", 0, nullptr, kEcma, "zy"},
    {"(a|aa)*c", "(a|aa)*c", "(a|aa)*c", 0, nullptr, kEcma, "bc"},
};

// Words of a-y, digit groups of up to three digits, punctuation and CR LF line ends: no z, so the
// rows' patterns match only where a text is planted.
std::string mixed_text(size_t length) {
    std::string t;
    t.reserve(length + 16);
    uint32_t x = 2463534242u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    size_t line = 0;
    while (t.size() < length) {
        uint32_t r = next();
        if (r % 11 == 0) {
            t += std::to_string(r % 1000);
        } else {
            for (uint32_t n = 1 + r % 9; n > 0; --n)
                t += static_cast<char>('a' + next() % 25);
        }
        t += r % 7 == 0 ? ", " : r % 13 == 0 ? ". " : " ";
        if (t.size() - line > 70) {
            t += "\r\n";
            line = t.size();
        }
    }
    t.resize(length);
    return t;
}

// Plants the text every `every` bytes (and at the start); or only once at the end.
std::string planted(const std::string& base, const std::string& plant, size_t every) {
    std::string t = base;
    if (every == 0) {
        t.replace(t.size() - plant.size() - 2, plant.size(), plant);
        return t;
    }
    for (size_t at = 0; at + plant.size() + 2 < t.size(); at += every)
        t.replace(at, plant.size(), plant);
    return t;
}

// prepare runs before each timed run, outside the timing.
double best_ms(
    int repeats,
    const std::function<void()>& work,
    const std::function<void()>& prepare = [] {}) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        prepare();
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

volatile size_t g_sink;

pcre2_code* pcre_compile(const Row& row) {
    int err = 0;
    PCRE2_SIZE off = 0;
    return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(row.pcre), PCRE2_ZERO_TERMINATED, row.pcre_options, &err, &off,
                         nullptr);
}

// PCRE2's replace loop, as the engine's: search on behind each match, one byte further after an
// empty one. Returns the result length, or -1 when PCRE2 gives up (match limit).
long pcre_replace(pcre2_code* code, const std::string& s, pcre2_match_data* md) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    size_t q = 0, from = 0;
    while (from <= s.size()) {
        int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), from, 0, md, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH)
            break;
        if (rc < 0)
            return -1;
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        out.append(s, q, ov[0] - q);
        out += "<>";
        q = ov[1];
        from = ov[1] + (ov[0] == ov[1] ? 1 : 0);
    }
    out.append(s, q, std::string::npos);
    return static_cast<long>(out.size());
}

void print_row(const char* name, const char* size, const char* mode, double ours, double pcre, double ecma) {
    char p[32], e[32], rp[32], re[32];
    std::snprintf(p, sizeof p, pcre < 0 ? "limit" : "%.2f", pcre);
    std::snprintf(e, sizeof e, ecma < 0 ? "-" : "%.2f", ecma);
    std::snprintf(rp, sizeof rp, pcre < 0 ? "-" : "%.2f", ours / pcre);
    std::snprintf(re, sizeof re, ecma < 0 ? "-" : "%.3f", ours / ecma);
    std::printf("| %-15s | %-6s | %-7s | %10.2f | %10s | %10s | %7s | %7s |\n", name, size, mode, ours, p, e, rp, re);
    std::fflush(stdout);
}

void run_row(const Row& row, const std::string& base, const char* size, int repeats) {
    pcre2_code* code = pcre_compile(row);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    std::regex ecma(row.ecma, row.ecma_flags);
    // replace_all over a text with a planted match every 1000 bytes
    std::string text = planted(base, row.plant, 1000);
    RtString rt(text.data(), 0, static_cast<int32_t>(text.size()));
    size_t ours_len = 0;
    double ours = best_ms(repeats, [&] {
        CRegExpr re;
        re.set_expression(row.ours);
        ours_len = static_cast<size_t>(re.replace_all(rt, RtString("<>")).length);
    });
    long pcre_len = 0;
    double pcre = best_ms(repeats, [&] { pcre_len = pcre_replace(code, text, md); });
    size_t ecma_len = 0;
    double ecma_ms = best_ms(repeats, [&] { ecma_len = std::regex_replace(text, ecma, "<>").size(); });
    if (static_cast<long>(ours_len) != pcre_len || ours_len != ecma_len) {
        std::printf("  (result lengths differ: %zu %ld %zu)\n", ours_len, pcre_len, ecma_len);
    }
    print_row(row.name, size, "replace", ours, pcre, ecma_ms);
    // a single search that finds the one match at the end
    text = planted(base, row.plant, 0);
    CRegExpr re;
    re.set_expression(row.ours);
    RtString searched(text.data(), 0, static_cast<int32_t>(text.size()));
    // A fresh input each time: the engine remembers where it found things in the old one.
    ours = best_ms(
        repeats, [&] { g_sink = re.exec(1) ? static_cast<size_t>(re.match_pos(0)) : 0; },
        [&] { re.set_input(searched); });
    pcre = best_ms(repeats, [&] {
        g_sink = static_cast<size_t>(
            pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, md, nullptr));
    });
    ecma_ms = best_ms(repeats, [&] {
        std::smatch m;
        g_sink = std::regex_search(text, m, ecma) ? static_cast<size_t>(m.position(0)) : 0;
    });
    print_row(row.name, size, "search", ours, pcre, ecma_ms);
    pcre2_match_data_free(md);
    pcre2_code_free(code);
}

// The pathological rows also print what the limits cost and leave: the steps the search took, its
// step budget (in force only where failed states are not remembered), the peak bytes of stack and
// memo, and whether a full stack dropped its oldest records and started a try again.
void run_pathological(const Row& row, size_t n, const char* size) {
    pcre2_code* code = pcre_compile(row);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    std::string text(n, row.ours[1]);
    text += row.plant;
    RtString rt(text.data(), 0, static_cast<int32_t>(text.size()));
    int64_t steps = 0;
    int64_t budget = 0;
    size_t memory = 0;
    bool restarted = false;
    double ours = best_ms(n > (size_t{4} << 20) ? 1 : 3, [&] {
        CRegExpr re;
        re.set_expression(row.ours);
        g_sink = static_cast<size_t>(re.replace_all(rt, RtString("<>")).length);
        memory = re.memory_bytes();
        // replace_all searches once more after the match and fails; the first search did the work.
        re.set_input(rt);
        re.exec(1);
        steps = re.last_steps();
        budget = re.last_budget();
        restarted = re.last_restarted();
    });
    long pcre_len = 0;
    double pcre = best_ms(1, [&] { pcre_len = pcre_replace(code, text, md); });
    print_row(row.name, size, "replace", ours, pcre_len < 0 ? -1 : pcre, -1);
    std::printf("|   limits: %lld steps (budget where it applies %lld), peak stack + memo %.1f MB%s\n",
                static_cast<long long>(steps), static_cast<long long>(budget), static_cast<double>(memory) / (1 << 20),
                restarted ? ", stack dropped its oldest records and started again" : "");
    pcre2_match_data_free(md);
    pcre2_code_free(code);
}

}  // namespace

// With an argument, only the rows whose name contains it.
int main(int argc, char** argv) {
    const char* only = argc > 1 ? argv[1] : "";
    std::printf("| %-15s | %-6s | %-7s | %10s | %10s | %10s | %7s | %7s |\n", "pattern", "input", "mode", "ours ms",
                "pcre2 ms", "std ms", "/pcre2", "/std");
    std::printf("|-----------------|--------|---------|------------|------------|------------|---------|---------|\n");
    const struct {
        size_t bytes;
        const char* name;
        int repeats;
    } sizes[] = {{size_t{1} << 20, "1 MB", 5}, {size_t{25} << 20, "25 MB", 3}};
    for (const auto& size : sizes) {
        std::string base = mixed_text(size.bytes);
        for (const Row& row : kRows) {
            if (std::strstr(row.name, only))
                run_row(row, base, size.name, size.repeats);
        }
    }
    for (const Row& row : kPathological) {
        if (!std::strstr(row.name, only))
            continue;
        run_pathological(row, size_t{1} << 20, "1 MB");
        run_pathological(row, size_t{2} << 20, "2 MB");
        run_pathological(row, size_t{16} << 20, "16 MB");
    }
    return 0;
}
