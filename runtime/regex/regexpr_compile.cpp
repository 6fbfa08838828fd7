// The compiler of CRegExpr.
//
// Design. A recursive-descent parser (alternation > branch > piece > atom) runs twice over the
// expression: the sizing pass only counts the bytes that each node would take, the emitting pass
// writes them into a buffer of exactly that size. Byte 0 of the program is the mark 216; nodes
// follow from byte 1, each a kind byte, a 4-byte little-endian offset to the next node counted
// from the node's own first byte (0 = none yet), and an operand. Offsets are relative, so a node
// sequence can be moved as a block: a quantifier inserts its node in front of an already emitted
// atom by shifting the atom's bytes. Sequences are linked by walking their next offsets to the
// last node ("tail") and pointing it at the follower; an alternation links the tail of each
// branch's operand to the node after the alternation. Repetition of a simple atom (one that
// consumes one byte or one back-reference) is a single node holding the atom as its operand;
// other atoms get the branch loop (greedy * and +) or a counted loop (loop_entry, atom, loop).
// Every error is raised through Parser::fail, which carries the code and the cursor position.
#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/regex/regexpr.h"
#include "runtime/values/string_functions.h"

namespace regex {

namespace {

// Case partners built from the runtime's own case functions, once.
struct OtherCase {
    unsigned char map[256];
    OtherCase() {
        char bytes[256];
        for (int c = 1; c < 256; ++c) {
            bytes[c - 1] = static_cast<char>(c);
        }
        RtString all(bytes, 0, 255);
        RtString upper = string_upper(all);
        RtString lower = string_lower(all);
        map[0] = 0;
        for (int c = 1; c < 256; ++c) {
            unsigned char u = static_cast<unsigned char>(upper.data[c - 1]);
            unsigned char l = static_cast<unsigned char>(lower.data[c - 1]);
            map[c] = u != c ? u : l;
        }
    }
};

}  // namespace

unsigned char other_case(unsigned char c) {
    static const OtherCase table;
    return table.map[c];
}

namespace {

constexpr int32_t kMaxCount = 2147483646;

// Piece flags.
constexpr int kHasWidth = 1;  // never matches the empty string
constexpr int kSimple = 2;    // one node that consumes one byte or one back-reference
constexpr int kSpStart = 4;   // starts with a piece quantified by *, + or {}

const char kDigits[] = "0123456789";
const char kSpaces[] = " \t\n\r\f";
const char kWordBytes[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";

void set_bit(uint8_t* set, unsigned c) {
    set[c >> 3] = static_cast<uint8_t>(set[c >> 3] | (1u << (c & 7)));
}
bool has_bit(const uint8_t* set, unsigned c) {
    return (set[c >> 3] >> (c & 7)) & 1;
}
void add_list(uint8_t* set, const char* list) {
    for (; *list; ++list) {
        set_bit(set, static_cast<unsigned char>(*list));
    }
}

bool is_meta(unsigned char c) {
    switch (c) {
        case '^':
        case '$':
        case '.':
        case '[':
        case '(':
        case ')':
        case '|':
        case '?':
        case '+':
        case '*':
        case '~':
        case '{':
            return true;
        default:
            return false;
    }
}
bool is_space(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int32_t read32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
void write32(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

class Parser {
  public:
    Parser(const char* expression, uint8_t* program, int32_t modifiers, bool line_sep_defined)
        : text_(reinterpret_cast<const unsigned char*>(expression)),
          cur_(text_),
          prog_(program),
          mods_(modifiers),
          line_sep_defined_(line_sep_defined) {}

    // Parses the whole expression; returns the program size.
    int32_t run() {
        emit_byte(kProgramMark);
        int flags = 0;
        alternation(false, &flags);
        starts_quantified_ = flags & kSpStart;
        return static_cast<int32_t>(size_);
    }
    bool has_backref() const { return has_backref_; }
    bool starts_quantified() const { return starts_quantified_; }

  private:
    [[noreturn]] void fail(int32_t code) { throw CRegExprException(code, static_cast<int32_t>(cur_ - text_)); }

    // Sizes are counted in 64 bits and checked as they grow, so the sizing pass stops at the limit.
    void grow(int64_t n) {
        if (size_ + n > kMaxProgramSize)
            fail(kErrorProgramTooLarge);
    }
    void emit_byte(uint8_t b) {
        grow(1);
        if (prog_)
            prog_[size_] = b;
        ++size_;
    }
    void emit32(int32_t v) {
        grow(4);
        if (prog_)
            write32(prog_ + size_, v);
        size_ += 4;
    }
    int32_t node(uint8_t kind) {
        int32_t at = static_cast<int32_t>(size_);
        emit_byte(kind);
        emit32(0);
        return at;
    }
    // Inserts a node header and `extra` operand bytes in front of the node at `at`.
    void insert(uint8_t kind, int32_t at, int32_t extra) {
        int32_t n = kNodeHeader + extra;
        grow(n);
        if (prog_) {
            std::memmove(prog_ + at + n, prog_ + at, static_cast<size_t>(size_ - at));
            std::memset(prog_ + at, 0, static_cast<size_t>(n));
            prog_[at] = kind;
        }
        size_ += n;
    }
    void put32(int32_t at, int32_t v) {
        if (prog_)
            write32(prog_ + at, v);
    }
    int32_t next_of(int32_t p) const {
        int32_t off = read32(prog_ + p + 1);
        return off == 0 ? 0 : p + off;
    }
    // Points the last node of the chain starting at p to target.
    void tail(int32_t p, int32_t target) {
        if (!prog_)
            return;
        for (int32_t n = next_of(p); n != 0; n = next_of(p)) {
            p = n;
        }
        write32(prog_ + p + 1, target - p);
    }
    // The same for the operand chain of a branch node.
    void op_tail(int32_t p, int32_t target) {
        if (!prog_ || prog_[p] != kBranch)
            return;
        tail(p + kNodeHeader, target);
    }

    int32_t alternation(bool paren, int* flagp) {
        *flagp = kHasWidth;
        int32_t ret = 0;
        int group = 0;
        int32_t saved_mods = mods_;
        if (paren) {
            if (groups_ >= kGroups - 1)
                fail(102);
            group = ++groups_;
            ret = node(static_cast<uint8_t>(kOpen + group));
        }
        int flags = 0;
        int32_t br = branch(&flags);
        if (paren)
            tail(ret, br);
        else
            ret = br;
        if (!(flags & kHasWidth))
            *flagp &= ~kHasWidth;
        *flagp |= flags & kSpStart;
        // Each branch links to the next one directly, so many branches take linear time.
        int32_t last = br;
        while (*cur_ == '|') {
            ++cur_;
            br = branch(&flags);
            tail(last, br);
            last = br;
            if (!(flags & kHasWidth))
                *flagp &= ~kHasWidth;
            *flagp |= flags & kSpStart;
        }
        int32_t ender = node(paren ? static_cast<uint8_t>(kClose + group) : static_cast<uint8_t>(kEnd));
        tail(last, ender);
        if (prog_) {
            for (int32_t b = ret; b != 0; b = next_of(b))
                op_tail(b, ender);
        }
        if (paren) {
            if (*cur_ != ')')
                fail(103);
            ++cur_;
            mods_ = saved_mods;
        } else if (*cur_ != 0) {
            fail(*cur_ == ')' ? 104 : 105);
        }
        return ret;
    }

    int32_t branch(int* flagp) {
        *flagp = 0;
        int32_t ret = node(kBranch);
        int32_t chain = 0;
        while (*cur_ != 0 && *cur_ != '|' && *cur_ != ')') {
            int flags = 0;
            int32_t latest = piece(&flags);
            *flagp |= flags & kHasWidth;
            if (chain == 0)
                *flagp |= flags & kSpStart;
            else
                tail(chain, latest);
            chain = latest;
        }
        if (chain == 0)
            node(kNothing);
        return ret;
    }

    static bool quantifier_char(unsigned char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

    // A {n}, {n,} or {n,m} at the cursor: its bounds and length, or false for a literal {.
    bool braces_at(int32_t* min, int32_t* max, int32_t* length) {
        const unsigned char* p = cur_ + 1;
        const unsigned char* digits = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (p == digits || (*p != '}' && *p != ','))
            return false;
        const unsigned char* digits_end = p;
        const unsigned char* digits2 = nullptr;
        const unsigned char* digits2_end = nullptr;
        if (*p == ',') {
            digits2 = ++p;
            while (*p >= '0' && *p <= '9')
                ++p;
            digits2_end = p;
            if (*p != '}')
                return false;
        }
        auto number = [this](const unsigned char* from, const unsigned char* to) {
            if (to - from > 8) {
                cur_ = from;
                fail(122);
            }
            int32_t v = 0;
            for (; from < to; ++from)
                v = v * 10 + (*from - '0');
            return v;
        };
        *min = number(digits, digits_end);
        if (digits2 == nullptr)
            *max = *min;
        else
            *max = digits2 == digits2_end ? kMaxCount : number(digits2, digits2_end);
        if (*max < *min) {
            cur_ = digits;
            fail(124);
        }
        *length = static_cast<int32_t>(p + 1 - cur_);
        return true;
    }

    int32_t piece(int* flagp) {
        int flags = 0;
        int32_t ret = atom(&flags);
        unsigned char op = *cur_;
        int32_t min = 0, max = 0, length = 1;
        if (op == '{') {
            if (!braces_at(&min, &max, &length)) {
                *flagp = flags;
                return ret;
            }
        } else if (op != '*' && op != '+' && op != '?') {
            *flagp = flags;
            return ret;
        }
        // A back-reference may be repeated although its text can be empty: the matcher repeats an
        // empty text zero times. Any other atom under *, + or {} must consume something.
        if (!(flags & (kHasWidth | kSimple)) && op != '?')
            fail(106);
        cur_ += length;
        bool lazy = !(mods_ & kModG);
        if (*cur_ == '?') {
            lazy = true;
            ++cur_;
        }
        if (quantifier_char(*cur_))
            fail(107);
        bool simple = flags & kSimple;
        switch (op) {
            case '*':
                *flagp = kSpStart;
                if (simple) {
                    insert(lazy ? kStarLazy : kStar, ret, 0);
                } else if (!lazy) {
                    branch_loop_star(ret);
                } else {
                    counted_loop(ret, kLoopLazy, 0, kMaxCount);
                }
                break;
            case '+':
                *flagp = kSpStart | (flags & kHasWidth);
                if (simple) {
                    insert(lazy ? kPlusLazy : kPlus, ret, 0);
                } else if (!lazy) {
                    branch_loop_plus(ret);
                } else {
                    counted_loop(ret, kLoopLazy, 1, kMaxCount);
                }
                break;
            case '?':
                *flagp = 0;
                if (!lazy) {
                    optional(ret);
                } else if (simple) {
                    braces_node(ret, kBracesLazy, 0, 1);
                } else {
                    counted_loop(ret, kLoopLazy, 0, 1);
                }
                break;
            default:
                *flagp = kSpStart | (min > 0 ? flags & kHasWidth : 0);
                if (simple)
                    braces_node(ret, lazy ? kBracesLazy : kBraces, min, max);
                else
                    counted_loop(ret, lazy ? kLoopLazy : kLoop, min, max);
                break;
        }
        return ret;
    }

    // X* : branch(X, back to the branch), branch(nothing).
    void branch_loop_star(int32_t ret) {
        insert(kBranch, ret, 0);
        int32_t back = node(kBack);
        op_tail(ret, back);
        if (prog_)
            write32(prog_ + back + 1, ret - back);
        tail(ret, node(kBranch));
        tail(ret, node(kNothing));
    }
    // X+ : X, branch(back to X), branch(nothing).
    void branch_loop_plus(int32_t ret) {
        int32_t br = node(kBranch);
        tail(ret, br);
        int32_t back = node(kBack);
        if (prog_)
            write32(prog_ + back + 1, ret - back);
        tail(br, node(kBranch));
        tail(ret, node(kNothing));
    }
    // X? : branch(X), branch(nothing), both ending at the nothing node.
    void optional(int32_t ret) {
        insert(kBranch, ret, 0);
        tail(ret, node(kBranch));
        int32_t nothing = node(kNothing);
        tail(ret, nothing);
        op_tail(ret, nothing);
    }
    void braces_node(int32_t ret, uint8_t kind, int32_t min, int32_t max) {
        insert(kind, ret, 8);
        put32(ret + kNodeHeader, min);
        put32(ret + kNodeHeader + 4, max);
    }
    // loop_entry, X, loop(min, max, offset back to X); loop_entry and X's tail link to the loop.
    void counted_loop(int32_t ret, uint8_t kind, int32_t min, int32_t max) {
        insert(kLoopEntry, ret, 0);
        int32_t body = ret + kNodeHeader;
        int32_t loop = node(kind);
        emit32(min);
        emit32(max);
        emit32(body - loop);
        if (prog_)
            write32(prog_ + ret + 1, loop - ret);
        tail(body, loop);
    }

    int32_t exactly(const unsigned char* bytes, int32_t n) {
        int32_t ret = node((mods_ & kModI) ? kExactlyCi : kExactly);
        for (int32_t i = 0; i < n; ++i)
            emit_byte(bytes[i]);
        emit_byte(0);
        return ret;
    }
    // A one-byte literal; the byte 0 can never occur in the searched text, so it becomes a class
    // that nothing matches.
    int32_t byte_atom(unsigned char c, int* flagp) {
        *flagp = kHasWidth | kSimple;
        if (c == 0) {
            int32_t ret = node(kAnyOf3);
            emit_byte(0);
            emit_byte(0);
            emit_byte(0);
            return ret;
        }
        return exactly(&c, 1);
    }

    int32_t atom(int* flagp) {
        *flagp = 0;
        unsigned char c = *cur_;
        switch (c) {
            case '^':
                ++cur_;
                return node((mods_ & kModM) && line_sep_defined_ ? kLineStart : kInputStart);
            case '$':
                ++cur_;
                return node((mods_ & kModM) && line_sep_defined_ ? kLineEnd : kInputEnd);
            case '.':
                // Both kinds always take one byte: repeated, they are the operand of one node.
                ++cur_;
                *flagp = kHasWidth | kSimple;
                return node((mods_ & kModS) ? kAny : kAnyButLineSep);
            case '[':
                ++cur_;
                *flagp = kHasWidth | kSimple;
                return char_class();
            case '(':
                ++cur_;
                if (*cur_ == '?')
                    return option_or_comment_group();
                {
                    int flags = 0;
                    int32_t ret = alternation(true, &flags);
                    *flagp = flags & (kHasWidth | kSpStart);
                    return ret;
                }
            case 0:
            case '|':
            case ')':
                fail(114);
            case '*':
            case '+':
            case '?':
                fail(115);
            case '~':
                ++cur_;
                return escape(flagp);
            default:
                break;
        }
        if ((mods_ & kModX) && (is_space(c) || c == '#')) {
            if (c == '#') {
                while (*cur_ != 0 && *cur_ != '\r' && *cur_ != '\n')
                    ++cur_;
                while (*cur_ == '\r' || *cur_ == '\n')
                    ++cur_;
            } else {
                while (is_space(*cur_))
                    ++cur_;
            }
            return node(kComment);
        }
        return literal_run(flagp);
    }

    int32_t literal_run(int* flagp) {
        const unsigned char* start = cur_;
        const unsigned char* p = cur_ + (*cur_ == '{' ? 1 : 0);
        bool x = mods_ & kModX;
        while (*p != 0 && !is_meta(*p) && !(x && *p == '#'))
            ++p;
        if (p - start > 1 && quantifier_char(*p))
            --p;
        cur_ = p;
        int32_t n = 0;
        for (const unsigned char* q = start; q < p; ++q) {
            if (!(x && is_space(*q)))
                ++n;
        }
        if (n == 0)
            fail(119);
        *flagp = kHasWidth | (n == 1 ? kSimple : 0);
        int32_t ret = node((mods_ & kModI) ? kExactlyCi : kExactly);
        for (const unsigned char* q = start; q < p; ++q) {
            if (!(x && is_space(*q)))
                emit_byte(*q);
        }
        emit_byte(0);
        return ret;
    }

    int32_t option_or_comment_group() {
        ++cur_;  // the '?'
        if (*cur_ == '#') {
            while (*cur_ != 0 && *cur_ != ')')
                ++cur_;
            if (*cur_ == 0)
                fail(125);
            ++cur_;
            return node(kComment);
        }
        bool clear = false;
        for (;; ++cur_) {
            unsigned char c = *cur_;
            int32_t bit = 0;
            switch (c | 0x20) {
                case 'i':
                    bit = kModI;
                    break;
                case 'r':
                    bit = kModR;
                    break;
                case 's':
                    bit = kModS;
                    break;
                case 'g':
                    bit = kModG;
                    break;
                case 'm':
                    bit = kModM;
                    break;
                case 'x':
                    bit = kModX;
                    break;
                default:
                    break;
            }
            if (c == ')')
                break;
            if (c == '-') {
                clear = true;
                continue;
            }
            if (bit == 0 || !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                fail(127);
            mods_ = clear ? (mods_ & ~bit) : (mods_ | bit);
        }
        ++cur_;
        return node(kComment);
    }

    // ~x.. after the x: two hex digits or {digits}.
    unsigned char hex_escape() {
        if (*cur_ == '{') {
            ++cur_;
            int v = 0;
            bool any = false;
            for (;;) {
                unsigned char c = *cur_;
                if (c == 0)
                    fail(111);
                if (c == '}' && any)
                    break;
                int d = hex_value(c);
                if (d < 0)
                    fail(108);
                if (v > 15)
                    fail(112);
                v = v * 16 + d;
                any = true;
                ++cur_;
            }
            ++cur_;
            return static_cast<unsigned char>(v);
        }
        int v = 0;
        for (int i = 0; i < 2; ++i) {
            if (*cur_ == 0)
                fail(111);
            int d = hex_value(*cur_);
            if (d < 0)
                fail(108);
            v = v * 16 + d;
            ++cur_;
        }
        return static_cast<unsigned char>(v);
    }
    // The byte of a byte escape letter (cursor after it), or the letter itself.
    unsigned char escaped_byte(unsigned char c) {
        switch (c) {
            case 'a':
                return 7;
            case 'e':
                return 27;
            case 'f':
                return 12;
            case 'n':
                return 10;
            case 'r':
                return 13;
            case 't':
                return 9;
            case 'x':
                return hex_escape();
            default:
                return c;
        }
    }

    int32_t set_node(const uint8_t* set, bool negate) {
        int count = 0;
        unsigned char members[3] = {0, 0, 0};
        for (int c = 0; c < 256; ++c) {
            if (has_bit(set, static_cast<unsigned>(c))) {
                if (count < 3)
                    members[count] = static_cast<unsigned char>(c);
                ++count;
            }
        }
        if (count <= 3) {
            int32_t ret = node(negate ? kNoneOf3 : kAnyOf3);
            for (int i = 0; i < 3; ++i)
                emit_byte(members[i < count ? i : count - 1]);
            return ret;
        }
        int32_t ret = node(kAnyOfSet);
        for (int i = 0; i < 32; ++i)
            emit_byte(negate ? static_cast<uint8_t>(~set[i]) : set[i]);
        return ret;
    }

    int32_t escape(int* flagp) {
        unsigned char c = *cur_;
        if (c == 0)
            fail(116);
        ++cur_;
        if (c >= '1' && c <= '9') {
            has_backref_ = true;
            *flagp = kSimple;  // consumes the captured text, which may be empty
            int32_t ret = node((mods_ & kModI) ? kBackrefCi : kBackref);
            emit_byte(static_cast<uint8_t>(c - '0'));
            return ret;
        }
        uint8_t set[32] = {};
        switch (c) {
            case 'b':
                return node(kWordBoundary);
            case 'B':
                return node(kNotWordBoundary);
            case 'd':
                *flagp = kHasWidth | kSimple;
                return node(kDigit);
            case 'D':
                *flagp = kHasWidth | kSimple;
                return node(kNotDigit);
            case 'A':
                return node(kInputStart);
            case 'Z':
                return node(kInputEnd);
            case 's':
            case 'S':
            case 'w':
            case 'W':
                add_list(set, (c | 0x20) == 's' ? kSpaces : kWordBytes);
                *flagp = kHasWidth | kSimple;
                return set_node(set, c == 'S' || c == 'W');
            default:
                return byte_atom(escaped_byte(c), flagp);
        }
    }

    // After '['. Members into a set, then the node.
    int32_t char_class() {
        uint8_t set[32] = {};
        bool negate = false;
        if (*cur_ == '^') {
            negate = true;
            ++cur_;
        }
        bool first = true;
        bool dash_literal = false;  // after a range or a shorthand
        for (;;) {
            unsigned char c = *cur_;
            if (c == 0)
                fail(113);
            if (c == ']' && !first)
                break;
            first = false;
            ++cur_;
            if (c == '-' && dash_literal) {
                set_bit(set, '-');
                dash_literal = false;
                continue;
            }
            dash_literal = false;
            if (c == '~') {
                unsigned char e = *cur_;
                if (e == 0)
                    fail(110);
                ++cur_;
                if (e == 'd' || e == 's' || e == 'w') {
                    add_list(set, e == 'd' ? kDigits : e == 's' ? kSpaces : kWordBytes);
                    dash_literal = true;
                    continue;
                }
                c = escaped_byte(e);
            }
            // A range c-b?
            if (*cur_ == '-' && cur_[1] != ']' && cur_[1] != 0) {
                if (cur_[1] == '~' && cur_[2] != 0 && std::strchr("dDsSwW", cur_[2])) {
                    set_bit(set, c);  // the '-' is read next, as a literal member
                    continue;
                }
                cur_ += 1;
                unsigned char b = *cur_++;
                if (b == '~') {
                    unsigned char e = *cur_;
                    if (e == 0)
                        fail(110);
                    ++cur_;
                    b = escaped_byte(e);
                }
                add_range(set, c, b);
                dash_literal = true;
                continue;
            }
            set_bit(set, c);
        }
        ++cur_;
        if (mods_ & kModI) {
            uint8_t copy[32];
            std::memcpy(copy, set, 32);
            for (int m = 0; m < 256; ++m) {
                if (has_bit(copy, static_cast<unsigned>(m)))
                    set_bit(set, other_case(static_cast<unsigned char>(m)));
            }
        }
        return set_node(set, negate);
    }

    void add_range(uint8_t* set, unsigned char a, unsigned char b) {
        if (mods_ & kModR) {
            bool small = a == 0xE0 && (b == 0xFF || b == 0xDF);
            bool capital = (a == 0xC0 && b == 0xDF) || (a == 0xE0 && b == 0xDF);
            if (small || capital) {
                if (small) {
                    for (unsigned x = 0xE0; x <= 0xFF; ++x)
                        set_bit(set, x);
                    set_bit(set, 0xB8);
                }
                if (capital) {
                    for (unsigned x = 0xC0; x <= 0xDF; ++x)
                        set_bit(set, x);
                    set_bit(set, 0xA8);
                }
                return;
            }
        }
        if (b < a)
            fail(109);
        for (unsigned x = a; x <= b; ++x)
            set_bit(set, x);
    }

    const unsigned char* text_;
    const unsigned char* cur_;
    uint8_t* prog_;
    int64_t size_ = 0;
    int32_t mods_;
    int groups_ = 0;
    bool line_sep_defined_;
    bool has_backref_ = false;
    bool starts_quantified_ = false;
};

}  // namespace

}  // namespace regex

using namespace regex;

namespace {

int32_t next_node(const uint8_t* prog, int32_t p) {
    int32_t off = read32(prog + p + 1);
    return off == 0 ? 0 : p + off;
}

bool repetition(uint8_t k) {
    return k == kStar || k == kPlus || k == kBraces || k == kStarLazy || k == kPlusLazy || k == kBracesLazy;
}
bool braces_kind(uint8_t k) {
    return k == kBraces || k == kBracesLazy;
}

// Marks in `set` the bytes that one simple or single-byte node can begin with; false for a node
// that begins with nothing of its own (zero-width nodes, branches, loops, repetitions).
bool mark_node(const uint8_t* prog, int32_t p, uint8_t* set, const uint8_t* sep) {
    uint8_t k = prog[p];
    const uint8_t* op = prog + p + kNodeHeader;
    switch (k) {
        case kEnd:
        case kAny:
        case kAnyButLineSep:
        case kBackref:
        case kBackrefCi:
            std::memset(set, 0xFF, 32);
            return true;
        case kInputEnd:
        case kLineEnd:
            // A line end (compiled under m, also from an inline group) can also begin at a
            // separator byte.
            set_bit(set, 0);
            if (k == kLineEnd) {
                for (int i = 0; i < 32; ++i)
                    set[i] = static_cast<uint8_t>(set[i] | sep[i]);
            }
            return true;
        case kExactly:
            set_bit(set, op[0]);
            return true;
        case kExactlyCi:
            set_bit(set, op[0]);
            set_bit(set, other_case(op[0]));
            return true;
        case kDigit:
        case kNotDigit:
            for (int c = 0; c < 256; ++c) {
                if ((c >= '0' && c <= '9') == (k == kDigit))
                    set_bit(set, static_cast<unsigned>(c));
            }
            return true;
        case kAnyOf3:
            for (int i = 0; i < 3; ++i)
                set_bit(set, op[i]);
            return true;
        case kNoneOf3:
            for (int c = 0; c < 256; ++c) {
                if (c != op[0] && c != op[1] && c != op[2])
                    set_bit(set, static_cast<unsigned>(c));
            }
            return true;
        case kAnyOfSet:
            for (int i = 0; i < 32; ++i)
                set[i] = static_cast<uint8_t>(set[i] | op[i]);
            return true;
        default:
            return false;
    }
}

// Marks in `set` every byte that can begin a match of the program. Sequences wait on a work list
// with the loop node that ends them (reaching it again means a loop body matched nothing); each
// node is walked once, so the walk is linear in the program however the alternatives join again.
// The memory of both is on the C++ stack for short programs.
void first_chars(const uint8_t* prog, int32_t size, uint8_t* set, const uint8_t* sep) {
    constexpr int32_t kShort = 256;
    int32_t walked_short[kShort];  // the stop each node was walked with
    std::vector<int32_t> walked_long;
    int32_t* walked = walked_short;
    if (size > kShort) {
        walked_long.resize(static_cast<size_t>(size));
        walked = walked_long.data();
    }
    std::fill(walked, walked + size, -1);
    struct Work {
        int32_t p, stop;
    };
    Work work_short[32];
    std::vector<Work> work_long;
    size_t pending = 0;
    auto add = [&](int32_t p, int32_t stop) {
        if (pending < 32)
            work_short[pending] = Work{p, stop};
        else
            work_long.push_back(Work{p, stop});
        ++pending;
    };
    add(1, 0);
    while (pending > 0) {
        --pending;
        Work w = pending < 32 ? work_short[pending] : work_long.back();
        if (pending >= 32)
            work_long.pop_back();
        int32_t p = w.p;
        int32_t stop = w.stop;
        while (p != 0 && p != stop && walked[p] != stop) {
            walked[p] = stop;
            uint8_t k = prog[p];
            const uint8_t* op = prog + p + kNodeHeader;
            if (mark_node(prog, p, set, sep))
                break;
            if (k == kBranch) {
                if (prog[next_node(prog, p)] != kBranch) {
                    p += kNodeHeader;
                    continue;
                }
                for (int32_t b = p; b != 0 && prog[b] == kBranch; b = next_node(prog, b))
                    add(b + kNodeHeader, stop);
                break;
            }
            if (k == kLoop || k == kLoopLazy) {
                add(p + read32(op + 8), p);
                if (read32(op) > 0)
                    break;
            } else if (repetition(k)) {
                mark_node(prog, p + kNodeHeader + (braces_kind(k) ? 8 : 0), set, sep);
                bool zero_min = k == kStar || k == kStarLazy || (braces_kind(k) && read32(op) == 0);
                if (!zero_min)
                    break;
            }
            p = next_node(prog, p);  // zero-width nodes pass on
        }
    }
}

// The width of every match of the node sequence from p up to `stop`, or -1 when matches can differ
// in width or the sequence holds a group other than `group`, a repetition of unknown count, a loop
// or a back-reference.
int32_t sequence_width(const uint8_t* prog, int32_t p, int32_t stop, int group) {
    int32_t width = 0;
    while (p != stop) {
        if (p == 0)
            return -1;
        uint8_t k = prog[p];
        const uint8_t* op = prog + p + kNodeHeader;
        int32_t next = next_node(prog, p);
        switch (k) {
            case kExactly:
            case kExactlyCi:
                width += static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(op)));
                break;
            case kAny:
            case kAnyButLineSep:
            case kDigit:
            case kNotDigit:
            case kAnyOf3:
            case kNoneOf3:
            case kAnyOfSet:
                ++width;
                break;
            case kInputStart:
            case kInputEnd:
            case kLineStart:
            case kLineEnd:
            case kWordBoundary:
            case kNotWordBoundary:
            case kComment:
            case kNothing:
                break;
            case kBraces:
            case kBracesLazy: {
                uint8_t operand = prog[p + kNodeHeader + 8];
                if (read32(op) != read32(op + 4) || operand == kBackref || operand == kBackrefCi)
                    return -1;
                width += read32(op);
                break;
            }
            case kBranch: {
                if (prog[next] != kBranch) {
                    next = p + kNodeHeader;  // a single alternative: its operand
                    break;
                }
                // Every alternative of the run ends where the run does.
                int32_t last = p;
                while (prog[next_node(prog, last)] == kBranch)
                    last = next_node(prog, last);
                int32_t join = next_node(prog, last);
                int32_t alt_width = -1;
                for (int32_t b = p; b != join; b = next_node(prog, b)) {
                    int32_t w = sequence_width(prog, b + kNodeHeader, join, group);
                    if (w < 0 || (alt_width >= 0 && w != alt_width))
                        return -1;
                    alt_width = w;
                }
                width += alt_width;
                next = join;
                break;
            }
            default:
                if ((k >= kOpen && k < kOpen + kGroups && k - kOpen == group) ||
                    (k >= kClose && k < kClose + kGroups && k - kClose == group))
                    break;
                return -1;
        }
        if (width > (1 << 24))
            return -1;
        p = next;
    }
    return width;
}

// The number of the lowest bit set in x (not 0).
int lowest_bit(uint64_t x) {
    int n = 0;
    for (int half = 32; half > 0; half /= 2) {
        if ((x & ((uint64_t{1} << half) - 1)) == 0) {
            n += half;
            x >>= half;
        }
    }
    return n;
}

// The bytes of the node at p, operand included (a repetition's operand node follows it).
int32_t node_size(const uint8_t* prog, int32_t p) {
    const uint8_t* op = prog + p + kNodeHeader;
    switch (prog[p]) {
        case kExactly:
        case kExactlyCi:
            return kNodeHeader + static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(op))) + 1;
        case kBraces:
        case kBracesLazy:
            return kNodeHeader + 8;
        case kLoop:
        case kLoopLazy:
            return kNodeHeader + 12;
        case kAnyOf3:
        case kNoneOf3:
            return kNodeHeader + 3;
        case kAnyOfSet:
            return kNodeHeader + 32;
        case kBackref:
        case kBackrefCi:
            return kNodeHeader + 1;
        default:
            return kNodeHeader;
    }
}

// The loops whose body matches one width above 0 and sets no group but the one it is, by node.
std::vector<std::pair<int32_t, int32_t>> fixed_width_loops(const uint8_t* prog, int32_t size) {
    std::vector<std::pair<int32_t, int32_t>> loops;
    for (int32_t p = 1; p < size; p += node_size(prog, p)) {
        if (prog[p] != kLoop && prog[p] != kLoopLazy)
            continue;
        int32_t body = p + read32(prog + p + kNodeHeader + 8);
        int group = prog[body] >= kOpen && prog[body] < kOpen + kGroups ? prog[body] - kOpen : -1;
        int32_t width = sequence_width(prog, body, p, group);
        if (width > 0)
            loops.emplace_back(p, width);
    }
    return loops;
}

}  // namespace

CRegExpr::CRegExpr() {
    for (int i = 0; i < kGroups; ++i)
        start_[i] = end_[i] = -1;
}

CRegExpr::~CRegExpr() {
    free_program();
}

void CRegExpr::fail(int32_t code) {
    last_error_ = code;
    throw CRegExprException(code, 0);
}

void CRegExpr::free_program() {
    if (program_ != program_short_)
        delete[] program_;
    program_ = nullptr;
    program_size_ = 0;
    compiled_ = false;
    memo_stale_ = true;
}

void CRegExpr::set_expression(const char* text) {
    if (text != nullptr && has_expression_ && !null_expression_ && compiled_ && expression_ == text) {
        return;
    }
    free_program();
    expression_.clear();
    null_expression_ = text == nullptr;
    has_expression_ = text == nullptr || *text != 0;
    if (text != nullptr && *text != 0)
        expression_.assign(text);
}

void CRegExpr::compile() {
    free_program();
    if (!has_expression_)
        fail(1003);
    if (null_expression_) {
        last_error_ = 100;
        throw CRegExprException(100, 0);
    }
    bool sep_defined = !line_separators_.empty();
    try {
        Parser sizing(expression_.c_str(), nullptr, modifiers_, sep_defined);
        int32_t size = sizing.run();
        program_ = size <= kShortProgram ? program_short_ : new uint8_t[static_cast<size_t>(size)];
        Parser emitting(expression_.c_str(), program_, modifiers_, sep_defined);
        emitting.run();
        program_size_ = size;
        has_backref_ = emitting.has_backref();
        starts_quantified_ = emitting.starts_quantified();
    } catch (const CRegExprException& e) {
        free_program();
        last_error_ = e.code;
        throw;
    }
    compiled_modifiers_ = modifiers_;
    compute_search_aids();
    compiled_ = true;
}

void CRegExpr::compute_search_aids() {
    std::memset(first_set_, 0, sizeof first_set_);
    std::memset(line_sep_set_, 0, sizeof line_sep_set_);
    for (unsigned char c : line_separators_)
        set_bit(line_sep_set_, c);
    start_char_ = 0;
    anchored_ = false;
    must_offset_ = 0;
    must_length_ = 0;
    must_found_ = -1;
    first_next_[0] = first_next_[1] = -1;
    line_anchored_ = false;
    first_chars(program_, program_size_, first_set_, line_sep_set_);
    loop_widths_ = fixed_width_loops(program_, program_size_);
    // The members counted, the lowest two kept; the table only where the search scans with it.
    first_count_ = 0;
    first_a_ = first_b_ = 0;
    for (int word = 0; word < 4; ++word) {
        uint64_t bits = 0;
        std::memcpy(&bits, first_set_ + 8 * word, 8);
        for (; bits != 0 && first_count_ < 2; bits &= bits - 1) {
            (first_count_ == 0 ? first_a_ : first_b_) = static_cast<uint8_t>(word * 64 + lowest_bit(bits));
            ++first_count_;
        }
        first_count_ += static_cast<int>(std::bitset<64>(bits).count());
    }
    if (first_count_ == 1)
        first_b_ = first_a_;
    if (first_count_ > 2 || has_bit(first_set_, 0)) {
        for (int c = 0; c < 256; ++c)
            first_table_[c] = has_bit(first_set_, static_cast<unsigned>(c));
    }
    if (program_[next_node(program_, 1)] != kEnd)
        return;
    int32_t scan = 1 + kNodeHeader;
    int32_t lead = scan;  // the first node that does something
    while (program_[lead] == kComment)
        lead = next_node(program_, lead);
    line_anchored_ = program_[lead] == kLineStart;
    if (program_[lead] == kExactly)
        start_char_ = program_[lead + kNodeHeader];
    if (program_[lead] == kInputStart)
        anchored_ = true;
    if (!starts_quantified_)
        return;
    for (int32_t q = scan; q != 0; q = next_node(program_, q)) {
        if (program_[q] == kExactly) {
            int32_t len = static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(program_ + q + kNodeHeader)));
            if (len >= must_length_) {
                must_length_ = len;
                must_offset_ = q + kNodeHeader;
            }
        }
    }
}

