// CRegExpr: the runtime's regular-expression engine. Compiles an expression of the tilde dialect into
// a node program and searches 8-bit text with it; string_replace is its one caller in the runtime.
// Pure C++, no platform headers. One object belongs to one thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/values/rt_string.h"

// Thrown for compile errors (code below 1000, position = parser cursor) and run-time errors
// (code 1000 and above, position 0).
//
// Limits. Work that would pass one of them is refused with an error code of its own, never
// answered with a wrong result or "no match", and leaves nothing that changes a later search:
// - 130 (compile): the program would be larger than kMaxProgramSize bytes (16 MiB; sizes are
//   counted in 64 bits, so no pattern length wraps them).
// - 1016: a search took more than its step budget of kBaseSteps + 8 x (input bytes from the
//   start offset to the end + 1) x (program bytes) steps; a step is one alternation, repetition or
//   loop node entered, one backtrack or one byte counted by a repetition. The budget holds for
//   every search: none takes more steps without this error. A search starts remembering failed
//   states (never with back-references, whose future depends on the captured texts) after 8
//   backtracks per input byte plus 100000, or at half its budget, whichever comes first; from then
//   on a pattern without back-references takes time linear in the input, unless it has a counted
//   loop whose maximum is below the input's length and whose body can match texts of different
//   lengths or holds a nested group, or the failed-state memory fills: those can meet the budget.
// - 1017: the backtracking stack reached kMaxStackBytes (128 MiB) with nothing remembered that
//   would let it drop its oldest part (patterns with back-references). Without back-references a
//   full stack drops its oldest quarter and the try starts again from its start position, finding
//   its way back through the remembered failed states.
// Memory: the backtracking stack (at most kMaxStackBytes) and the failed-state memory (at most
// kMaxMemoBytes, 128 MiB) together stay under 256 MiB, whatever the input.
class CRegExprException {
  public:
    CRegExprException(int32_t error_code, int32_t cursor) : code(error_code), position(cursor) {}
    int32_t code;
    int32_t position;
};

namespace regex {

// Node kinds: the first byte of each node of the program.
enum NodeKind : uint8_t {
    kEnd = 0,               // the match succeeds
    kInputStart = 1,        // empty string at the input start
    kInputEnd = 2,          // empty string at the input end
    kAny = 3,               // any one byte
    kBranch = 6,            // one alternative; its operand is the alternative's node sequence
    kBack = 7,              // nothing; next offset points backwards
    kExactly = 8,           // the operand's bytes (NUL-terminated)
    kNothing = 9,           // empty string
    kStar = 10,             // simple operand node, 0 or more times, greedy
    kPlus = 11,             // simple operand node, 1 or more times, greedy
    kDigit = 12,            // one byte 0-9
    kNotDigit = 13,         // one byte that is not 0-9
    kBraces = 18,           // min (int32), max (int32), simple operand node; greedy
    kComment = 19,          // empty string: comments, modifier groups, skipped white space
    kExactlyCi = 20,        // the operand's bytes, ignoring case
    kLoopEntry = 23,        // pushes a level of the loop stack
    kLoop = 24,             // min, max, offset to the loop body; end of a counted loop, greedy
    kAnyOf3 = 25,           // one byte equal to one of 3 operand bytes
    kNoneOf3 = 26,          // one byte equal to none of 3 operand bytes
    kAnyOfSet = 27,         // one byte whose bit is set in the 32-byte operand map
    kBackref = 28,          // group number (1 byte): that group's current text
    kBackrefCi = 29,        // the same, ignoring case
    kStarLazy = 30,         // as kStar, fewest first
    kPlusLazy = 31,         // as kPlus, fewest first
    kBracesLazy = 32,       // as kBraces, fewest first
    kLoopLazy = 33,         // as kLoop, fewest first
    kLineStart = 34,        // empty string at the input start or after a line separator
    kLineEnd = 35,          // empty string at the input end or before a line separator
    kAnyButLineSep = 36,    // one byte that neither begins nor forms a line separator
    kWordBoundary = 37,     // empty string between a word byte and a non-word byte
    kNotWordBoundary = 38,  // empty string anywhere else
    kOpen = 39,             // kOpen + n: records the start of group n (0-14)
    kClose = 54,            // kClose + n: records the end of group n
};

constexpr uint8_t kProgramMark = 216;
constexpr int32_t kNodeHeader = 5;  // kind byte and 4-byte next offset
constexpr int kGroups = 15;
constexpr int kLoopLevels = 10;

// Limits (see CRegExprException).
constexpr int32_t kErrorProgramTooLarge = 130;
constexpr int32_t kErrorStepBudget = 1016;
constexpr int32_t kErrorStackFull = 1017;
constexpr int64_t kMaxProgramSize = int64_t{1} << 24;
constexpr int64_t kBaseSteps = int64_t{1} << 24;
constexpr size_t kMaxStackBytes = size_t{128} << 20;
constexpr size_t kMinStackBytes = 64 * 12;  // the smallest stack that set_limits gives: 64 records
constexpr size_t kMaxMemoBytes = size_t{128} << 20;

// Modifier bits.
constexpr int32_t kModI = 1, kModR = 2, kModS = 4, kModG = 8, kModM = 16, kModX = 32;
constexpr int32_t kDefaultModifiers = kModR | kModS | kModG;

// Other-case partner of a byte under the runtime's case tables (the byte itself if it has none).
unsigned char other_case(unsigned char c);

}  // namespace regex

