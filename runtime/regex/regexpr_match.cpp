// The matcher of CRegExpr.
//
// Design. The node program is walked by one loop: pc is the current node, pos the current input
// position. Nodes that match go on at their next node; a node that fails backtracks. Backtracking
// state lives on one explicit stack in the engine (fixed blocks reused between searches, never the
// C++ stack; a search that fills it ends without a match), holding two sorts of entries: undo
// records (a group's start and end, the loop index, a loop counter, with their old values) and
// choice points (another branch of an alternation; the next count of
// a single-node repetition; the other way out of a counted loop). Backtracking pops entries,
// applying undo records, until it reaches a choice point, and resumes there; so every change of
// the groups and of the loop stack is undone exactly when the search backs out of it. The
// alternatives are tried in the order the language defines: branches from the first, greedy
// repetitions from the most, lazy ones from the fewest, the greedy counted loop the body before
// the exit, the lazy one the exit before the body; a counted loop pops its level before the rest
// runs, greedy or lazy, and the pop is undone when the rest fails.
//
// Searches of an input that have backtracked far more than the input is long, or used half their
// step budget (with a pattern without back-references, so that the future of a state depends only
// on the node, the position and the loop stack) start keeping the states that failed: entering a
// node with alternatives leaves a record that, when the search backs out of it, marks (node,
// position, loop stack) as failed; entering a marked state fails at once. A repetition also keeps,
// as one range, the positions after it from which the rest failed (greedy or lazy, with a maximum
// or not), and skips them when it tries its counts again, from this start or a later one. Success
// leaves nothing marked, so the set stays true for later searches of the same input. The matching
// order is unchanged, and patterns such as (a|a)*b take linear time.
//
// Counted loops: a counter whose loop's maximum is out of reach from the position (no maximum, or
// fewer bytes left than passes) counts as the loop's minimum in the key of a state. A loop whose
// body matches one width keeps, besides, the range of positions where leaving it failed, and a
// count inside that range jumps to its end, as a repetition skips its range: so (a|a){0,100000}b
// takes linear time also on inputs longer than its maximum.
//
// Limits (documented in the header). The set and the stack have fixed memory bounds. A full
// stack drops its oldest records and the try starts again from its start position: the states
// marked meanwhile lead the new try past what already failed, so it gets further each time.
// The step budget holds for every search, the set or not; a search that passes a limit raises
// its error instead of answering.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "runtime/regex/regexpr.h"

using namespace regex;

namespace {

enum EntryKind : uint8_t {
    kUndoGroup,     // aux = group, pos = old start, a = old end
    kUndoIndex,     // a = old loop index
    kUndoCount,     // aux = level, pc = old loop node, a = old counter
    kChoiceBranch,  // pc = next branch, pos, a = first branch of the run whose failure it marks, or 0
    kChoiceGreedy,  // pc = repetition, pos = its start, a = next count to try
    kChoiceLazy,    // pc = repetition, pos = its start, a = count last tried
    kReached,       // a = the count a repetition reached; right below its choice
    kChoiceExit,    // pc = greedy loop node, pos: pop the level and match the rest
    kChoiceBody,    // pc = lazy loop node, pos: one more pass of the body
    kMemoFail,      // pc, pos: the search backs out of this state (loop stack as now), it failed
};
static_assert(kMemoFail == 9, "the header's inline memo check pushes this kind");

constexpr int32_t kStarMax = 2147483647;
constexpr uint64_t kEmptySlot = ~0ull;
constexpr uint32_t kNoLoopState = 0xFFFFFFFFu;
constexpr uint32_t kAnyCount = 0xFFFFFFFFu;  // in a loop stack key: a counter left out
constexpr uint32_t kNoSlot = 0xFFFFFFFFu;
constexpr int32_t kLoopWidth = kLoopLevels + 1;

int32_t read32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
int32_t next_of(const uint8_t* prog, int32_t p) {
    int32_t off = read32(prog + p + 1);
    return off == 0 ? 0 : p + off;
}
bool has_bit(const uint8_t* set, unsigned c) {
    return (set[c >> 3] >> (c & 7)) & 1;
}
bool is_word(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
uint64_t mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    return x;
}

// The id tables (open addressing, 0 = empty, a power of two in size) probe one sequence from the
// hash, for lookups and entries alike: the entry of the sequence that holds an id for which
// `stop` is true, or else its first empty entry.
template <class Stop>
uint32_t& probe(std::vector<uint32_t>& table, uint64_t hash, Stop stop) {
    size_t mask = table.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        if (table[i] == 0 || stop(table[i]))
            return table[i];
    }
}

// The id whose `same` is true in the table, or 0.
template <class Same>
uint32_t find_id(std::vector<uint32_t>& table, uint64_t hash, Same same) {
    return table.empty() ? 0 : probe(table, hash, same);
}

uint32_t& free_entry(std::vector<uint32_t>& table, uint64_t hash) {
    return probe(table, hash, [](uint32_t) { return false; });
}

}  // namespace

bool CRegExpr::line_sep_at(int32_t pos) const {
    return has_bit(line_sep_set_, in_[pos]);
}

void CRegExpr::ensure_program() {
    if (!compiled_ || program_ == nullptr || compiled_modifiers_ != modifiers_)
        compile();
}

namespace {

// Copies n bytes and gives the offset of the first 0 among them (n when there is none). Each piece
// is looked at while the copy still has it in the cache.
size_t copy_find_nul(char* to, const char* from, size_t n) {
    constexpr size_t kPiece = size_t{1} << 15;
    size_t nul = n;
    for (size_t done = 0; done < n; done += kPiece) {
        size_t piece = std::min(kPiece, n - done);
        std::memcpy(to + done, from + done, piece);
        const void* hit = nul == n ? std::memchr(to + done, 0, piece) : nullptr;
        if (hit != nullptr)
            nul = static_cast<size_t>(static_cast<const char*>(hit) - to);
    }
    return nul;
}

}  // namespace

// One pass over the text: each piece copied is searched for a 0 while it is in the cache.
void CRegExpr::set_input(const RtString& input) {
    const char* data = input.data != nullptr ? input.data : "";
    size_t n = input.length > 0 ? static_cast<size_t>(input.length) : 0;
    input_.resize(n + 1);
    in_end_ = static_cast<int32_t>(copy_find_nul(input_.data(), data, n));
    input_[n] = 0;
    in_ = reinterpret_cast<const unsigned char*>(input_.data());
    has_input_ = true;
    input_reset();
}

// A new text to search: every search aid's memory of the old one goes.
void CRegExpr::input_reset() {
    must_found_ = -1;
    first_next_[0] = first_next_[1] = -1;
    first_from_[0] = first_from_[1] = -1;
    memo_stale_ = true;
    for (int i = 0; i < kGroups; ++i)
        start_[i] = end_[i] = -1;
}

