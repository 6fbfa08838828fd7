// Differential fuzz target: CRegExpr against PCRE2 on the dialects' common subset.
// An input is a pattern in the tilde dialect, a NUL byte and a subject. The pattern is translated
// to PCRE2 syntax (tilde escapes to backslash ones, classes member by member); a pattern outside
// the common subset is skipped. PCRE2 runs with dot-all, dollar end-only, CR/LF/CRLF newlines (line starts and ends
// spelled out as lookarounds) and ASCII case rules, and the engine's replace loop is emulated with single matches at
// explicit offsets. replace_all must equal PCRE2's, with the engine's default settings and remembering failed states
// from its first step; exec at offsets drawn from the input and exec_next chains on one engine must find what PCRE2
// finds from the same offsets. On every input (also outside the subset) remembering failed states from the first step
// and never must give the same result where neither meets a limit, and so must the smallest stack and failed-state
// memory against the largest; how many inputs were compared so is printed at exit. Limits raise their errors instead
// of answering (the budget is lowered so that they come soon), no search may take more steps than its budget
// without its error, and none more memory than the limits; a pattern that runs long anyway is a finding of
// libFuzzer's -timeout.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/regex/regexpr.h"

namespace {

bool is_hex(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void hex_byte(std::string& out, unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02x", c);
    out += buf;
}

// Translates the pattern; false when it leaves the common subset.
class Translator {
  public:
    explicit Translator(const std::string& p) : p_(p) {}

    bool run(std::string* out, bool* backref) {
        while (i_ < p_.size()) {
            if (!token())
                return false;
        }
        *out = out_;
        *backref = backref_;
        return open_.empty();
    }

  private:
    unsigned char at(size_t k) const { return k < p_.size() ? static_cast<unsigned char>(p_[k]) : 0; }

    // One escaped byte (after the ~), as it is read outside and inside classes; false if the
    // escape is malformed (the engine rejects it too).
    bool byte_escape(unsigned char e, std::string& out) {
        switch (e) {
            case 'a':
                hex_byte(out, 7);
                return true;
            case 'e':
                hex_byte(out, 27);
                return true;
            case 'f':
                hex_byte(out, 12);
                return true;
            case 'n':
                hex_byte(out, 10);
                return true;
            case 'r':
                hex_byte(out, 13);
                return true;
            case 't':
                hex_byte(out, 9);
                return true;
            case 'x': {
                if (at(i_) == '{') {
                    size_t k = i_ + 1;
                    while (is_hex(at(k)))
                        ++k;
                    if (k == i_ + 1 || k - i_ > 9 || at(k) != '}')
                        return false;
                    long v = std::strtol(p_.substr(i_ + 1, k - i_ - 1).c_str(), nullptr, 16);
                    if (v <= 0 || v > 255 || (v >= 0x80 && caseless_))
                        return false;
                    i_ = k + 1;
                    hex_byte(out, static_cast<unsigned char>(v));
                    return true;
                }
                if (!is_hex(at(i_)) || !is_hex(at(i_ + 1)))
                    return false;
                unsigned v = static_cast<unsigned>(std::strtol(p_.substr(i_, 2).c_str(), nullptr, 16));
                if (v == 0 || (v >= 0x80 && caseless_))
                    return false;
                i_ += 2;
                hex_byte(out, static_cast<unsigned char>(v));
                return true;
            }
            default:
                if (e >= 0x80)
                    return false;
                hex_byte(out, e);
                return true;
        }
    }

    bool token() {
        unsigned char c = at(i_++);
        if (c >= 0x80)
            return false;
        switch (c) {
            case '.':
            case '|':
            case '*':
            case '+':
            case '?':
                out_ += static_cast<char>(c);
                return true;
            // Line starts and ends spelled out: a CR LF pair is one separator, so neither
            // matches between its two bytes.
            case '^':
                out_ += multi_line_ ? "(?:\\A|(?<=\\n)|(?<=\\r)(?!\\n))" : "\\A";
                return true;
            case '$':
                out_ += multi_line_ ? "(?:\\z|(?=\\r)|(?<!\\r)(?=\\n))" : "\\z";
                return true;
            case '(':
                if (at(i_) == '?') {
                    if (at(i_ + 1) == '#') {
                        size_t close = p_.find(')', i_);
                        if (close == std::string::npos)
                            return false;
                        i_ = close + 1;
                        out_ += "(?:)";  // an atom of its own: a quantifier after it repeats nothing
                        return true;
                    }
                    out_ += "(?";
                    bool clear = false;
                    for (i_++; at(i_) != ')'; i_++) {
                        unsigned char m = at(i_);
                        if (m == '-') {
                            clear = true;
                            out_ += '-';
                        } else if ((m | 0x20) == 'm') {
                            multi_line_ = !clear;
                        } else if ((m | 0x20) == 'i' || (m | 0x20) == 's') {
                            if ((m | 0x20) == 'i')
                                caseless_ = !clear;
                            out_ += static_cast<char>(m | 0x20);
                        } else {
                            return false;
                        }
                    }
                    i_++;
                    if (out_.back() == '-')
                        out_.pop_back();
                    out_ += ")(?:)";
                    return true;
                }
                if (++groups_ > 14)
                    return false;
                open_.push_back(static_cast<char>(groups_));
                saved_modes_.push_back({multi_line_, caseless_});
                out_ += '(';
                return true;
            case ')':
                if (open_.empty())
                    return false;
                closed_ |= 1u << open_.back();
                open_.pop_back();
                multi_line_ = saved_modes_.back().first;
                caseless_ = saved_modes_.back().second;
                saved_modes_.pop_back();
                out_ += ')';
                return true;
            case '{': {
                size_t k = i_;
                while (at(k) >= '0' && at(k) <= '9')
                    ++k;
                bool quant = k > i_ && (at(k) == '}' || at(k) == ',');
                if (quant && at(k) == ',') {
                    ++k;
                    while (at(k) >= '0' && at(k) <= '9')
                        ++k;
                    quant = at(k) == '}';
                }
                if (!quant) {
                    out_ += "\\{";
                    return true;
                }
                std::string q = p_.substr(i_ - 1, k + 1 - (i_ - 1));
                i_ = k + 1;
                out_ += q;
                return true;
            }
            case '[':
                return char_class();
            case '~': {
                unsigned char e = at(i_++);
                if (e == 0)
                    return false;
                if (e >= '1' && e <= '9') {
                    if (!(closed_ & (1u << (e - '0'))))
                        return false;
                    backref_ = true;
                    out_ += '\\';
                    out_ += static_cast<char>(e);
                    return true;
                }
                if (std::strchr("dDwWsSbBA", e)) {
                    out_ += '\\';
                    out_ += static_cast<char>(e);
                    return true;
                }
                if (e == 'Z') {
                    out_ += "\\z";
                    return true;
                }
                return byte_escape(e, out_);
            }
            default:
                if (c == 0)
                    return false;
                hex_byte(out_, c);
                return true;
        }
    }

    bool char_class() {
        std::string cls = "[";
        if (at(i_) == '^') {
            cls += '^';
            ++i_;
        }
        bool first = true;
        bool dash_literal = false;
        for (;;) {
            unsigned char c = at(i_);
            if (c == 0)
                return false;
            if (c == ']' && !first)
                break;
            first = false;
            ++i_;
            if (c >= 0x80)
                return false;
            if (c == '-' && dash_literal) {
                hex_byte(cls, '-');
                dash_literal = false;
                continue;
            }
            dash_literal = false;
            std::string lo;
            if (c == '~') {
                unsigned char e = at(i_++);
                if (e == 0)
                    return false;
                if (e == 'd' || e == 's' || e == 'w') {
                    cls += '\\';
                    cls += static_cast<char>(e);
                    dash_literal = true;
                    continue;
                }
                if (!byte_escape(e, lo))
                    return false;
            } else {
                hex_byte(lo, c);
            }
            if (at(i_) == '-' && at(i_ + 1) != ']' && at(i_ + 1) != 0) {
                if (at(i_ + 1) == '~' && at(i_ + 2) != 0 && std::strchr("dDsSwW", at(i_ + 2))) {
                    cls += lo;
                    continue;
                }
                i_++;
                unsigned char b = at(i_++);
                std::string hi;
                if (b == '~') {
                    unsigned char e = at(i_++);
                    if (e == 0 || !byte_escape(e, hi))
                        return false;
                } else {
                    if (b >= 0x80)
                        return false;
                    hex_byte(hi, b);
                }
                if (std::strtol(hi.c_str() + 2, nullptr, 16) < std::strtol(lo.c_str() + 2, nullptr, 16))
                    return false;
                cls += lo + "-" + hi;
                dash_literal = true;
                continue;
            }
            cls += lo;
        }
        ++i_;
        out_ += cls + "]";
        return true;
    }

    const std::string& p_;
    size_t i_ = 0;
    std::string out_;
    std::string open_;
    uint32_t closed_ = 0;
    int groups_ = 0;
    bool backref_ = false;
    bool multi_line_ = false;
    // Under i the engine pairs the bytes above 127 by the runtime's case tables, PCRE2 by ASCII
    // rules: escapes of such bytes leave the common subset there.
    bool caseless_ = false;
    std::vector<std::pair<bool, bool>> saved_modes_;  // multi_line_ and caseless_ where a group opened
};

// PCRE2's first match at or after byte `from`, by single anchored matches at each start (so PCRE2's
// own advance over CR LF after a failed start plays no part): 1 with its bounds, 0 for none, -1
// when PCRE2 gives up (its match limit).
int pcre_search(pcre2_code* code, const std::string& subject, size_t from, size_t* start, size_t* end) {
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    // A low match limit: inputs on which PCRE2 backtracks that much are skipped, not waited for.
    pcre2_match_context* mc = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(mc, 20000);
    size_t len = std::strlen(subject.c_str());
    int result = 0;
    for (size_t p = from; p <= len; ++p) {
        int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), len, p, PCRE2_ANCHORED, md, mc);
        if (rc == PCRE2_ERROR_NOMATCH)
            continue;
        if (rc < 0) {
            result = -1;
        } else {
            PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            *start = ov[0];
            *end = ov[1];
            result = 1;
        }
        break;
    }
    pcre2_match_data_free(md);
    pcre2_match_context_free(mc);
    return result;
}

