#include "runtime/values/frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/values/areas.h"

namespace {

std::string bytes_of(const RtValue& value) {
    return std::string(value.text.c_str(), static_cast<size_t>(value.text.length));
}

std::vector<int32_t> g_reports;

void record_error(int32_t code, const char*) {
    g_reports.push_back(code);
}

// Every test starts from the state of a fresh run.
class Frames : public ::testing::Test {
  protected:
    void SetUp() override {
        release_frames();
        g_reports.clear();
        install_report_routines(record_error, record_error);
    }
    void TearDown() override {
        install_report_routines(nullptr, nullptr);
        release_frames();
    }
};

void expect_at_rest() {
    EXPECT_EQ(current_frame_index(), 0);
    EXPECT_EQ(frame_depth(), 1);
    EXPECT_EQ(frame_mark_count(), 0);
}

// A procedure of the program body in the calling convention: it records what it saw and, while
// depth is left, calls itself with one argument (its own level + 1).
struct Seen {
    int32_t frame;
    int32_t depth;
    int32_t param;
};
std::vector<Seen> g_seen;
int32_t g_chain_length = 0;

RtValue& chain_procedure(RtValue& result, int32_t count, ...) {
    va_list arguments;
    va_start(arguments, count);
    take_arguments(count, arguments);
    va_end(arguments);

    int32_t level = param_int(1);
    g_seen.push_back({current_frame_index(), frame_depth(), level});
    if (level < g_chain_length) {
        int32_t next = level + 1;
        enter_frame();
        RtValue argument = value_from_int(next, &next);
        RtValue inner;
        chain_procedure(inner, 1, &argument);
        // After the inner call our own frame is current again; from level 31 on the frame is
        // shared, and the deepest call's argument has overwritten our parameter.
        EXPECT_EQ(param_int(1), level < 31 ? level : g_chain_length) << "level " << level;
    }
    RtString text;
    text.assign_int(level * 10);
    value_from_text(text);
    return return_result(result);
}

TEST_F(Frames, ChainOf40CallsUses31FramesThenSharesTheLast) {
    g_seen.clear();
    g_chain_length = 40;
    int32_t first = 1;
    enter_frame();
    RtValue argument = value_from_int(first, &first);
    RtValue result;
    chain_procedure(result, 1, &argument);

    ASSERT_EQ(g_seen.size(), 40u);
    for (int32_t level = 1; level <= 40; ++level) {
        const Seen& seen = g_seen[static_cast<size_t>(level - 1)];
        SCOPED_TRACE(level);
        EXPECT_EQ(seen.param, level);
        EXPECT_EQ(seen.frame, level < 31 ? level : 31);
        EXPECT_EQ(seen.depth, level < 31 ? level + 1 : 32);
    }
    EXPECT_EQ(bytes_of(result), "10");
    EXPECT_EQ(result.int_value, 10) << "the outermost procedure's result reaches the caller";
    expect_at_rest();
}

TEST_F(Frames, ReleaseEmptiesTheRecordsWithoutANewBuffer) {
    result_slot().text.assign_cstring("left over");
    result_slot().int_value = 7;
    const char* buffer = result_slot().text.data;
    release_frames();
    EXPECT_EQ(result_slot().text.data, buffer) << "an empty text in a new buffer means an allocation";
    EXPECT_EQ(bytes_of(result_slot()), "");
    EXPECT_EQ(result_slot().int_value, 0);
}

TEST_F(Frames, CallWithoutArgumentsTouchesNoFrame) {
    param_record(1) = value_from_int(77, nullptr);
    RtValue result;
    g_seen.clear();
    g_chain_length = 0;
    chain_procedure(result, 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].frame, 0);
    EXPECT_EQ(g_seen[0].param, 77) << "the caller's records are read, not replaced";
    expect_at_rest();
}

TEST_F(Frames, ArgumentsAreCopiedWithAllFiveFields) {
    RtString name("value");
    RtValue text_argument = value_from_string_var(name);
    int32_t number = -3;
    RtValue int_argument = value_from_int(number, &number);
    enter_frame();
    struct Local {
        static void take(int32_t count, ...) {
            va_list arguments;
            va_start(arguments, count);
            take_arguments(count, arguments);
            va_end(arguments);
        }
    };
    Local::take(2, &text_argument, &int_argument);
    name.append_char('!');
    EXPECT_EQ(bytes_of(param_record(1)), "value") << "the frame owns a copy of the text";
    EXPECT_EQ(param_record(1).kind, kValueString);
    EXPECT_EQ(param_record(1).ref, &name);
    EXPECT_EQ(param_int(2), -3);
    EXPECT_EQ(param_record(2).float_value, -3.0);
    EXPECT_EQ(param_record(2).ref, &number);
    leave_frame();
    expect_at_rest();
}

TEST_F(Frames, NewFrameKeepsWhatAnEarlierCallLeft) {
    enter_frame();
    param_record(5) = value_from_int(55, nullptr);
    leave_frame();
    enter_frame();
    EXPECT_EQ(param_int(5), 55);
    leave_frame();
}