int32_t CRegExpr::match_pos(int32_t n) const {
    if (n < 0 || n >= kGroups || start_[n] < 0 || end_[n] < 0)
        return -1;
    return start_[n] + 1;
}

int32_t CRegExpr::match_len(int32_t n) const {
    if (n < 0 || n >= kGroups || start_[n] < 0 || end_[n] < 0)
        return -1;
    return end_[n] - start_[n];
}

RtString CRegExpr::match_text(int32_t n) const {
    if (!has_input_ || match_len(n) <= 0)
        return RtString();
    return RtString(reinterpret_cast<const char*>(in_), start_[n], end_[n] - start_[n]);
}

// The literal's last found occurrence stays valid for every later search from before it.
bool CRegExpr::literal_present(int32_t from) {
    if (must_found_ >= from)
        return true;
    const unsigned char* lit = program_ + must_offset_;
    const unsigned char* p = in_ + from;
    const unsigned char* last = in_ + in_end_ - must_length_;
    while (p <= last) {
        p = static_cast<const unsigned char*>(std::memchr(p, lit[0], static_cast<size_t>(last - p + 1)));
        if (p == nullptr)
            return false;
        if (std::memcmp(p + 1, lit + 1, static_cast<size_t>(must_length_ - 1)) == 0) {
            must_found_ = static_cast<int32_t>(p - in_);
            return true;
        }
        ++p;
    }
    return false;
}

bool CRegExpr::exec(int32_t offset) {
    for (int i = 0; i < kGroups; ++i)
        start_[i] = end_[i] = -1;
    ensure_program();
    if (program_[0] != kProgramMark)
        fail(1004);
    if (!has_input_)
        fail(1005);
    if (offset == 0)
        fail(1006);
    if (offset < 0 || offset > in_end_ + 1)
        return false;
    // The line-separator set is built with the program, which a change of the separators renews.
    int32_t from = offset - 1;
    if (must_length_ > 0 && !literal_present(from))
        return false;
    loop_index_ = 0;
    // Failed states stay failed for every search of the same input with the same program, so the
    // set is kept from one search to the next.
    // A set that filled up starts afresh, so that this search is limited as on a fresh engine.
    if (memo_stale_ || memo_full_) {
        memo_reset();
        backtracks_ = 0;
        memo_threshold_ = memo_after_ >= 0 ? memo_after_ : 8 * static_cast<int64_t>(in_end_ + 1) + 100000;
        memo_on_ = memo_threshold_ <= 0 && !has_backref_;
        memo_stale_ = false;
    }
    steps_ = 0;
    restarted_ = false;
    step_budget_ = base_steps_ + 8 * static_cast<int64_t>(in_end_ - from + 1) * program_size_;
    // With the default setting a search that has not started remembering failed states does so at
    // half its budget; the budget itself holds for every search.
    bool memo_at_half = !memo_on_ && !has_backref_ && memo_after_ < 0;
    step_check_ = memo_at_half ? step_budget_ / 2 : step_budget_;
    return search(from);
}

bool CRegExpr::exec_next() {
    if (start_[0] < 0 || end_[0] < 0)
        fail(1007);
    int32_t offset = end_[0] + 1 + (end_[0] == start_[0] ? 1 : 0);
    return exec(offset);
}

bool CRegExpr::search(int32_t from) {
    if (anchored_)
        return run(from);
    if (start_char_ != 0) {
        const unsigned char* p = in_ + from;
        const unsigned char* end = in_ + in_end_;
        while (p < end) {
            p = static_cast<const unsigned char*>(std::memchr(p, start_char_, static_cast<size_t>(end - p)));
            if (p == nullptr)
                return false;
            if (run(static_cast<int32_t>(p - in_)))
                return true;
            ++p;
        }
        return false;
    }
    // One or two possible first bytes are looked for with memchr; the end of the input is tried
    // too when the first-character set holds 0.
    if (first_count_ <= 2 && !has_bit(first_set_, 0)) {
        // The next occurrences found by an earlier search of this input stay valid for a search
        // that starts between where that one looked from and them.
        const unsigned char* end = in_ + in_end_;
        auto known = [&](int i) {
            bool valid = first_from_[i] >= 0 && first_from_[i] <= from && from <= first_next_[i];
            return valid ? in_ + first_next_[i] : in_ + from;
        };
        const unsigned char* next_a = known(0);
        const unsigned char* next_b = first_count_ != 2 ? end : known(1);
        for (;;) {
            if (next_a != end && *next_a != first_a_) {
                next_a =
                    static_cast<const unsigned char*>(std::memchr(next_a, first_a_, static_cast<size_t>(end - next_a)));
                if (next_a == nullptr)
                    next_a = end;
            }
            if (next_b != end && *next_b != first_b_) {
                next_b =
                    static_cast<const unsigned char*>(std::memchr(next_b, first_b_, static_cast<size_t>(end - next_b)));
                if (next_b == nullptr)
                    next_b = end;
            }
            const unsigned char* p = next_a < next_b ? next_a : next_b;
            // No first byte lies between p and the next occurrences.
            first_next_[0] = static_cast<int32_t>(next_a - in_);
            first_next_[1] = static_cast<int32_t>(next_b - in_);
            first_from_[0] = first_from_[1] = static_cast<int32_t>(p - in_);
            if (p == end)
                return false;
            if (run(static_cast<int32_t>(p - in_)))
                return true;
            if (p == next_a)
                ++next_a;
            if (p == next_b)
                ++next_b;
        }
    }
    // Otherwise every byte that can begin a match, looked up in a table of the first bytes; the
    // input's terminating NUL stops the scan when it can begin one (a match at the end).
    bool at_end = has_bit(first_set_, 0);
    const unsigned char* p = in_ + from;
    const unsigned char* end = in_ + in_end_;
    for (;;) {
        while (end - p >= 4 && !(first_table_[p[0]] | first_table_[p[1]] | first_table_[p[2]] | first_table_[p[3]]))
            p += 4;
        while (p < end && !first_table_[*p])
            ++p;
        if (p == end && !at_end)
            return false;
        int32_t at = static_cast<int32_t>(p - in_);
        if (!(line_anchored_ && at > 0 && !line_start_at(at)) && run(at))
            return true;
        if (p == end)
            return false;
        ++p;
    }
}

// The line_start node's test.
bool CRegExpr::line_start_at(int32_t pos) const {
    if (pos == 0)
        return true;
    unsigned char b = in_[pos - 1];
    if (b == 10 && pos >= 2 && in_[pos - 2] == 13)
        return true;
    return !(b == 13 && in_[pos] == 10) && has_bit(line_sep_set_, b);
}