// The engine's replace loop with PCRE2's searches: each search starts at the end of the last
// match, one byte further after an empty one. False when PCRE2 gives up.
bool pcre_replace(pcre2_code* code, const std::string& subject, const std::string& repl, std::string* out) {
    size_t len = std::strlen(subject.c_str());
    size_t q = 0, from = 0, start = 0, end = 0;
    int rc = 0;
    while (from <= len && (rc = pcre_search(code, subject, from, &start, &end)) == 1) {
        out->append(subject, q, start - q);
        *out += repl;
        q = end;
        from = end + (start == end ? 1 : 0);
    }
    out->append(subject, q, std::string::npos);
    return rc >= 0;
}

constexpr int64_t kMemoNever = INT64_MAX;
constexpr int64_t kBaseSteps = 1 << 16;  // a smaller budget, so that blow-ups end soon

bool is_limit(int32_t code) {
    return code == regex::kErrorStepBudget || code == regex::kErrorStackFull;
}

// No search past its budget without the budget's error (when it answered), and no more memory
// than the stack and memo limits, whatever the outcome.
void within_limits(const CRegExpr& engine,
                   bool answered,
                   size_t memory_limit,
                   const std::string& pattern,
                   const std::string& subject) {
    if ((answered && engine.last_steps() > engine.last_budget()) || engine.memory_bytes() > memory_limit) {
        std::fprintf(stderr, "%lld steps (budget %lld), %zu bytes (limit %zu)\npattern  %s\nsubject  %s\n",
                     static_cast<long long>(engine.last_steps()), static_cast<long long>(engine.last_budget()),
                     engine.memory_bytes(), memory_limit, pattern.c_str(), subject.c_str());
        std::abort();
    }
}