bool CRegExpr::get_modifier(int32_t index) {
    if (index < 1 || index > 6)
        fail(1013);
    return (modifiers_ >> (index - 1)) & 1;
}

void CRegExpr::set_modifier(int32_t index, bool on) {
    if (index < 1 || index > 6)
        fail(1013);
    int32_t bit = 1 << (index - 1);
    modifiers_ = on ? (modifiers_ | bit) : (modifiers_ & ~bit);
}

void CRegExpr::set_line_separators(const char* separators) {
    line_separators_ = separators != nullptr ? separators : "";
    compiled_ = false;
}

namespace {

const char* kind_name(uint8_t k) {
    switch (k) {
        case kEnd:
            return "end";
        case kInputStart:
            return "input_start";
        case kInputEnd:
            return "input_end";
        case kAny:
            return "any";
        case kBranch:
            return "branch";
        case kBack:
            return "back";
        case kExactly:
            return "exactly";
        case kNothing:
            return "nothing";
        case kStar:
            return "star";
        case kPlus:
            return "plus";
        case kDigit:
            return "digit";
        case kNotDigit:
            return "not_digit";
        case kBraces:
            return "braces";
        case kComment:
            return "comment";
        case kExactlyCi:
            return "exactly_ci";
        case kLoopEntry:
            return "loop_entry";
        case kLoop:
            return "loop";
        case kAnyOf3:
            return "any_of_3";
        case kNoneOf3:
            return "none_of_3";
        case kAnyOfSet:
            return "any_of_set";
        case kBackref:
            return "backref";
        case kBackrefCi:
            return "backref_ci";
        case kStarLazy:
            return "star_lazy";
        case kPlusLazy:
            return "plus_lazy";
        case kBracesLazy:
            return "braces_lazy";
        case kLoopLazy:
            return "loop_lazy";
        case kLineStart:
            return "line_start";
        case kLineEnd:
            return "line_end";
        case kAnyButLineSep:
            return "any_but_line_sep";
        case kWordBoundary:
            return "word_boundary";
        case kNotWordBoundary:
            return "not_word_boundary";
        default:
            return nullptr;
    }
}

void append_byte(std::string& out, unsigned char c) {
    if (c >= 0x21 && c < 0x7F && c != '"' && c != '\\') {
        out += static_cast<char>(c);
    } else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
    }
}