// The text is searched where it is, not copied: its bytes stay unchanged and alive during the
// call. Afterwards no input is stored (a later exec needs set_input).
//
// The text is first searched as if it had no NUL before its end, which spares a pass over it:
// every byte is checked on the way, the text between matches as it is copied and the matched
// bytes right after their search. A NUL found starts the replacement again with the searchable
// text ending there.
RtString CRegExpr::replace_all(const RtString& input, const RtString& replacement) {
    const char* src = input.data != nullptr ? input.data : "";
    size_t whole = input.length > 0 ? static_cast<size_t>(input.length) : 0;
    input_.clear();
    in_ = reinterpret_cast<const unsigned char*>(src);
    has_input_ = true;
    struct Unborrow {
        CRegExpr* engine;
        ~Unborrow() {
            engine->has_input_ = false;
            engine->in_ = nullptr;
            engine->in_end_ = 0;
            engine->input_reset();
        }
    } unborrow{this};
    // The result grows in one buffer, freed again if the search throws.
    struct Buffer {
        char* bytes = nullptr;
        size_t used = 0;
        size_t capacity = 0;
        explicit Buffer(size_t size) : bytes(rt_alloc(size + 1)), capacity(size) {}
        ~Buffer() { rt_free(bytes); }
        void reserve(size_t n) {
            if (used + n > capacity) {
                capacity = used + n + (used + n) / 2 + 16;
                bytes = rt_realloc(bytes, capacity + 1);
            }
        }
        void append(const char* from, size_t n) {
            reserve(n);
            if (n > 0)
                std::memcpy(bytes + used, from, n);
            used += n;
        }
        // The same; true (and nothing counted) when the bytes hold a NUL.
        bool append_finds_nul(const char* from, size_t n) {
            reserve(n);
            if (copy_find_nul(bytes + used, from, n) < n)
                return true;
            used += n;
            return false;
        }
    } out(whole + 16);
    size_t rlen = replacement.length > 0 ? static_cast<size_t>(replacement.length) : 0;
    // The terminator of an RtString ends the text unless a NUL comes first.
    bool assume_no_nul = src[whole] == 0;
    for (;;) {
        const char* nul = assume_no_nul ? nullptr : static_cast<const char*>(std::memchr(src, 0, whole));
        in_end_ = static_cast<int32_t>(nul != nullptr ? nul - src : static_cast<ptrdiff_t>(whole));
        input_reset();
        out.used = 0;
        size_t q = 0;
        bool nul_found = false;
        if (exec(1)) {
            do {
                size_t s = static_cast<size_t>(start_[0]);
                size_t e = static_cast<size_t>(end_[0]);
                if (assume_no_nul) {
                    nul_found = out.append_finds_nul(src + q, s - q) || std::memchr(src + s, 0, e - s) != nullptr;
                    if (nul_found)
                        break;
                } else {
                    out.append(src + q, s - q);
                }
                out.append(replacement.data, rlen);
                q = e;
            } while (exec_next());
        }
        if (!nul_found) {
            // A search of an anchored program after the start reads nothing, so where the text
            // ends cannot change its failure.
            if (!assume_no_nul || (anchored_ && q > 0)) {
                out.append(src + q, whole - q);
                break;
            }
            if (!out.append_finds_nul(src + q, whole - q))
                break;
        }
        assume_no_nul = false;
    }
    out.bytes[out.used] = 0;
    RtString result;
    result.adopt(out.bytes, static_cast<int32_t>(out.used));
    out.bytes = nullptr;
    return result;
}

// ---- the visited set ----

// Everything goes, memory included, so that the bound counts what is held. Nothing is held while
// no byte is counted.
void CRegExpr::memo_reset() {
    memo_on_ = false;
    memo_full_ = false;
    if (memo_bytes_ == 0)
        return;
    std::vector<uint64_t>().swap(memo_);
    memo_used_ = 0;
    std::vector<uint64_t>().swap(slot_keys_);
    std::vector<Slot>().swap(slots_);
    std::vector<uint32_t>().swap(slot_table_);
    std::vector<std::vector<uint64_t>>().swap(memo_bits_);
    memo_bitmap_bytes_ = 0;
    std::fill(std::begin(recent_pc_), std::end(recent_pc_), 0);
    std::vector<uint32_t>().swap(loop_states_);
    std::vector<uint32_t>().swap(loop_state_table_);
    loop_state_count_ = 0;
    memo_bytes_ = 0;
}

void CRegExpr::set_limits(size_t stack_bytes, size_t memo_bytes, int64_t base_steps) {
    stack_.set_max_bytes(std::min(stack_bytes, kMaxStackBytes));
    memo_max_bytes_ = std::min(memo_bytes, kMaxMemoBytes);
    base_steps_ = std::min(base_steps, kBaseSteps);
}

// From now on failed states are remembered; the rest of the budget is for what they leave.
void CRegExpr::memo_turns_on() {
    memo_on_ = true;
    step_check_ = step_budget_;
}

// The search passed step_check_: at half the budget it starts remembering failed states (see
// exec), past the budget it ends with the budget's error.
void CRegExpr::step_check_passed() {
    if (steps_ <= step_budget_ && !memo_on_) {
        memo_turns_on();
        return;
    }
    fail(kErrorStepBudget);
}

// Counts passed over without a choice point (their next byte cannot begin the rest) are work as
// backtracks are.
void CRegExpr::wasted(int64_t n) {
    add_steps(n);
    backtracks_ += n;
    if (backtracks_ > memo_threshold_ && !memo_on_ && !has_backref_)
        memo_turns_on();
}

// Counts bytes against the memo's bound; false when they do not fit.
bool CRegExpr::memo_afford(size_t bytes) {
    if (memo_bytes_ + bytes > memo_max_bytes_)
        return false;
    memo_bytes_ += bytes;
    return true;
}

// Room for n elements in v, within the memo's bound.
template <class T>
bool CRegExpr::memo_reserve(std::vector<T>& v, size_t n) {
    if (n <= v.capacity())
        return true;
    size_t cap = std::max<size_t>({n, v.capacity() * 2, 64});
    if (!memo_afford((cap - v.capacity()) * sizeof(T)))
        return false;
    v.reserve(cap);
    return true;
}

// Enters id (the highest so far) with its hash into an id table of open addressing (0 = empty),
// which grows to stay at most half full; hash_of gives the hash of an earlier id. False when the
// memory for a larger table is not there.
template <class HashOf>
bool CRegExpr::add_id(std::vector<uint32_t>& table, uint32_t id, uint64_t hash, HashOf hash_of) {
    if (2 * static_cast<size_t>(id) > table.size()) {
        size_t size = std::max<size_t>(1024, table.size() * 2);
        if (!memo_afford(size * sizeof(uint32_t)))
            return false;
        memo_bytes_ -= table.size() * sizeof(uint32_t);
        table.assign(size, 0u);
        for (size_t old = 1; old < id; ++old)
            free_entry(table, hash_of(old)) = static_cast<uint32_t>(old);
    }
    free_entry(table, hash) = id;
    return true;
}

