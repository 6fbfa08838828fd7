// Speed of CRegExpr against PCRE2's interpreter (no JIT) and libstdc++'s std::regex (ECMAScript) on
// the same inputs in one run: replace_all throughput and a single search, on 1 MB and 25 MB of
// mixed text (the patterns of well-known cross-language regex benchmarks among them, the DNA one
// on a DNA text), and the pathological patterns on runs of one byte: 100 KB ten times against
// 1 MB once (linear time gives a ratio near 1), and 16 MB, with the steps, step budget and memory
// that the limits let them take. Prints tables of times (ms, best of a few runs, the engine's and
// PCRE2's in turns; a run is the mean of as many calls as fill 2 ms, so that short searches are
// measured too) and ratios. Run
// on demand; never part of the test suite. An argument selects the rows whose name contains it.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "runtime/regex/regexpr.h"

namespace {

enum TextKind { kMixed, kDna };

struct Row {
    const char* name;
    const char* ours;
    const char* pcre;
    uint32_t pcre_options;
    const char* ecma;  // null: std::regex is not run (exponential)
    std::regex::flag_type ecma_flags;
    const char* plant;  // the text planted as a match
    TextKind text;
};

const std::regex::flag_type kEcma = std::regex::ECMAScript;

const Row kRows[] = {
    {"literal", "zebra", "zebra", 0, "zebra", kEcma, "zebra", kMixed},
    {"literal, i", "(?i)zebra", "zebra", PCRE2_CASELESS, "zebra", kEcma | std::regex::icase, "ZeBra", kMixed},
    {"class run", "[0-9]{4,}", "[0-9]{4,}", 0, "[0-9]{4,}", kEcma, "20261207", kMixed},
    {"words", "zebra|zulu|zorro", "zebra|zulu|zorro", 0, "zebra|zulu|zorro", kEcma, "zorro", kMixed},
    {"anchored", "^zebra", "^zebra", 0, "^zebra", kEcma, "zebra", kMixed},
    {"counted loop", "(zo){2,4}x", "(zo){2,4}x", 0, "(zo){2,4}x", kEcma, "zozozox", kMixed},
    {"lazy", "zq.+?qz", "zq.+?qz", PCRE2_DOTALL, "zq[\\s\\S]+?qz", kEcma, "zqhello qz", kMixed},
    {"back-reference", "(z[a-y])~1", "(z[a-y])\\1", 0, "(z[a-y])\\1", kEcma, "zaza", kMixed},
    {".* line scan", "(?m-s)^.*zebra", "(*ANYCRLF)^.*zebra", PCRE2_MULTILINE, "^.*zebra", kEcma | std::regex::multiline,
     "zebra", kMixed},
    // The shapes of well-known cross-language benchmarks (groups capture here: the dialect has no
    // other kind).
    {"e-mail", "[~w.+-]+@[~w.-]+~.[~w.-]+", "[\\w.+-]+@[\\w.-]+\\.[\\w.-]+", 0, "[\\w.+-]+@[\\w.-]+\\.[\\w.-]+", kEcma,
     "joe.bloggs@example.com", kMixed},
    {"URI", "[~w]+://[^/~s?#]+[^~s?#]+(~?[^~s#]*)?(#[^~s]*)?", "[\\w]+://[^/\\s?#]+[^\\s?#]+(\\?[^\\s#]*)?(#[^\\s]*)?",
     0, "[\\w]+://[^/\\s?#]+[^\\s?#]+(\\?[^\\s#]*)?(#[^\\s]*)?", kEcma, "http://example.com/a/b?q=1#top", kMixed},
    {"IPv4", "((25[0-5]|2[0-4]~d|[01]?~d~d?)~.){3}(25[0-5]|2[0-4]~d|[01]?~d~d?)",
     "((25[0-5]|2[0-4]\\d|[01]?\\d\\d?)\\.){3}(25[0-5]|2[0-4]\\d|[01]?\\d\\d?)", 0,
     "((25[0-5]|2[0-4]\\d|[01]?\\d\\d?)\\.){3}(25[0-5]|2[0-4]\\d|[01]?\\d\\d?)", kEcma, "192.168.10.254", kMixed},
    {"DNA variants", "[cgt]gggtaaa|tttaccc[acg]", "[cgt]gggtaaa|tttaccc[acg]", 0, "[cgt]gggtaaa|tttaccc[acg]", kEcma,
     "tttacccg", kDna},
    {"word suffix", "[a-zA-Z]+ing", "[a-zA-Z]+ing", 0, "[a-zA-Z]+ing", kEcma, "zing", kMixed},
    {"quoted", "\"[^\"]*\"", "\"[^\"]*\"", 0, "\"[^\"]*\"", kEcma, "\"zebra crossing\"", kMixed},
};

// The pathological rows: the pattern on a run of `fill` bytes followed by `tail`.
struct Pathological {
    const char* pattern;
    char fill;
    const char* tail;
};

const Pathological kPathological[] = {
    // Exponential for plain backtracking.
    {"(a|a)*b", 'a', "cb"},
    {"(x+x+)+y", 'x', "zy"},
    {"(a|aa)*c", 'a', "bc"},
    // Quadratic for plain backtracking: lazy repetitions, a large finite maximum, a counted loop
    // over a group with a large finite maximum.
    {"a*?b", 'a', "xb"},
    {"~w+?~s", 'a', "xb"},
    {"(x+?x+?)+?y", 'x', "zy"},
    {"a{0,1000000}b", 'a', "cb"},
    {"(a|a){0,100000}b", 'a', "cb"},
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

// Random a, c, g and t in lines of 60, without the planted variant.
std::string dna_text(size_t length) {
    std::string t;
    t.reserve(length);
    uint32_t x = 88172645u;
    while (t.size() < length) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        t += t.size() % 61 == 60 ? '\n' : "acgt"[x % 4];
    }
    // Breaks up chance matches of the row's pattern, so that only the planted ones match.
    for (size_t at = 0; (at = t.find("gggtaaa", at)) != std::string::npos; at += 7)
        t[at + 3] = 'c';
    for (size_t at = 0; (at = t.find("tttaccc", at)) != std::string::npos; at += 7)
        t[at + 3] = 'g';
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

volatile size_t g_sink;

// The time of one call of work, which makes `calls` calls (prepare runs before each work, outside
// the timing): the mean of as many as take 2 ms together.
double mean_call_ms(const std::function<void()>& work, const std::function<void()>& prepare, size_t calls = 1) {
    double total = 0;
    size_t made = 0;
    do {
        prepare();
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        total += elapsed.count();
        made += calls;
    } while (total < 2.0 && made < 100000);
    return total / static_cast<double>(made);
}

const std::function<void()> kNothing = [] {};

// The best of `repeats` such means.
double per_call_ms(int repeats, const std::function<void()>& work, const std::function<void()>& prepare = kNothing) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i)
        best = std::min(best, mean_call_ms(work, prepare));
    return best;
}