class CRegExpr {
  public:
    CRegExpr();
    ~CRegExpr();
    CRegExpr(const CRegExpr&) = delete;
    CRegExpr& operator=(const CRegExpr&) = delete;

    // Stores a copy of the expression; null counts as a null expression (error 100), an empty text
    // as none (error 1003). Compilation happens on the next search.
    void set_expression(const char* text);
    void compile();

    int32_t modifiers() const { return modifiers_; }
    void set_modifiers(int32_t bits) { modifiers_ = bits; }
    // Index 1 (i) to 6 (x); another index raises error 1013.
    bool get_modifier(int32_t index);
    void set_modifier(int32_t index, bool on);
    void set_line_separators(const char* separators);

    // The searched text: a copy of all its bytes; searches stop at its first NUL. replace_all
    // searches its text in place and leaves no input stored.
    void set_input(const RtString& input);
    bool exec(int32_t offset);
    bool exec_next();
    // 1-based position and length of group n; -1 when it is not set.
    int32_t match_pos(int32_t n) const;
    int32_t match_len(int32_t n) const;
    RtString match_text(int32_t n) const;
    RtString replace_all(const RtString& input, const RtString& replacement);

    int32_t last_error() const { return last_error_; }
    // After how many backtracking steps the searches of one input start remembering failed states;
    // negative (the default) is 8 per input byte plus 100000, or earlier at half the step budget.
    // An explicit number holds exactly (INT64_MAX: never).
    void set_memo_after(int64_t backtracks) {
        memo_after_ = backtracks;
        memo_stale_ = true;
    }
    // Lowers the stack and memo limits and the budget's fixed part (never above the defaults), so
    // that tests reach them with small inputs; the smallest stack holds 64 records (kMinStackBytes).
    void set_limits(size_t stack_bytes, size_t memo_bytes, int64_t base_steps = regex::kBaseSteps);
    // The last search: its steps and step budget, whether it had to start a try again after
    // dropping the oldest part of a full stack, and the peak bytes of stack and memo of this input.
    int64_t last_steps() const { return steps_; }
    int64_t last_budget() const { return step_budget_; }
    bool last_restarted() const { return restarted_; }
    size_t memory_bytes() const { return stack_.peak_bytes() + memo_bytes_; }
    // The compiled program as text, one node per line, and the search aids; compiles if needed.
    std::string dump();

  private:
    static constexpr uint8_t kMemoFailEntry = 9;  // the kind of record that marks a failed state
    // One record of the backtracking stack: an undo record or a choice point (see the matcher).
    // head = program offset << 8 | aux << 4 | kind.
    struct Entry {
        uint32_t head;
        int32_t pos;
        int32_t a;
    };
    static_assert(64 * sizeof(Entry) == regex::kMinStackBytes, "the smallest stack: four blocks of 16 records");
    // The backtracking stack: blocks that are kept once allocated, so that it never moves and a
    // search reuses what earlier searches allocated. At most max_blocks blocks; when they are
    // full the oldest blocks can be dropped (their records are lost, the newest stay). Pushes and
    // pops move a pointer within the current block.
    class Stack {
      public:
        static constexpr size_t kBlock = size_t{1} << 15;
        bool empty() const { return top_ == floor_at_; }
        void clear() {
            cur_ = 0;
            begin_ = blocks_.empty() ? nullptr : blocks_[0];
            end_ = begin_ != nullptr ? begin_ + block_ : nullptr;
            top_ = floor_at_ = begin_;
        }
        // The newest record; the stack is not empty.
        Entry& top() { return top_ != begin_ ? top_[-1] : blocks_[cur_ - 1][block_ - 1]; }
        Entry& at(size_t i) { return blocks_[i / block_][i % block_]; }
        Entry pop() {
            if (top_ == begin_)
                previous_block();
            return *--top_;
        }
        // False when the stack is full.
        bool push(const Entry& e) {
            if (top_ == end_ && !next_block())
                return false;
            *top_++ = e;
            return true;
        }
        // Drops the oldest quarter of the blocks; their memory serves the newest records.
        void drop_oldest();
        // The oldest record left after a drop is dropped too.
        void raise_floor() { floor_at_ = blocks_[0] + 1; }
        // Blocks of up to kBlock records, at least four of them within `bytes`.
        void set_max_bytes(size_t bytes);
        size_t peak_bytes() const { return blocks_.size() * block_ * sizeof(Entry); }
        Stack() = default;
        Stack(const Stack&) = delete;
        Stack& operator=(const Stack&) = delete;
        ~Stack() { free_blocks(); }