// The loop stack at pos as a small number, the same for equal stacks; kNoLoopState when the
// memory for another one is not there. A counter above the minimum of its loop behaves as the
// minimum when the maximum cannot be reached from pos (no maximum, or fewer bytes left than
// passes: each pass of a counted loop's body takes at least one byte), so it counts as the
// minimum. With any_top_count the innermost loop's counter is left out.
uint32_t CRegExpr::loop_state_id(int32_t pos, bool any_top_count) {
    if (loop_index_ == 0)
        return 0;
    uint32_t counts[kLoopWidth];
    for (int32_t i = 1; i <= loop_index_; ++i) {
        const uint8_t* op = program_ + loop_node_[i] + kNodeHeader;
        int32_t min = read32(op);
        int32_t max = read32(op + 4);
        int32_t c = loop_count_[i];
        bool out_of_reach = max >= kStarMax - 1 || max - c > in_end_ - pos;
        counts[i] = static_cast<uint32_t>(c > min && out_of_reach ? min : c);
    }
    if (any_top_count)
        counts[loop_index_] = kAnyCount;
    counts[0] = static_cast<uint32_t>(loop_index_);
    auto hash = [](const uint32_t* c) {
        uint64_t h = c[0];
        for (uint32_t i = 1; i <= c[0]; ++i)
            h = mix(h * 31 + c[i]);
        return h;
    };
    auto same = [&](uint32_t id) {
        const uint32_t* s = &loop_states_[static_cast<size_t>(id - 1) * kLoopWidth];
        return std::equal(s, s + counts[0] + 1, counts);
    };
    if (uint32_t id = find_id(loop_state_table_, hash(counts), same))
        return id;
    // A new one.
    if (loop_state_count_ >= kNoLoopState - 1 ||
        !memo_reserve(loop_states_, (static_cast<size_t>(loop_state_count_) + 1) * kLoopWidth) ||
        !add_id(loop_state_table_, loop_state_count_ + 1, hash(counts),
                [&](size_t id) { return hash(&loop_states_[(id - 1) * kLoopWidth]); }))
        return kNoLoopState;
    loop_states_.insert(loop_states_.end(), counts, counts + kLoopWidth);
    return ++loop_state_count_;
}

uint32_t CRegExpr::current_slot_slow(int32_t pc, int32_t pos, bool create) {
    uint32_t ls = loop_state_id(pos);
    return ls == kNoLoopState ? kNoSlot : slot_of(pc, ls, create);
}

// The slot of the exits at pos of a counted loop whose body matches `width` bytes: the loop node
// under the loop stack without its own counter, one for each remainder of pos by the width (up to
// 128 of them; remainders that share one replace each other's range), as searches from successive
// starts meet the loop at positions of each remainder in turn. Node offsets take 24 bits.
uint32_t CRegExpr::loop_exit_slot(int32_t loop, int32_t width, int32_t pos, bool create) {
    uint32_t ls = loop_state_id(pos, true);
    int32_t remainder = pos % width & 127;
    return ls == kNoLoopState ? kNoSlot : slot_of(loop | remainder << 24, ls, create);
}

// The body width of a loop node whose body matches one width and sets no group but its own, or 0.
int32_t CRegExpr::loop_width(int32_t loop) const {
    auto it = std::lower_bound(loop_widths_.begin(), loop_widths_.end(), std::make_pair(loop, 0));
    return it != loop_widths_.end() && it->first == loop ? it->second : 0;
}

// A counted loop at pos failed with its counter at least at its minimum: leaving it there failed.
// The range of such positions grows by one body width at either end while the body is known to
// match in between: a counter above 0 at pos says that a pass of the body ended there.
void CRegExpr::loop_exit_failed(int32_t loop, int32_t pos) {
    int32_t width = loop_width(loop);
    int32_t count = loop_count_[loop_index_];
    if (width == 0 || count < read32(program_ + loop + kNodeHeader))
        return;
    uint32_t slot = loop_exit_slot(loop, width, pos, true);
    if (slot == kNoSlot)
        return;
    Slot& r = slots_[slot];
    bool body_below = count > 0;
    if (r.range_lo <= r.range_hi && pos >= r.range_lo && pos <= r.range_hi && (pos - r.range_lo) % width == 0)
        return;
    if (r.range_lo <= r.range_hi && pos == r.range_hi + width && body_below) {
        r.range_hi = pos;
    } else if (r.range_lo <= r.range_hi && pos == r.range_lo - width && r.body_below) {
        r.range_lo = pos;
        r.body_below = body_below;
    } else {
        r.range_lo = r.range_hi = pos;
        r.body_below = body_below;
    }
}

// The slot of a node under a loop stack; created when asked (kNoSlot when it does not fit, or
// when not asked and there is none). Those with no loop active are remembered by node.
uint32_t CRegExpr::slot_of(int32_t pc, uint32_t ls, bool create) {
    uint64_t key = static_cast<uint64_t>(pc) << 32 | ls;
    uint32_t id = find_id(slot_table_, mix(key), [&](uint32_t other) { return slot_keys_[other - 1] == key; });
    if (id == 0) {
        if (!create)
            return kNoSlot;
        size_t n = slots_.size();
        if (n >= kNoSlot - 1 || !memo_reserve(slot_keys_, n + 1) || !memo_reserve(slots_, n + 1))
            return kNoSlot;
        id = static_cast<uint32_t>(n + 1);
        if (!add_id(slot_table_, id, mix(key), [&](size_t old) { return mix(slot_keys_[old - 1]); }))
            return kNoSlot;
        slot_keys_.push_back(key);
        slots_.push_back(Slot{-1, 0, 1, 0, false});
    }
    if (ls == 0) {
        size_t recent = static_cast<size_t>(pc) & 63;
        recent_pc_[recent] = pc;
        recent_slot_[recent] = id - 1;
    }
    return id - 1;
}

bool CRegExpr::memo_failed(uint32_t slot, int32_t pos) {
    const Slot& s = slots_[slot];
    if (bitmap_failed(s, pos))
        return true;
    if (s.hashed == 0)
        return false;
    uint64_t key = static_cast<uint64_t>(slot) << 32 | static_cast<uint32_t>(pos);
    size_t mask = memo_.size() - 1;
    for (size_t i = mix(key) & mask;; i = (i + 1) & mask) {
        if (memo_[i] == key)
            return true;
        if (memo_[i] == kEmptySlot)
            return false;
    }
}