// The same for the engine and PCRE2 in turns, so that a machine that speeds up or slows down
// meanwhile changes both: their best times, and the median of the rounds' ratios (a ratio of two
// best times follows whichever side had the one lucky round; where both are bound by memory, as
// one memchr over 25 MB, that alone moves it by a fifth).
// The second of two turns finds more of its input in the cache that the first one's copy left
// (25 MB fill most of it): the order changes from one round to the next.
double compare_ms(int repeats,
                  const std::function<void()>& ours,
                  const std::function<void()>& pcre,
                  double* ours_ms,
                  double* pcre_ms,
                  const std::function<void()>& ours_prepare = kNothing,
                  const std::function<void()>& pcre_prepare = kNothing,
                  size_t calls = 1) {
    *ours_ms = *pcre_ms = 1e30;
    std::vector<double> ratios;
    for (int i = 0; i < repeats; ++i) {
        double o = 0, q = 0;
        if (i % 2 == 0)
            o = mean_call_ms(ours, ours_prepare, calls);
        q = mean_call_ms(pcre, pcre_prepare, calls);
        if (i % 2 == 1)
            o = mean_call_ms(ours, ours_prepare, calls);
        *ours_ms = std::min(*ours_ms, o);
        *pcre_ms = std::min(*pcre_ms, q);
        ratios.push_back(o / q);
    }
    std::sort(ratios.begin(), ratios.end());
    size_t n = ratios.size();
    return n % 2 == 1 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
}