// The engine's result, or false when it raises a limit's error or a compile error (outside the
// subset) or 1014 (too deep). With small_memo below the largest, the smallest stack too: short
// inputs then meet a full stack that drops its oldest records, and a full failed-state memory.
bool engine_replace(const std::string& pattern,
                    const std::string& subject,
                    const std::string& repl,
                    int64_t memo_after,
                    std::string* out,
                    size_t small_memo = regex::kMaxMemoBytes) {
    CRegExpr engine;
    engine.set_expression(pattern.c_str());
    engine.set_memo_after(memo_after);
    bool smallest = small_memo < regex::kMaxMemoBytes;
    engine.set_limits(smallest ? 0 : regex::kMaxStackBytes, small_memo, kBaseSteps);
    RtString s(subject.data(), 0, static_cast<int32_t>(subject.size()));
    RtString r(repl.c_str());
    size_t memory_limit = (smallest ? regex::kMinStackBytes : regex::kMaxStackBytes) + small_memo;
    try {
        RtString result = engine.replace_all(s, r);
        within_limits(engine, true, memory_limit, pattern, subject);
        out->assign(result.data, static_cast<size_t>(result.length));
        return true;
    } catch (const CRegExprException& e) {
        within_limits(engine, false, memory_limit, pattern, subject);
        if (e.code < 1000 || e.code == 1014 || is_limit(e.code))
            return false;
        std::fprintf(stderr, "unexpected run-time error %d\n", e.code);
        std::abort();
    }
}