// Failed positions go into the slot's bitmap (given to a slot once it has many positions, or
// at once for short inputs, while bitmaps take at most three quarters of the bound) or into the
// hash set. What does not fit is not remembered, and the step budget takes over.
void CRegExpr::memo_mark(int32_t pc, int32_t pos) {
    if (program_[pc] == kLoop || program_[pc] == kLoopLazy)
        loop_exit_failed(pc, pos);
    uint32_t slot = current_slot(pc, pos, true);
    if (slot == kNoSlot) {
        memo_full_ = true;
        return;
    }
    size_t words = static_cast<size_t>(in_end_) / 64 + 1;
    if (slots_[slot].bitmap < 0 && (words <= 64 || slots_[slot].hashed >= words / 16) &&
        memo_bitmap_bytes_ + words * 8 <= memo_max_bytes_ / 4 * 3 && memo_reserve(memo_bits_, memo_bits_.size() + 1) &&
        memo_afford(words * 8 + 32)) {
        memo_bitmap_bytes_ += words * 8;
        slots_[slot].bitmap = static_cast<int32_t>(memo_bits_.size());
        memo_bits_.emplace_back(words, 0);
    }
    ++memo_marks_;
    Slot& s = slots_[slot];
    if (s.bitmap >= 0) {
        memo_bits_[static_cast<size_t>(s.bitmap)][static_cast<size_t>(pos) / 64] |= uint64_t{1} << (pos % 64);
        return;
    }
    uint64_t key = static_cast<uint64_t>(slot) << 32 | static_cast<uint32_t>(pos);
    if (memo_used_ * 2 >= memo_.size()) {
        size_t size = memo_.empty() ? 4096 : memo_.size() * 2;
        if (!memo_afford(size * sizeof(uint64_t))) {
            memo_full_ = true;
            return;
        }
        std::vector<uint64_t> old;
        old.swap(memo_);
        memo_.assign(size, kEmptySlot);
        size_t mask = size - 1;
        for (uint64_t k : old) {
            if (k == kEmptySlot)
                continue;
            size_t i = mix(k) & mask;
            while (memo_[i] != kEmptySlot)
                i = (i + 1) & mask;
            memo_[i] = k;
        }
        memo_bytes_ -= old.size() * sizeof(uint64_t);
    }
    size_t mask = memo_.size() - 1;
    for (size_t i = mix(key) & mask;; i = (i + 1) & mask) {
        if (memo_[i] == key)
            return;
        if (memo_[i] == kEmptySlot) {
            memo_[i] = key;
            ++memo_used_;
            ++s.hashed;
            return;
        }
    }
}

// On entering a node with alternatives while failed states are kept: true if the state is known
// to fail; otherwise, when mark is set, a record is pushed that marks it failed once the search
// backs out of it.
bool CRegExpr::memo_enter_slow(int32_t pc, int32_t pos, bool mark) {
    uint32_t slot = current_slot(pc, pos, false);
    if (slot != kNoSlot && memo_failed(slot, pos))
        return true;
    if (mark)
        push_entry(kMemoFail, 0, pc, pos, 0);
    return false;
}

// ---- the node matcher ----

// How many times in a row the simple node matches from pos, at most max. *unit is the bytes one
// match takes: 1, or the length of a back-reference's text (0 when that text is empty).
int32_t CRegExpr::count_simple(int32_t node, int32_t pos, int32_t max, int32_t* unit) {
    const uint8_t* op = program_ + node + kNodeHeader;
    const unsigned char* p = in_ + pos;
    int32_t left = in_end_ - pos;
    int32_t limit = max < left ? max : left;
    int32_t n = 0;
    *unit = 1;
    switch (program_[node]) {
        case kAny:
            return limit;
        case kAnyButLineSep:
            while (n < limit && !line_sep_at(pos + n) && !(p[n] == 13 && p[n + 1] == 10))
                ++n;
            return n;
        case kExactly:
            if (op[1] != 0)
                fail(1000);
            while (n < limit && p[n] == op[0])
                ++n;
            return n;
        case kExactlyCi: {
            if (op[1] != 0)
                fail(1000);
            unsigned char o = other_case(op[0]);
            while (n < limit && (p[n] == op[0] || p[n] == o))
                ++n;
            return n;
        }
        case kDigit:
            while (n < limit && p[n] >= '0' && p[n] <= '9')
                ++n;
            return n;
        case kNotDigit:
            while (n < limit && !(p[n] >= '0' && p[n] <= '9'))
                ++n;
            return n;
        case kAnyOf3:
            while (n < limit && (p[n] == op[0] || p[n] == op[1] || p[n] == op[2]))
                ++n;
            return n;
        case kNoneOf3:
            while (n < limit && p[n] != op[0] && p[n] != op[1] && p[n] != op[2])
                ++n;
            return n;
        case kAnyOfSet:
            while (n < limit && has_bit(op, p[n]))
                ++n;
            return n;
        case kBackref:
        case kBackrefCi: {
            int g = op[0];
            if (g >= kGroups || start_[g] < 0 || end_[g] < start_[g])
                return 0;
            int32_t len = end_[g] - start_[g];
            *unit = len;
            if (len == 0)
                return 0;
            const unsigned char* text = in_ + start_[g];
            bool ci = program_[node] == kBackrefCi;
            while (n < max && len <= left - static_cast<int64_t>(n) * len) {
                const unsigned char* at = p + static_cast<int64_t>(n) * len;
                int32_t i = 0;
                while (i < len && (at[i] == text[i] || (ci && at[i] == other_case(text[i]))))
                    ++i;
                if (i < len)
                    break;
                ++n;
            }
            return n;
        }
        default:
            fail(1000);
    }
}

// count_simple for a one-byte operand whose range of failed positions after it (known, not past
// pos) lies in one run of it: the run from known.range_lo reaches known.range_hi, so that part is
// not read again. *read gets the bytes read.
int32_t CRegExpr::count_known(int32_t node, int32_t pos, int32_t max, const Slot& known, int64_t* read) {
    int32_t unit = 1;
    int32_t count = 0;
    if (pos < known.range_lo) {
        int32_t to_lo = known.range_lo - pos;
        count = count_simple(node, pos, std::min(max, to_lo), &unit);
        *read += count;
        if (count < to_lo || count == max)
            return count;
    }
    count = std::min(max, known.range_hi - pos);
    if (count < max) {
        int32_t more = count_simple(node, known.range_hi, max - count, &unit);
        *read += more;
        count += more;
    }
    return count;
}