// Copies a text as set_input does: pieces of 32 KB, each searched for a 0 while it is in the cache.
void copy_as_set_input(std::vector<char>& to, const std::string& from) {
    to.resize(from.size() + 1);
    for (size_t done = 0; done < from.size(); done += 32768) {
        size_t piece = std::min<size_t>(32768, from.size() - done);
        std::memcpy(to.data() + done, from.data() + done, piece);
        g_sink = g_sink + (std::memchr(to.data() + done, 0, piece) != nullptr);
    }
    to[from.size()] = 0;
}

pcre2_code* pcre_compile(const char* pattern, uint32_t options) {
    int err = 0;
    PCRE2_SIZE off = 0;
    return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, options, &err, &off, nullptr);
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

std::string ms_text(double ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, ms < -1 ? "-" : ms < 0 ? "limit" : ms < 0.1 ? "%.4f" : "%.2f", ms);
    return buf;
}

void print_row(const char* name,
               const char* size,
               const char* mode,
               double ours,
               double pcre,
               double ratio,
               double ecma) {
    char rp[32], re[32];
    std::snprintf(rp, sizeof rp, pcre < 0 ? "-" : "%.2f", ratio);
    std::snprintf(re, sizeof re, ecma < 0 ? "-" : "%.3f", ours / ecma);
    std::printf("| %-15s | %-6s | %-7s | %10s | %10s | %10s | %7s | %7s |\n", name, size, mode, ms_text(ours).c_str(),
                ms_text(pcre).c_str(), ecma < 0 ? "-" : ms_text(ecma).c_str(), rp, re);
    std::fflush(stdout);
}

void run_row(const Row& row, const std::string& base, const char* size, int repeats) {
    pcre2_code* code = pcre_compile(row.pcre, row.pcre_options);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    std::regex ecma(row.ecma, row.ecma_flags);
    // replace_all over a text with a planted match every 1000 bytes; a fresh engine each time,
    // as string_replace makes one
    std::string text = planted(base, row.plant, 1000);
    RtString rt(text.data(), 0, static_cast<int32_t>(text.size()));
    RtString replacement("<>");
    size_t ours_len = 0;
    long pcre_len = 0;
    double ours = 0, pcre = 0;
    double ratio = compare_ms(
        repeats,
        [&] {
            CRegExpr re;
            re.set_expression(row.ours);
            ours_len = static_cast<size_t>(re.replace_all(rt, replacement).length);
        },
        [&] { pcre_len = pcre_replace(code, text, md); }, &ours, &pcre);
    size_t ecma_len = 0;
    double ecma_ms = per_call_ms(1, [&] { ecma_len = std::regex_replace(text, ecma, "<>").size(); });
    if (static_cast<long>(ours_len) != pcre_len || ours_len != ecma_len) {
        std::printf("  (result lengths differ: %zu %ld %zu)\n", ours_len, pcre_len, ecma_len);
    }
    print_row(row.name, size, "replace", ours, pcre, ratio, ecma_ms);
    // A single search that finds the one match at the end, on a fresh input (the engine remembers
    // where it found things in the old one): the inputs of a few engines, set before a run of their
    // searches, so that short searches are measured too. PCRE2 searches as many copies made the
    // way set_input makes them, so that both start from the same cache state.
    text = planted(base, row.plant, 0);
    size_t engines = std::max<size_t>(1, (size_t{8} << 20) / text.size());
    std::unique_ptr<CRegExpr[]> re(new CRegExpr[engines]);
    std::vector<std::vector<char>> copies(engines);
    RtString searched(text.data(), 0, static_cast<int32_t>(text.size()));
    for (size_t i = 0; i < engines; ++i)
        re[i].set_expression(row.ours);
    // a search is short beside its input's copy: three times the rounds
    ratio = compare_ms(
        3 * repeats,
        [&] {
            for (size_t i = 0; i < engines; ++i)
                g_sink = re[i].exec(1) ? static_cast<size_t>(re[i].match_pos(0)) : 0;
        },
        [&] {
            for (const std::vector<char>& copy : copies)
                g_sink = static_cast<size_t>(
                    pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(copy.data()), text.size(), 0, 0, md, nullptr));
        },
        &ours, &pcre,
        [&] {
            for (size_t i = 0; i < engines; ++i)
                re[i].set_input(searched);
        },
        [&] {
            for (std::vector<char>& copy : copies)
                copy_as_set_input(copy, text);
        },
        engines);
    ecma_ms = per_call_ms(1, [&] {
        std::smatch m;
        g_sink = std::regex_search(text, m, ecma) ? static_cast<size_t>(m.position(0)) : 0;
    });
    print_row(row.name, size, "search", ours, pcre, ratio, ecma_ms);
    pcre2_match_data_free(md);
    pcre2_code_free(code);
}