// A byte set as ranges: a-z0-9 style.
void append_set(std::string& out, const uint8_t* set) {
    int c = 0;
    while (c < 256) {
        if (!has_bit(set, static_cast<unsigned>(c))) {
            ++c;
            continue;
        }
        int e = c;
        while (e + 1 < 256 && has_bit(set, static_cast<unsigned>(e + 1)))
            ++e;
        append_byte(out, static_cast<unsigned char>(c));
        if (e > c) {
            out += '-';
            append_byte(out, static_cast<unsigned char>(e));
        }
        c = e + 1;
    }
}

}  // namespace

std::string CRegExpr::dump() {
    if (!compiled_ || compiled_modifiers_ != modifiers_)
        compile();
    std::string out;
    char buf[64];
    int32_t p = 1;
    while (p < program_size_) {
        uint8_t k = program_[p];
        const uint8_t* op = program_ + p + kNodeHeader;
        int32_t nx = next_node(program_, p);
        std::snprintf(buf, sizeof buf, "%d ", p);
        out += buf;
        const char* name = kind_name(k);
        if (k >= kOpen && k < kOpen + kGroups) {
            std::snprintf(buf, sizeof buf, "open %d", k - kOpen);
            out += buf;
        } else if (k >= kClose && k < kClose + kGroups) {
            std::snprintf(buf, sizeof buf, "close %d", k - kClose);
            out += buf;
        } else {
            out += name != nullptr ? name : "?";
        }
        switch (k) {
            case kExactly:
            case kExactlyCi:
                out += " \"";
                for (int32_t n = 0; op[n] != 0; ++n)
                    append_byte(out, op[n]);
                out += '"';
                break;
            case kBraces:
            case kBracesLazy:
                std::snprintf(buf, sizeof buf, " %d,%d", read32(op), read32(op + 4));
                out += buf;
                break;
            case kLoop:
            case kLoopLazy:
                std::snprintf(buf, sizeof buf, " %d,%d body %d", read32(op), read32(op + 4), p + read32(op + 8));
                out += buf;
                break;
            case kAnyOf3:
            case kNoneOf3:
                out += " [";
                for (int i = 0; i < 3; ++i)
                    append_byte(out, op[i]);
                out += ']';
                break;
            case kAnyOfSet:
                out += " [";
                append_set(out, op);
                out += ']';
                break;
            case kBackref:
            case kBackrefCi:
                std::snprintf(buf, sizeof buf, " %d", op[0]);
                out += buf;
                break;
            default:
                break;
        }
        if (nx != 0) {
            std::snprintf(buf, sizeof buf, " -> %d", nx);
            out += buf;
        }
        out += '\n';
        p += node_size(program_, p);
    }
    if (start_char_ != 0) {
        out += "start ";
        append_byte(out, start_char_);
        out += '\n';
    }
    if (anchored_)
        out += "anchored\n";
    if (must_length_ > 0) {
        out += "must \"";
        for (int32_t i = 0; i < must_length_; ++i)
            append_byte(out, program_[must_offset_ + i]);
        out += "\"\n";
    }
    out += "first [";
    append_set(out, first_set_);
    out += "]\n";
    return out;
}