// The block after the current one, allocated when it is the first use; false when the stack has
// all its blocks in use.
bool CRegExpr::Stack::next_block() {
    size_t next = begin_ == nullptr ? 0 : cur_ + 1;
    if (next == blocks_.size()) {
        if (blocks_.size() >= max_blocks_)
            return false;
        blocks_.push_back(new Entry[block_]);
    }
    cur_ = next;
    begin_ = top_ = blocks_[cur_];
    end_ = begin_ + block_;
    if (cur_ == 0)
        floor_at_ = begin_;
    return true;
}

void CRegExpr::Stack::drop_oldest() {
    size_t drop = blocks_.size() / 4;
    std::rotate(blocks_.begin(), blocks_.begin() + static_cast<ptrdiff_t>(drop), blocks_.end());
    cur_ -= drop;
    floor_at_ = blocks_[0];
}

void CRegExpr::Stack::set_max_bytes(size_t bytes) {
    size_t block = kBlock;
    while (block > 16 && block * 4 * sizeof(Entry) > bytes)
        block /= 2;
    if (block != block_) {
        free_blocks();
        block_ = block;
    }
    max_blocks_ = std::max<size_t>(4, bytes / (block_ * sizeof(Entry)));
}

void CRegExpr::Stack::free_blocks() {
    for (Entry* b : blocks_)
        delete[] b;
    blocks_.clear();
    clear();
}

// A full stack drops its oldest records where failed states are remembered (or can be from now
// on), and the try starts again once the newest are used up; otherwise the search ends with its
// error.
void CRegExpr::push_on_full_stack(const Entry& e) {
    if (has_backref_)
        fail(kErrorStackFull);
    memo_turns_on();
    stack_.drop_oldest();
    dropped_ = true;
    // A repetition's choice whose count record was dropped goes too.
    uint8_t bottom = stack_.at(0).head & 15;
    if (bottom == kChoiceGreedy || bottom == kChoiceLazy)
        stack_.raise_floor();
    stack_.push(e);
}

// Picks the count of a repetition to try from count c on (downwards when greedy, upwards when
// lazy) and pushes the choice of the counts after it: the position behind the repetition, or -1
// when no count is left.
int32_t CRegExpr::repeat(int32_t node, int32_t from, int32_t c, int32_t reached) {
    const uint8_t* prog = program_;
    const unsigned char* in = in_;
    uint8_t k = prog[node];
    bool braces = k == kBraces || k == kBracesLazy;
    bool lazy = k == kStarLazy || k == kPlusLazy || k == kBracesLazy;
    const uint8_t* op = prog + node + kNodeHeader;
    int32_t min = braces ? read32(op) : (k == kPlus || k == kPlusLazy) ? 1 : 0;
    int32_t max = braces ? read32(op + 4) : kStarMax;
    int32_t operand = node + kNodeHeader + (braces ? 8 : 0);
    int32_t next = next_of(prog, node);
    int follow = prog[next] == kExactly ? prog[next + kNodeHeader] : -1;
    int32_t unit = 1;
    if (prog[operand] == kBackref || prog[operand] == kBackrefCi) {
        int g = prog[operand + kNodeHeader];
        unit = g < kGroups && start_[g] >= 0 && end_[g] >= start_[g] ? end_[g] - start_[g] : 1;
    }
    // While failed states are kept, the positions after the repetition from which the rest
    // failed are kept as a range (known failures skipped), greedy or lazy, with a maximum or not.
    bool ranges = memo_on_ && unit == 1;
    uint32_t slot = ranges ? current_slot(node, from, true) : kNoSlot;
    if (slot == kNoSlot)
        ranges = false;
    const Slot* fr = ranges && slots_[slot].range_lo <= slots_[slot].range_hi ? &slots_[slot] : nullptr;
    int64_t tried = 0;
    // No count is left: the rest failed after every count from the fewest to the most reached,
    // all within the run from `from`. Ranges in one run that overlap are joined.
    auto exhausted = [&]() {
        wasted(tried);
        if (ranges) {
            Slot& r = slots_[slot];
            int32_t lo = from + min, hi = from + reached;
            if (r.range_lo <= r.range_hi && lo <= r.range_hi && r.range_lo <= hi) {
                r.range_lo = std::min(r.range_lo, lo);
                r.range_hi = std::max(r.range_hi, hi);
            } else {
                r.range_lo = lo;
                r.range_hi = hi;
            }
        }
        return -1;
    };
    if (!lazy) {
        for (; c >= min; --c, ++tried) {
            int32_t q = from + c * unit;
            if (fr != nullptr && q >= fr->range_lo && q <= fr->range_hi) {
                c = fr->range_lo - from;
                continue;
            }
            if (follow < 0 || in[q] == follow)
                break;
        }
        if (c < min)
            return exhausted();
        wasted(tried);
        // While ranges are kept the last count leaves a choice too, so that its failure
        // records the range.
        if (c > min || ranges) {
            push_entry(kReached, 0, 0, 0, reached);
            push_entry(kChoiceGreedy, 0, node, from, c - 1);
        }
    } else {
        for (;; ++c, ++tried) {
            if (c > reached) {
                // one more repetition must match first
                if (c > max || unit == 0)
                    return exhausted();
                int32_t u = 0;
                add_steps(1);
                if (count_simple(operand, from + reached * unit, 1, &u) != 1)
                    return exhausted();
                reached = c;
            }
            int32_t q = from + c * unit;
            if (fr != nullptr && q >= fr->range_lo && q <= fr->range_hi) {
                // The run goes on to the range's end, and the rest failed all the way.
                c = std::min(max, fr->range_hi - from);
                reached = std::max(reached, c);
                continue;
            }
            if (follow < 0 || in[q] == follow)
                break;
        }
        wasted(tried);
        if (c < max || ranges) {
            push_entry(kReached, 0, 0, 0, reached);
            push_entry(kChoiceLazy, 0, node, from, c);
        }
    }
    return from + c * unit;
}