      private:
        bool next_block();
        void previous_block() {
            begin_ = blocks_[--cur_];
            end_ = top_ = begin_ + block_;
        }
        void free_blocks();
        std::vector<Entry*> blocks_;
        size_t block_ = kBlock;  // records per block
        size_t cur_ = 0;         // the block of top_
        Entry* begin_ = nullptr;
        Entry* end_ = nullptr;
        Entry* top_ = nullptr;
        Entry* floor_at_ = nullptr;  // empty when top_ is here: records below it were dropped
        size_t max_blocks_ = regex::kMaxStackBytes / (kBlock * sizeof(Entry));
    };
    // One remembered (node, loop stack) pair: its failed positions, in a bitmap of its own or in
    // the shared hash set, and a range of positions known to fail: for a repetition the positions
    // after it from which the rest failed, all within one run of its operand; for a counted loop
    // whose body has one width (keyed without the loop's own counter) the positions where leaving
    // the loop failed, with the body matching from each of them to the next.
    struct Slot {
        int32_t bitmap;   // index into memo_bits_, -1 none
        uint32_t hashed;  // positions of this slot in the hash set
        int32_t range_lo, range_hi;
        bool body_below;  // loops: the body also matches from range_lo - width to range_lo
    };
    [[noreturn]] void fail(int32_t code);
    void free_program();
    void ensure_program();
    void compute_search_aids();
    bool search(int32_t from);
    bool run(int32_t start);
    void push_entry(uint8_t kind, uint8_t aux, int32_t pc, int32_t pos, int32_t a) {
        Entry e{static_cast<uint32_t>(pc) << 8 | static_cast<uint32_t>(aux) << 4 | kind, pos, a};
        if (!stack_.push(e))
            push_on_full_stack(e);
    }
    void push_on_full_stack(const Entry& e);
    // The common case inline: no loop active, a recently seen node whose positions are all in
    // its bitmap.
    bool memo_enter(int32_t pc, int32_t pos, bool mark = true) {
        size_t r = static_cast<size_t>(pc) & 63;
        if (loop_index_ == 0 && recent_pc_[r] == pc) {
            const Slot& s = slots_[recent_slot_[r]];
            if (bitmap_failed(s, pos))
                return true;
            if (s.hashed == 0) {
                if (mark)
                    push_entry(kMemoFailEntry, 0, pc, pos, 0);
                return false;
            }
        }
        return memo_enter_slow(pc, pos, mark);
    }
    bool memo_enter_slow(int32_t pc, int32_t pos, bool mark);
    // Whether the slot's bitmap (when it has one) marks pos failed.
    bool bitmap_failed(const Slot& s, int32_t pos) const {
        return s.bitmap >= 0 &&
               (memo_bits_[static_cast<size_t>(s.bitmap)][static_cast<size_t>(pos) / 64] >> (pos % 64)) & 1;
    }
    uint32_t slot_of(int32_t pc, uint32_t ls, bool create);
    // The slot of a node at pos under the current loop stack (see slot_of); with no loop active, a
    // recently seen node's comes from a small cache.
    uint32_t current_slot(int32_t pc, int32_t pos, bool create) {
        size_t r = static_cast<size_t>(pc) & 63;
        if (loop_index_ == 0 && recent_pc_[r] == pc)
            return recent_slot_[r];
        return current_slot_slow(pc, pos, create);
    }
    uint32_t current_slot_slow(int32_t pc, int32_t pos, bool create);
    uint32_t loop_exit_slot(int32_t loop, int32_t width, int32_t pos, bool create);
    void loop_exit_failed(int32_t loop, int32_t pos);
    int32_t loop_width(int32_t loop) const;
    bool memo_failed(uint32_t slot, int32_t pos);
    void memo_mark(int32_t pc, int32_t pos);
    bool memo_afford(size_t bytes);
    template <class T>
    bool memo_reserve(std::vector<T>& v, size_t n);
    template <class HashOf>
    bool add_id(std::vector<uint32_t>& table, uint32_t id, uint64_t hash, HashOf hash_of);
    uint32_t loop_state_id(int32_t pos, bool any_top_count = false);
    void memo_reset();
    void memo_turns_on();
    // Counts steps: past step_check_, the search starts remembering failed states or ends with the
    // budget's error.
    void add_steps(int64_t n) {
        steps_ += n;
        if (steps_ > step_check_)
            step_check_passed();
    }
    void step_check_passed();
    void wasted(int64_t n);
    int32_t repeat(int32_t node, int32_t from, int32_t c, int32_t reached);
    int32_t count_simple(int32_t node, int32_t pos, int32_t max, int32_t* unit);
    int32_t count_known(int32_t node, int32_t pos, int32_t max, const Slot& known, int64_t* read);
    bool line_sep_at(int32_t pos) const;
    bool line_start_at(int32_t pos) const;
    void input_reset();
    bool literal_present(int32_t from);