[[noreturn]] void report(const char* what,
                         const std::string& pattern,
                         const std::string& translated,
                         const std::string& subject,
                         const std::string& ours,
                         const std::string& theirs) {
    std::fprintf(stderr, "%s\npattern  %s\npcre2    %s\nsubject  %s\nengine   %s\nother    %s\n", what, pattern.c_str(),
                 translated.c_str(), subject.c_str(), ours.c_str(), theirs.c_str());
    std::abort();
}

std::string span(bool found, size_t start, size_t end) {
    return found ? std::to_string(start) + "," + std::to_string(end) : "none";
}

// exec at a sequence of offsets drawn from the input, each followed by a short exec_next chain,
// all on one engine, against PCRE2's search from the same offset.
void check_offsets(const std::string& pattern,
                   const std::string& translated,
                   pcre2_code* code,
                   const std::string& subject,
                   uint32_t seed) {
    CRegExpr engine;
    engine.set_expression(pattern.c_str());
    engine.set_limits(regex::kMaxStackBytes, regex::kMaxMemoBytes, kBaseSteps);
    engine.set_input(RtString(subject.data(), 0, static_cast<int32_t>(subject.size())));
    int32_t len = static_cast<int32_t>(std::strlen(subject.c_str()));
    for (int i = 0; i < 8; ++i) {
        seed = seed * 1103515245u + 12345u;
        int32_t k = 1 + static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(len + 2));
        for (int chain = 0; chain < 4; ++chain) {
            bool found = false;
            try {
                found = chain == 0 ? engine.exec(k) : engine.exec_next();
                within_limits(engine, true, regex::kMaxStackBytes + regex::kMaxMemoBytes, pattern, subject);
            } catch (const CRegExprException& e) {
                if (!is_limit(e.code))
                    report(("run-time error " + std::to_string(e.code)).c_str(), pattern, translated, subject, "", "");
                return;
            }
            size_t start = 0, end = 0;
            int rc = k > len + 1 ? 0 : pcre_search(code, subject, static_cast<size_t>(k - 1), &start, &end);
            if (rc < 0)
                return;
            size_t ours_start = found ? static_cast<size_t>(engine.match_pos(0) - 1) : 0;
            size_t ours_end = found ? ours_start + static_cast<size_t>(engine.match_len(0)) : 0;
            if (found != (rc == 1) || (found && (ours_start != start || ours_end != end)))
                report(("search from " + std::to_string(k) + (chain > 0 ? " (exec_next)" : "")).c_str(), pattern,
                       translated, subject, span(found, ours_start, ours_end), span(rc == 1, start, end));
            if (!found)
                break;
            k = static_cast<int32_t>(ours_end) + 1 + (ours_start == ours_end ? 1 : 0);
        }
    }
}