bool CRegExpr::run(int32_t start) {
    const uint8_t* prog = program_;
    const unsigned char* in = in_;
    stack_.clear();
    dropped_ = false;
    int32_t pc = 1;
    int32_t pos = start;
    bool failed = false;
    auto push = [this](uint8_t kind, uint8_t aux, int32_t pc_, int32_t pos_, int32_t a) {
        push_entry(kind, aux, pc_, pos_, a);
    };
    // Group g changes: its old start and end are kept unless the newest entry keeps them already
    // (no choice point lies between, so both are undone together).
    auto save_group = [&](int g) {
        if (!stack_.empty()) {
            const Entry& t = stack_.top();
            if ((t.head & 15) == kUndoGroup && ((t.head >> 4) & 15) == static_cast<uint32_t>(g))
                return;
        }
        push(kUndoGroup, static_cast<uint8_t>(g), 0, start_[g], end_[g]);
    };
    // Whether alternative b can match at `at` as far as its first node tells (a literal or a class
    // that the next byte does not begin ends it at once).
    auto viable = [prog, in, this](int32_t b, int32_t at) {
        const uint8_t* first = prog + b + kNodeHeader;
        const uint8_t* op = first + kNodeHeader;
        unsigned char c = in[at];
        switch (*first) {
            case kExactly:
                return c == op[0];  // the input's terminator differs from every pattern byte
            case kDigit:
                return c >= '0' && c <= '9';
            case kAnyOf3:
                return at < in_end_ && (c == op[0] || c == op[1] || c == op[2]);
            case kAnyOfSet:
                return at < in_end_ && has_bit(op, c);
            default:
                return true;
        }
    };
    // The first alternative from branch b on, or after it, that can match at `at`, or 0.
    auto branch_from = [prog, viable](int32_t b, int32_t at) {
        while (prog[b] == kBranch && !viable(b, at))
            b = next_of(prog, b);
        return prog[b] == kBranch ? b : 0;
    };
    auto next_branch = [prog, branch_from](int32_t b, int32_t at) { return branch_from(next_of(prog, b), at); };
    start_[0] = start;

    // Steps are counted where the walk can come back (alternatives, repetitions, loops, backtracks):
    // between two of them it passes each node at most once.
    for (;;) {
        if (!failed) {
            uint8_t k = prog[pc];  // pc 0 (no next node) holds the program mark: the default case
            const uint8_t* op = prog + pc + kNodeHeader;
            switch (k) {
                case kEnd:
                    end_[0] = pos;
                    assert(steps_ <= step_budget_);
                    return true;
                case kInputStart:
                    failed = pos != 0;
                    break;
                case kInputEnd:
                    failed = pos != in_end_;
                    break;
                case kLineStart:
                    failed = !line_start_at(pos);
                    break;
                case kLineEnd:
                    if (pos != in_end_) {
                        unsigned char b = in[pos];
                        if (b == 13 && in[pos + 1] == 10)
                            break;
                        failed = (b == 10 && pos > 0 && in[pos - 1] == 13) || !has_bit(line_sep_set_, b);
                    }
                    break;
                case kAny:
                    failed = pos >= in_end_;
                    ++pos;
                    break;
                case kAnyButLineSep:
                    failed = pos >= in_end_ || (in[pos] == 13 && in[pos + 1] == 10) || line_sep_at(pos);
                    ++pos;
                    break;
                case kDigit:
                    failed = pos >= in_end_ || in[pos] < '0' || in[pos] > '9';
                    ++pos;
                    break;
                case kNotDigit:
                    failed = pos >= in_end_ || (in[pos] >= '0' && in[pos] <= '9');
                    ++pos;
                    break;
                case kExactly: {
                    // The input's terminator differs from every pattern byte, so the compare
                    // stops at the end of the input by itself.
                    int32_t i = 0;
                    while (op[i] != 0 && in[pos + i] == op[i])
                        ++i;
                    failed = op[i] != 0;
                    pos += i;
                    break;
                }
                case kExactlyCi: {
                    int32_t i = 0;
                    while (op[i] != 0 && pos + i < in_end_ &&
                           (in[pos + i] == op[i] || in[pos + i] == other_case(op[i])))
                        ++i;
                    failed = op[i] != 0;
                    pos += i;
                    break;
                }
                case kAnyOf3:
                    failed = pos >= in_end_ || (in[pos] != op[0] && in[pos] != op[1] && in[pos] != op[2]);
                    ++pos;
                    break;
                case kNoneOf3:
                    failed = pos >= in_end_ || in[pos] == op[0] || in[pos] == op[1] || in[pos] == op[2];
                    ++pos;
                    break;
                case kAnyOfSet:
                    failed = pos >= in_end_ || !has_bit(op, in[pos]);
                    ++pos;
                    break;
                case kBackref:
                case kBackrefCi: {
                    int g = op[0];
                    if (g >= kGroups || start_[g] < 0 || end_[g] < start_[g]) {
                        failed = true;
                        break;
                    }
                    int32_t len = end_[g] - start_[g];
                    if (len > in_end_ - pos) {
                        failed = true;
                        break;
                    }
                    const unsigned char* text = in + start_[g];
                    int32_t i = 0;
                    if (k == kBackref) {
                        while (i < len && in[pos + i] == text[i])
                            ++i;
                    } else {
                        while (i < len && (in[pos + i] == text[i] || in[pos + i] == other_case(text[i])))
                            ++i;
                    }
                    failed = i < len;
                    pos += len;
                    break;
                }
                case kWordBoundary:
                case kNotWordBoundary: {
                    bool before = pos > 0 && is_word(in[pos - 1]);
                    bool here = pos < in_end_ && is_word(in[pos]);
                    failed = (before != here) != (k == kWordBoundary);
                    break;
                }
                case kNothing:
                case kComment:
                case kBack:
                    break;
                case kBranch: {
                    add_steps(1);
                    if (prog[next_of(prog, pc)] != kBranch) {
                        pc += kNodeHeader;  // one alternative: its nodes
                        continue;
                    }
                    // The choice of the next alternative also marks the run failed when the
                    // search backs out of its last one.
                    if (memo_on_ && memo_enter(pc, pos, false)) {
                        failed = true;
                        break;
                    }
                    int32_t first = branch_from(pc, pos);
                    if (first == 0) {
                        failed = true;
                        break;
                    }
                    int32_t alt = next_branch(first, pos);
                    if (alt != 0)
                        push(kChoiceBranch, 0, alt, pos, memo_on_ ? pc : 0);
                    else if (memo_on_)
                        push(kMemoFail, 0, pc, pos, 0);
                    pc = first + kNodeHeader;
                    continue;
                }
                case kStar:
                case kPlus:
                case kBraces:
                case kStarLazy:
                case kPlusLazy:
                case kBracesLazy: {
                    add_steps(1);
                    if (memo_on_ && memo_enter(pc, pos)) {
                        failed = true;
                        break;
                    }
                    bool braces = k == kBraces || k == kBracesLazy;
                    bool lazy = k == kStarLazy || k == kPlusLazy || k == kBracesLazy;
                    int32_t min = braces ? read32(op) : (k == kPlus || k == kPlusLazy) ? 1 : 0;
                    int32_t max = braces ? read32(op + 4) : kStarMax;
                    int32_t operand = pc + kNodeHeader + (braces ? 8 : 0);
                    int32_t unit = 1;
                    int32_t limit = lazy ? min : max;
                    // A known failed range after this node lies in one run of its operand: the
                    // count is known there without reading it again.
                    const Slot* known = nullptr;
                    if (memo_on_) {
                        uint32_t slot = current_slot(pc, pos, false);
                        if (slot != kNoSlot && slots_[slot].range_lo <= slots_[slot].range_hi &&
                            pos <= slots_[slot].range_hi)
                            known = &slots_[slot];
                    }
                    int32_t count = 0;
                    if (known != nullptr) {
                        int64_t read = 0;
                        count = count_known(operand, pos, limit, *known, &read);
                        add_steps(read);
                    } else {
                        count = count_simple(operand, pos, limit, &unit);
                        add_steps(count);
                    }
                    if (unit == 0) {
                        // An empty captured text: repeating it changes nothing, so it is taken
                        // zero times and the repetition matches the empty string.
                        pc = next_of(prog, pc);
                        continue;
                    }
                    int32_t after = count < min ? -1 : repeat(pc, pos, lazy ? min : count, count);
                    if (after < 0) {
                        failed = true;
                        break;
                    }
                    pos = after;
                    pc = next_of(prog, pc);
                    continue;
                }
                case kLoopEntry:
                    if (loop_index_ >= kLoopLevels)
                        fail(1014);
                    push(kUndoIndex, 0, 0, 0, loop_index_);
                    ++loop_index_;
                    push(kUndoCount, static_cast<uint8_t>(loop_index_), loop_node_[loop_index_], 0,
                         loop_count_[loop_index_]);
                    loop_count_[loop_index_] = 0;
                    loop_node_[loop_index_] = next_of(prog, pc);
                    break;
                case kLoop:
                case kLoopLazy: {
                    add_steps(1);
                    if (loop_index_ == 0)
                        fail(1015);
                    if (memo_on_ && memo_enter(pc, pos)) {
                        failed = true;
                        break;
                    }
                    int32_t min = read32(op);
                    int32_t max = read32(op + 4);
                    int32_t body = pc + read32(op + 8);
                    int32_t c = loop_count_[loop_index_];
                    // Inside a range of failed exits of a body of one width, the passes up to its
                    // end are known to match and every exit before it to fail: the count jumps there
                    // (the body's group is set again by the pass after it, which a match needs).
                    if (memo_on_ && !loop_widths_.empty()) {
                        int32_t width = loop_width(pc);
                        uint32_t slot = width > 0 ? loop_exit_slot(pc, width, pos, false) : kNoSlot;
                        if (slot != kNoSlot) {
                            const Slot& r = slots_[slot];
                            if (r.range_lo <= pos && pos < r.range_hi && (pos - r.range_lo) % width == 0) {
                                int32_t passes = (r.range_hi - pos) / width;
                                if (passes >= max - c) {
                                    failed = true;
                                    break;
                                }
                                push(kUndoCount, static_cast<uint8_t>(loop_index_), loop_node_[loop_index_], 0, c);
                                loop_count_[loop_index_] = c + passes;
                                pos = r.range_hi;
                                continue;
                            }
                        }
                    }
                    if (c < min || (k == kLoop && c < max)) {
                        if (c >= min)
                            push(kChoiceExit, 0, pc, pos, 0);
                        push(kUndoCount, static_cast<uint8_t>(loop_index_), loop_node_[loop_index_], 0, c);
                        loop_count_[loop_index_] = c + 1;
                        pc = body;
                        continue;
                    }
                    if (k == kLoopLazy && c < max)
                        push(kChoiceBody, 0, pc, pos, 0);
                    push(kUndoIndex, 0, 0, 0, loop_index_);
                    --loop_index_;
                    break;
                }
                default:
                    if (k >= kOpen && k < kOpen + kGroups) {
                        int g = k - kOpen;
                        save_group(g);
                        start_[g] = pos;
                    } else if (k >= kClose && k < kClose + kGroups) {
                        int g = k - kClose;
                        save_group(g);
                        end_[g] = pos;
                    } else {
                        fail(pc == 0 ? 1002 : 1001);
                    }
                    break;
            }
            if (!failed)
                pc = next_of(prog, pc);
            continue;
        }

        // Backtrack to the newest choice point, undoing changes on the way. When the records
        // left after dropping the oldest are used up, the try starts again: the states marked
        // failed meanwhile take it further than before (if none were, the budget takes over).
        for (;;) {
            if (stack_.empty()) {
                if (!dropped_) {
                    assert(steps_ <= step_budget_);
                    return false;
                }
                stack_.clear();
                dropped_ = false;
                restarted_ = true;
                for (int g = 1; g < kGroups; ++g)
                    start_[g] = end_[g] = -1;
                start_[0] = start;
                loop_index_ = 0;
                pc = 1;
                pos = start;
                break;
            }
            Entry e = stack_.pop();
            uint8_t kind = e.head & 15;
            uint8_t aux = (e.head >> 4) & 15;
            int32_t epc = static_cast<int32_t>(e.head >> 8);
            switch (kind) {
                case kUndoGroup:
                    start_[aux] = e.pos;
                    end_[aux] = e.a;
                    continue;
                case kUndoIndex:
                    loop_index_ = e.a;
                    continue;
                case kUndoCount:
                    loop_count_[aux] = e.a;
                    loop_node_[aux] = epc;
                    continue;
                case kMemoFail:
                    memo_mark(epc, e.pos);
                    continue;
                default:
                    break;
            }
            add_steps(1);
            if (++backtracks_ > memo_threshold_ && !memo_on_ && !has_backref_)
                memo_turns_on();
            if (kind == kChoiceBranch) {
                pc = epc;
                pos = e.pos;
                // The run's failure is marked when its last alternative fails too.
                int32_t alt = next_branch(pc, pos);
                if (alt != 0)
                    push(kChoiceBranch, 0, alt, pos, e.a);
                else if (e.a != 0)
                    push(kMemoFail, 0, e.a, pos, 0);
                // This alternative's own operand, not a new choice among the rest.
                pc += kNodeHeader;
            } else if (kind == kChoiceGreedy) {
                int32_t reached = stack_.pop().a;
                int32_t after = repeat(epc, e.pos, e.a, reached);
                if (after < 0)
                    continue;
                pos = after;
                pc = next_of(prog, epc);
            } else if (kind == kChoiceLazy) {
                int32_t reached = stack_.pop().a;
                int32_t after = repeat(epc, e.pos, e.a + 1, reached);
                if (after < 0)
                    continue;
                pos = after;
                pc = next_of(prog, epc);
            } else if (kind == kChoiceExit) {
                pos = e.pos;
                push(kUndoIndex, 0, 0, 0, loop_index_);
                --loop_index_;
                pc = next_of(prog, epc);
            } else {  // kChoiceBody
                pos = e.pos;
                push(kUndoCount, static_cast<uint8_t>(loop_index_), loop_node_[loop_index_], 0,
                     loop_count_[loop_index_]);
                ++loop_count_[loop_index_];
                pc = epc + read32(prog + epc + kNodeHeader + 8);
            }
            break;
        }
        failed = false;
    }
}