TEST_F(Frames, UnbalancedLeaveReturnsToFrameZero) {
    leave_frame();
    expect_at_rest();
    enter_frame();
    enter_frame();
    EXPECT_EQ(current_frame_index(), 2);
    leave_frame();
    leave_frame();
    leave_frame();
    expect_at_rest();
}

TEST_F(Frames, SaveStacksAreIndependentAndLastInFirstOut) {
    int32_t counter = 1, extra = 2, limit = 3;
    push_b(counter);
    push_a(extra);
    push_b(limit);
    counter = extra = limit = 0;
    pop_b(&limit);
    pop_a(&extra);
    pop_b(&counter);
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(extra, 2);
    EXPECT_EQ(limit, 3);

    int32_t untouched = 9;
    pop_a(&untouched);
    pop_b(&untouched);
    EXPECT_EQ(untouched, 9) << "popping an empty stack leaves the variable";
}

using Areas = Frames;

std::vector<unsigned char> block_bytes(const void* block, int32_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(block);
    return std::vector<unsigned char>(p, p + n);
}

TEST_F(Areas, DimGivesAZeroFilledBlockOfTheSize) {
    void* area = nullptr;
    area_dim(&area, 260);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area_size_of(area), 260);
    EXPECT_EQ(block_bytes(area, 260), std::vector<unsigned char>(260, 0));
    area_dispose(&area);
    EXPECT_EQ(area, nullptr);
}

TEST_F(Areas, ResizeKeepsTheCommonPart) {
    void* area = nullptr;
    area_dim(&area, 10);
    std::memcpy(area, "0123456789", 10);
    void* old = area;
    area_dim(&area, 4);
    EXPECT_EQ(block_bytes(area, 4), block_bytes("0123", 4));
    EXPECT_EQ(area_size_of(area), 4);
    if (area != old) {
        EXPECT_EQ(area_size_of(old), 0);
    }

    std::memcpy(area, "abcd", 4);
    area_dim(&area, 20);
    std::vector<unsigned char> expected = block_bytes("abcd", 4);
    expected.resize(20, 0);
    EXPECT_EQ(block_bytes(area, 20), expected);
    EXPECT_EQ(area_size_of(area), 20);
    area_dispose(&area);
}

TEST_F(Areas, SizeZeroAndDisposeWithoutBlock) {
    void* area = nullptr;
    area_dim(&area, 8);
    void* block = area;
    area_dim(&area, 0);
    EXPECT_EQ(area, nullptr);
    EXPECT_EQ(area_size_of(block), 0);

    int local = 0;
    void* stray = &local;
    area_dispose(&stray);
    EXPECT_EQ(stray, nullptr);
    EXPECT_EQ(area_size_of(&local), 0) << "an address that was never allocated";
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(Areas, BlockThatCannotBeAllocatedIsError240AndChangesNothing) {
    void* area = nullptr;
    area_dim(&area, 16);
    std::memcpy(area, "keep", 4);
    void* block = area;
    area_dim(&area, -1);
#ifdef _WIN32
    area_dim(&area, 0x7FFFFFF0);  // beyond what a 32-bit process can allocate in one piece
#endif
    ASSERT_FALSE(g_reports.empty());
    for (int32_t code : g_reports) {
        EXPECT_EQ(code, 240);
    }
    EXPECT_EQ(area, block);
    EXPECT_EQ(area_size_of(block), 16);
    EXPECT_EQ(block_bytes(area, 4), block_bytes("keep", 4));
    area_dispose(&area);
}

// Regression: the resize copied as many bytes as the block the variable currently points to has,
// so a variable overwritten with a larger block's address made it read beyond the old block.
TEST_F(Areas, ResizeOfAnOverwrittenVariableCopiesOnlyTheOldBlock) {
    void* small = nullptr;
    void* large = nullptr;
    area_dim(&small, 4);
    area_dim(&large, 64);
    std::memcpy(small, "abcd", 4);
    std::memset(large, 'x', 64);
    void* small_block = small;
    small = large;  // the program body overwrote the variable
    area_dim(&small, 32);
    std::vector<unsigned char> expected = block_bytes("abcd", 4);
    expected.resize(32, 0);
    EXPECT_EQ(block_bytes(small, 32), expected);
    EXPECT_EQ(area_size_of(large), 64) << "the other variable's block stays registered";
    EXPECT_EQ(area_size_of(small_block), 0);
    area_dispose(&small);
    area_dispose(&large);
}

// Regression: disposing of a variable that merely held a copy of another's address removed the
// other block's size, so it read as 0 while still live.
TEST_F(Areas, DisposeOfACopiedAddressKeepsTheOwnersSize) {
    void* owner = nullptr;
    area_dim(&owner, 12);
    void* copy = owner;
    area_dispose(&copy);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(area_size_of(owner), 12);
    area_dim(&owner, 24);
    EXPECT_EQ(area_size_of(owner), 24);
    area_dispose(&owner);
}

}  // namespace