size_t g_memo_compared = 0;
size_t g_limits_compared = 0;

void print_count() {
    std::fprintf(stderr, "memo on from the first step compared with memo off: %zu inputs\n", g_memo_compared);
    std::fprintf(stderr, "smallest stack and memo compared with the largest: %zu inputs\n", g_limits_compared);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(print_count);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* nul = static_cast<const char*>(std::memchr(text, 0, size));
    if (nul == nullptr)
        return 0;
    std::string pattern(text, nul);
    std::string subject(nul + 1, text + size);
    if (pattern.empty() || pattern.size() > 64 || subject.size() > 256)
        return 0;
    for (char& c : subject) {
        if (c == 0 || c == 11)
            c = 'a';  // no NUL inside; VT is white space only for PCRE2
    }
    uint32_t seed = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        seed = (seed ^ data[i]) * 16777619u;

    // Remembering failed states may not change an answer: from the first step and never.
    std::string remembered, unremembered;
    bool remembered_ok = engine_replace(pattern, subject, "<>", 0, &remembered);
    bool unremembered_ok = engine_replace(pattern, subject, "<>", kMemoNever, &unremembered);
    if (remembered_ok && unremembered_ok) {
        ++g_memo_compared;
        if (remembered != unremembered)
            report("memo on and off differ", pattern, "", subject, remembered, unremembered);
    }
    // Nor may the smallest stack, whose full stack drops its oldest records and starts a try again,
    // with a failed-state memory that soon fills, or none (short subjects only: without it every
    // try that fills the stack runs to the budget).
    std::string largest, smallest;
    bool largest_ok = engine_replace(pattern, subject, "<>", -1, &largest);
    size_t small_memo = subject.size() <= 64 && seed % 2 == 0 ? 0 : seed % 2 == 0 ? 64 << 10 : 16 << 10;
    if (largest_ok && engine_replace(pattern, subject, "<>", -1, &smallest, small_memo)) {
        ++g_limits_compared;
        if (largest != smallest)
            report("smallest and largest limits differ", pattern, "", subject, smallest, largest);
    }

    std::string translated;
    bool backref = false;
    if (!Translator(pattern).run(&translated, &backref))
        return 0;
    if (backref && subject.size() > 64)
        subject.resize(64);  // plain backtracking: keep it short

    std::string ours = largest;
    if (backref && !engine_replace(pattern, subject, "<>", -1, &ours))
        return 0;
    if (!backref && !largest_ok)
        return 0;

    int err = 0;
    PCRE2_SIZE err_off = 0;
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_ANYCRLF);
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.c_str()), translated.size(),
                                     PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY, &err, &err_off, cc);
    pcre2_compile_context_free(cc);
    if (code == nullptr)
        return 0;
    std::string theirs;
    bool pcre_ok = pcre_replace(code, subject, "<>", &theirs);
    if (pcre_ok && ours != theirs)
        report("replace_all differs", pattern, translated, subject, ours, theirs);
    if (pcre_ok && remembered_ok && !backref && remembered != ours)
        report("memo from the first step differs", pattern, translated, subject, remembered, ours);
    if (pcre_ok)
        check_offsets(pattern, translated, code, subject, seed);
    pcre2_code_free(code);
    return 0;
}