// What one replace_all of a pathological input cost: time, and the steps, step budget and peak
// memory of its first search (the second, after the match, fails at once), and whether a full
// stack dropped its oldest records and started a try again.
struct Cost {
    double ms = 0;
    int64_t steps = 0;
    int64_t budget = 0;
    size_t memory = 0;
    bool restarted = false;
};

Cost pathological_cost(const Pathological& row, size_t n, int rounds) {
    std::string text(n, row.fill);
    text += row.tail;
    RtString rt(text.data(), 0, static_cast<int32_t>(text.size()));
    Cost cost;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        CRegExpr re;
        re.set_expression(row.pattern);
        g_sink = static_cast<size_t>(re.replace_all(rt, RtString("<>")).length);
        cost.memory = re.memory_bytes();
    }
    std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    cost.ms = elapsed.count();
    CRegExpr re;
    re.set_expression(row.pattern);
    re.set_input(rt);
    re.exec(1);
    cost.steps = re.last_steps();
    cost.budget = re.last_budget();
    cost.restarted = re.last_restarted();
    return cost;
}

// PCRE2 (its default match limit) on the 100 KB input (on 1 MB the quadratic ones take minutes);
// -1 when it gives up, -2 when it does not compile the pattern.
double pathological_pcre(const Pathological& row, size_t n) {
    std::string translated;
    for (const char* p = row.pattern; *p; ++p)
        translated += *p == '~' ? '\\' : *p;
    pcre2_code* code = pcre_compile(translated.c_str(), 0);
    if (code == nullptr)
        return -2;  // a count above PCRE2's
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    std::string text(n, row.fill);
    text += row.tail;
    long len = 0;
    double ms = per_call_ms(1, [&] { len = pcre_replace(code, text, md); });
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    return len < 0 ? -1 : ms;
}

void run_pathological(const Pathological& row) {
    const size_t k100 = 100000, m1 = 1000000, m16 = size_t{16} << 20;
    Cost small = pathological_cost(row, k100, 10);
    Cost large = pathological_cost(row, m1, 1);
    Cost huge = pathological_cost(row, m16, 1);
    double pcre = pathological_pcre(row, k100);
    std::printf("| %-17s | %11.1f | %8.1f | %6.2f | %8.1f | %10s | %10.2e | %10.2e | %7.1f%s |\n", row.pattern,
                small.ms, large.ms, large.ms / small.ms, huge.ms, ms_text(pcre).c_str(),
                static_cast<double>(huge.steps), static_cast<double>(huge.budget),
                static_cast<double>(huge.memory) / (1 << 20), huge.restarted ? " (stack restarted)" : "");
    std::fflush(stdout);
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
    } sizes[] = {{size_t{1} << 20, "1 MB", 10}, {size_t{25} << 20, "25 MB", 6}};
    for (const auto& size : sizes) {
        std::string mixed = mixed_text(size.bytes);
        std::string dna = dna_text(size.bytes);
        for (const Row& row : kRows) {
            if (std::strstr(row.name, only))
                run_row(row, row.text == kDna ? dna : mixed, size.name, size.repeats);
        }
    }
    bool any = false;
    for (const Pathological& row : kPathological)
        any = any || std::strstr(row.pattern, only) != nullptr;
    if (!any)
        return 0;
    std::printf(
        "\nPathological patterns, replace_all of a run of one byte and a tail without a match: 100 KB ten\n"
        "times against 1 MB once (linear time: a ratio near 1), 16 MB with the steps, budget and peak\n"
        "memory of its search, and PCRE2 on 100 KB (limit: it gives up at its match limit).\n\n");
    std::printf("| %-17s | %11s | %8s | %6s | %8s | %10s | %10s | %10s | %7s |\n", "pattern", "100 KB x 10", "1 MB",
                "ratio", "16 MB", "pcre2 100K", "16MB steps", "budget", "peak MB");
    std::printf(
        "|-------------------|-------------|----------|--------|----------|------------|------------|------------|"
        "---------|\n");
    for (const Pathological& row : kPathological) {
        if (std::strstr(row.pattern, only))
            run_pathological(row);
    }
    return 0;
}