    // What every search reads comes first, so that it shares a few cache lines.
    uint8_t* program_ = nullptr;  // program_short_ for a short program
    int32_t program_size_ = 0;
    int32_t in_end_ = 0;
    const unsigned char* in_ = nullptr;
    bool compiled_ = false;
    bool has_input_ = false;
    bool has_backref_ = false;
    bool starts_quantified_ = false;
    int32_t modifiers_ = regex::kDefaultModifiers;
    int32_t compiled_modifiers_ = 0;

    // Search aids.
    uint8_t start_char_ = 0;
    bool anchored_ = false;
    bool line_anchored_ = false;  // the single branch starts with line_start
    uint8_t first_a_ = 0;
    uint8_t first_b_ = 0;
    int first_count_ = 0;      // members of the first-character set, and the first two
    int32_t must_offset_ = 0;  // program offset of the must-contain literal's bytes, 0 if none
    int32_t must_length_ = 0;
    int32_t must_found_ = -1;  // last found occurrence of the literal in the current input
    // The next occurrences of the one or two first bytes at or after first_from_ (no occurrence
    // lies between first_from_ and them); -1 when not known.
    int32_t first_next_[2] = {-1, -1};
    int32_t first_from_[2] = {-1, -1};

    // Results and the loop stack.
    int32_t loop_index_ = 0;
    int32_t start_[regex::kGroups];
    int32_t end_[regex::kGroups];

    // Backtracking state, kept and reused between searches.
    Stack stack_;
    int64_t steps_ = 0;
    int64_t step_budget_ = 0;
    int64_t step_check_ = 0;  // where the search starts remembering failed states, then the budget
    int64_t backtracks_ = 0;
    int64_t memo_threshold_ = 0;
    int64_t memo_after_ = -1;
    int64_t base_steps_ = regex::kBaseSteps;
    size_t memo_bytes_ = 0;
    bool restarted_ = false;
    bool dropped_ = false;  // the stack dropped its oldest records in this try
    bool memo_on_ = false;
    bool memo_full_ = false;  // a failed state could not be remembered: the next search starts afresh
    bool memo_stale_ = true;  // input or program changed since the last reset
    uint8_t first_set_[32] = {};
    uint8_t line_sep_set_[32] = {};

    // Expression and settings.
    std::string expression_;
    bool has_expression_ = false;
    bool null_expression_ = false;
    std::string line_separators_ = "\r\n";
    int32_t last_error_ = 0;
    std::vector<char> input_;
    // The counted loops whose body matches one width and sets no group but its own: (loop node,
    // width), by node.
    std::vector<std::pair<int32_t, int32_t>> loop_widths_;
    int32_t loop_count_[regex::kLoopLevels + 1] = {};
    int32_t loop_node_[regex::kLoopLevels + 1] = {};  // the loop node of each active level

    // The failed-state memory.
    size_t memo_max_bytes_ = regex::kMaxMemoBytes;
    uint64_t memo_marks_ = 0;
    std::vector<uint64_t> memo_;  // hash set of slot << 32 | position
    size_t memo_used_ = 0;
    std::vector<uint64_t> slot_keys_;  // per slot: node << 32 | loop state
    std::vector<Slot> slots_;
    std::vector<uint32_t> slot_table_;              // open addressing: slot + 1
    std::vector<std::vector<uint64_t>> memo_bits_;  // per bitmap: one bit per position
    size_t memo_bitmap_bytes_ = 0;
    std::vector<uint32_t> loop_states_;       // interned loop stacks: index, then its counters
    std::vector<uint32_t> loop_state_table_;  // open addressing: id
    uint32_t loop_state_count_ = 0;
    int32_t recent_pc_[64] = {};  // the slots of nodes with no loop active
    uint32_t recent_slot_[64] = {};

    // The large tables last: the first-character set one byte per byte value (filled where the
    // search scans with it) and the room of a short program.
    uint8_t first_table_[256];
    static constexpr int32_t kShortProgram = 256;
    uint8_t program_short_[kShortProgram];
};
