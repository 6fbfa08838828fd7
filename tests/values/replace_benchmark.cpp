// Speed of string_replace, string_count and string_find against a plain baseline measured in the
// same run: one pass of memchr plus memcpy into a preallocated buffer. Prints the figures and the
// ratios; run on demand (not by ctest), since the machine is shared and absolute times are noisy.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/values/string_functions.h"

namespace {

constexpr int32_t kMiB = 1 << 20;
constexpr int kRepeats = 5;

// Letters only, so that a needle that starts with another byte is found by its first byte alone.
// count needles are spread evenly over the text.
RtString make_text(int32_t length, const std::string& needle, int32_t count) {
    std::string text(static_cast<size_t>(length), 'a');
    uint32_t x = 12345;
    for (char& c : text) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>('a' + (x >> 16) % 26);
    }
    int64_t step = count > 0 ? length / count : 0;
    for (int32_t i = 0; i < count; ++i) {
        std::memcpy(&text[static_cast<size_t>(i * step + step / 2)], needle.data(), needle.size());
    }
    RtString s;
    s.append_bytes(text.data(), text.size());
    return s;
}

// The best of a few runs, in seconds; prepare runs before each timed run, outside the timing.
double best_time(
    const std::function<void()>& work,
    const std::function<void()>& prepare = [] {}) {
    double best = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        prepare();
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = elapsed.count() < best ? elapsed.count() : best;
    }
    return best;
}

volatile size_t g_sink;  // keeps results alive

// One pass: memchr for the needle's first byte, memcpy of the bytes before it and of the
// replacement into a buffer allocated (and touched) beforehand.
size_t baseline_replace(const RtString& s, char first, size_t needle_length, const std::string& r, char* out) {
    const char* from = s.c_str();
    const char* end = from + s.length;
    char* o = out;
    while (const char* hit = static_cast<const char*>(std::memchr(from, first, static_cast<size_t>(end - from)))) {
        std::memcpy(o, from, static_cast<size_t>(hit - from));
        o += hit - from;
        std::memcpy(o, r.data(), r.size());
        o += r.size();
        from = hit + needle_length;
    }
    std::memcpy(o, from, static_cast<size_t>(end - from));
    return static_cast<size_t>(o - out) + static_cast<size_t>(end - from);
}

size_t baseline_count(const RtString& s, char first, size_t needle_length) {
    const char* from = s.c_str();
    const char* end = from + s.length;
    size_t n = 0;
    while (const char* hit = static_cast<const char*>(std::memchr(from, first, static_cast<size_t>(end - from)))) {
        ++n;
        from = hit + needle_length;
    }
    return n;
}

void print_row(const char* what, double baseline, double measured) {
    std::printf("  %-34s baseline %8.2f ms   runtime %8.2f ms   ratio %5.2f\n", what, baseline * 1e3, measured * 1e3,
                measured / baseline);
}

struct Case {
    const char* name;
    std::string needle;
    std::string replacement;
};

void run_case(const Case& c, int32_t length, int32_t occurrences, bool print) {
    RtString text = make_text(length, c.needle, occurrences);
    RtString f(c.needle.c_str());
    RtString r(c.replacement.c_str());
    size_t out_size = static_cast<size_t>(length) + static_cast<size_t>(occurrences) * c.replacement.size() + 16;
    std::vector<char> out(out_size, 1);

    // Two baselines: into a buffer already written once (its pages are mapped), and into a buffer
    // freshly allocated before the run, whose pages the first write maps, as they are for any new
    // result of that size.
    double warm_replace =
        best_time([&] { g_sink = baseline_replace(text, c.needle[0], c.needle.size(), c.replacement, out.data()); });
    char* fresh = nullptr;
    double base_replace =
        best_time([&] { g_sink = baseline_replace(text, c.needle[0], c.needle.size(), c.replacement, fresh); },
                  [&] {
                      std::free(fresh);
                      fresh = static_cast<char*>(std::malloc(out_size));
                  });
    std::free(fresh);
    // The result is freed before the next run, outside the timing, as the baseline's buffer is.
    std::unique_ptr<RtString> result;
    double run_replace =
        best_time([&] { result.reset(new RtString(string_replace(text, f, r))); }, [&] { result.reset(); });
    g_sink = static_cast<size_t>(result->length);
    double base_count = best_time([&] { g_sink = baseline_count(text, c.needle[0], c.needle.size()); });
    double run_count = best_time([&] { g_sink = static_cast<size_t>(string_count(text, f)); });

    // string_find over the whole text for a needle that occurs only at its very end.
    RtString tail = make_text(length, c.needle, 0);
    std::memcpy(tail.data + length - static_cast<int32_t>(c.needle.size()), c.needle.data(), c.needle.size());
    int32_t positions = length - static_cast<int32_t>(c.needle.size()) + 1;
    double base_find = best_time([&] {
        g_sink = reinterpret_cast<size_t>(std::memchr(tail.c_str(), c.needle[0], static_cast<size_t>(length)));
    });
    const char* found = nullptr;
    double run_find = best_time([&] {
        found = string_find(tail.c_str(), tail.c_str() + length, f.c_str(), positions, f.length);
        g_sink = reinterpret_cast<size_t>(found);
    });

    RtString replaced = string_replace(text, f, r);
    int64_t expected_length =
        length + static_cast<int64_t>(occurrences) * (static_cast<int64_t>(c.replacement.size()) - f.length);
    if (replaced.length != expected_length || string_count(text, f) != occurrences ||
        found != tail.c_str() + length - f.length) {
        std::printf("  WRONG RESULT for %s at %d MiB\n", c.name, length / kMiB);
    }
    if (!print) {
        std::printf(
            "  %3d MiB: replace %.2f ns/byte (ratio %.2f), count %.2f ns/byte (ratio %.2f), find %.3f ns/byte\n",
            length / kMiB, run_replace * 1e9 / length, run_replace / base_replace, run_count * 1e9 / length,
            run_count / base_count, run_find * 1e9 / length);
        return;
    }
    std::printf("%s, %d MiB, %d occurrences\n", c.name, length / kMiB, occurrences);
    print_row("string_replace (fresh buffer)", base_replace, run_replace);
    print_row("string_replace (warm buffer)", warm_replace, run_replace);
    print_row("string_count", base_count, run_count);
    print_row("string_find (needle at the end)", base_find, run_find);
}

}  // namespace

int main() {
    const Case cases[] = {
        {"1-byte needle -> 3 bytes", "#", "%23"},
        {"10-byte needle -> 1 byte", "<needle10>", "_"},
    };
    for (const Case& c : cases) {
        run_case(c, 64 * kMiB, 1000000, true);
        std::printf(" growth with the text (same density of occurrences; ratios to the fresh-buffer baseline):\n");
        for (int32_t mib : {8, 16, 32, 64}) {
            run_case(c, mib * kMiB, mib * 1000000 / 64, false);
        }
        std::printf("\n");
    }
    return 0;
}
