// File channels and the name-based file functions on real files in the test Wine prefix.
#include "runtime/system/file_access.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/settings/switch_vars.h"
#include "tests/support/process_runner.h"
#include "tests/system/host_files.h"
#include "tests/system/report_capture.h"

namespace {

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class FileAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fresh_test_folder("files");
        g_switches.strwidth = 0;
        io_result = 0;
    }
    void TearDown() override {
        close_all_channels();
        g_switches.strwidth = 0;
        SetCurrentDirectoryA("C:\\");
        host_files::remove_tree(folder_);
    }
    std::string path(const std::string& name) const { return folder_ + "\\" + name; }

    std::string folder_;
    ReportCapture reports_;
};

struct PrintCase {
    const char* text;
    int32_t ending;
    int32_t text_flag;
    int32_t strwidth;
    std::string bytes;
};

TEST_F(FileAccess, PrintToFileWritesTextEndingAndAlignment) {
    const PrintCase cases[] = {
        {"abc", 2, 1, 0, "abc\r\n"},
        {"abc", 0, 1, 0, "abc "},
        {"abc", 1, 1, 0, "abc"},
        {"abc", 2, 1, 6, "   abc\r\n"},
        {"abc", 2, 0, 6, "abc\r\n"},        // numbers are not aligned as texts
        {"abcdef", 1, 1, 6, "abcdef"},      // as long as the width
        {"abcdefgh", 1, 1, 6, "abcdefgh"},  // longer: never cut
        {"abc", 1, 1, -4, "abc"},
        {"", 0, 1, 0, " "},
        {"", 2, 1, 3, "   \r\n"},
        {"\xFC"
         "ber",
         1, 1, 0,
         "\xFC"
         "ber"},
        {"abc", 7, 1, 0, "abc"},  // an unknown ending adds nothing
    };
    std::string name = path("print.txt");
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ending " + std::to_string(c.ending) + " width " +
                     std::to_string(c.strwidth));
        g_switches.strwidth = c.strwidth;
        assign_file(1, RtString(name.c_str()));
        rewrite_file(1);
        ASSERT_EQ(io_result, 0);
        print_to_file(1, RtString(c.text), c.ending, c.text_flag);
        EXPECT_EQ(io_result, 0);
        close_file(1);
        EXPECT_EQ(read_file_bytes(name), c.bytes);
    }
}

TEST_F(FileAccess, ChannelStatesFollowAssignRewriteClose) {
    RtChannel& c = channel_table[5];
    EXPECT_EQ(c.state, 0);
    assign_file(5, RtString(path("s.txt").c_str()));
    EXPECT_EQ(c.state, 0x2A);
    EXPECT_EQ(c.stream, nullptr) << "assigning opens nothing";
    rewrite_file(5);
    EXPECT_EQ(c.state, 0x57);
    EXPECT_NE(c.stream, nullptr);
    close_file(5);
    EXPECT_EQ(c.state, 0x2A);
    EXPECT_EQ(c.stream, nullptr);
    reset_file(5);
    EXPECT_EQ(c.state, 0x52);
    EXPECT_EQ(c.read_flag, 1);
    rewrite_file(5);
    EXPECT_EQ(c.state, 0x57);
    EXPECT_EQ(c.read_flag, 0);
    close_file(5);
    assign_file(5, RtString(""));
    EXPECT_EQ(c.state, 0);
    close_file(5);
    EXPECT_EQ(c.state, 0) << "closing an unnamed channel does not mark it";
}

TEST_F(FileAccess, RewriteWithoutNameIs102AndOpensNothing) {
    assign_file(3, RtString(""));
    rewrite_file(3);
    EXPECT_EQ(io_result, 102);
    EXPECT_EQ(channel_table[3].stream, nullptr);
    print_to_file(3, RtString("x"), 2, 1);
    EXPECT_EQ(io_result, 103);
}

TEST_F(FileAccess, RewriteThatCannotOpenIs5AndPrintingThenIs103) {
    assign_file(2, RtString(path("no such folder\\f.txt").c_str()));
    rewrite_file(2);
    EXPECT_EQ(io_result, 5);
    print_to_file(2, RtString("x"), 2, 1);
    EXPECT_EQ(io_result, 103);

    assign_file(2, RtString(folder_.c_str()));  // a folder cannot be opened for writing
    rewrite_file(2);
    EXPECT_EQ(io_result, 5);
}

// The channel writes into a pipe whose reader has gone: the text waits in the stream's buffer,
// and the close that has to write it fails.
TEST_F(FileAccess, ACloseThatCannotWriteTheBufferedTextIs103) {
    const char kPipe[] = "\\\\.\\pipe\\rt_close_test";
    HANDLE reader = CreateNamedPipeA(kPipe, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    assign_file(4, RtString(kPipe));
    rewrite_file(4);
    ASSERT_EQ(io_result, 0);
    print_to_file(4, RtString("buffered, never written"), 2, 1);
    EXPECT_EQ(io_result, 0) << "the text is still in the stream's buffer";
    CloseHandle(reader);
    close_file(4);
    EXPECT_EQ(io_result, 103);
    EXPECT_EQ(channel_table[4].stream, nullptr);
    EXPECT_EQ(channel_table[4].state, 0x2A);
}

TEST_F(FileAccess, PrintingRefusesUnopenedClosedAndReadingChannels) {
    print_to_file(9, RtString("x"), 2, 1);
    EXPECT_EQ(io_result, 103);

    std::string name = path("r.txt");
    assign_file(9, RtString(name.c_str()));
    rewrite_file(9);
    channel_table[9].read_flag = 1;
    print_to_file(9, RtString("x"), 1, 1);
    EXPECT_EQ(io_result, 103);
    close_file(9);
    EXPECT_EQ(channel_table[9].read_flag, 0);
    EXPECT_EQ(read_file_bytes(name), "");
    print_to_file(9, RtString("x"), 1, 1);
    EXPECT_EQ(io_result, 103);
    EXPECT_EQ(read_file_bytes(name), "");
}

struct ReadCase {
    std::string bytes;
    std::vector<std::string> lines;
};

// Every line of the file through one channel, opened a second time after one line; after the last,
// end_of_file and a further read.
TEST_F(FileAccess, ReadLineSplitsAtCrLfAndLfAndKeepsTheBytes) {
    const std::string long_line(100000, 'x');
    const ReadCase cases[] = {
        {"", {}},
        {"abc", {"abc"}},
        {"abc\r\n", {"abc"}},
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"\n\r\n\n", {"", "", ""}},
        {"a\rb\r\r\nc\r", {"a\rb\r", "c\r"}},  // a CR counts only before LF
        {std::string("n\0l\xFF\x01\n", 6) + "\xE4", {std::string("n\0l\xFF\x01", 5), "\xE4"}},
        {long_line + "\r\n" + long_line, {long_line, long_line}},
        {std::string(65535, 'y') + "\r\nz", {std::string(65535, 'y'), "z"}},  // CR LF across 64 KiB blocks
    };
    std::string name = path("read.txt");
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 20));
        make_file(name, c.bytes);
        assign_file(8, RtString(name.c_str()));
        reset_file(8);
        read_line(8);
        reset_file(8);  // from the first line again
        ASSERT_EQ(io_result, 0);
        std::vector<std::string> lines;
        while (end_of_file(8) == 0 && lines.size() <= c.lines.size()) {
            RtString line = read_line(8);
            EXPECT_EQ(io_result, 0);
            lines.emplace_back(line.c_str(), static_cast<size_t>(line.length));
        }
        EXPECT_EQ(io_result, 0);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(read_line(8).length, 0);
        EXPECT_EQ(io_result, 100) << "no line left";
        close_file(8);
    }
}

struct ReadCodeCase {
    const char* what;
    std::function<void()> operation;
    int32_t io;
};

TEST_F(FileAccess, ReadingFailuresLeaveTheirCodes) {
    make_file(path("r.txt"), "line\r\n");
    auto open = [this](const std::string& name) {
        assign_file(4, RtString(path(name).c_str()));
        reset_file(4);
    };
    const ReadCodeCase cases[] = {
        {"no name", [] { assign_file(4, RtString("")), reset_file(4); }, 102},
        {"missing file", [&] { open("missing.txt"); }, 2},
        {"missing folder", [&] { open("nowhere\\r.txt"); }, 2},
        {"a folder", [&] { open("."); }, 5},
        {"read after a failed reset", [&] { open("missing.txt"), read_line(4); }, 104},
        {"never opened", [] { read_line(4); }, 104},
        {"open for writing", [&] { open("w.txt"), rewrite_file(4), end_of_file(4); }, 104},
        {"closed", [&] { open("r.txt"), close_file(4), read_line(4); }, 104},
        {"print to a reading channel", [&] { open("r.txt"), print_to_file(4, RtString("x"), 2, 1); }, 103},
    };
    for (const ReadCodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        close_all_channels();
        io_result = 55;
        c.operation();
        EXPECT_EQ(io_result, c.io);
    }
    EXPECT_EQ(read_file_bytes(path("r.txt")), "line\r\n") << "a reading channel writes nothing";
    EXPECT_TRUE(reports_.reports().empty()) << "reading failures are silent";
}

TEST_F(FileAccess, AssignOnAnOpenChannelKeepsWritingTheOldFile) {
    std::string first = path("first.txt");
    std::string second = path("second.txt");
    assign_file(1, RtString(first.c_str()));
    rewrite_file(1);
    assign_file(1, RtString(second.c_str()));
    EXPECT_EQ(channel_table[1].state, 0x2A);
    print_to_file(1, RtString("old"), 1, 1);
    close_file(1);
    EXPECT_EQ(read_file_bytes(first), "old");
    EXPECT_FALSE(exists(second));
}

// Regression: a second rewrite_file dropped the open stream; its buffered text was written over
// the new file when the run ended.
TEST_F(FileAccess, RewriteOfAnOpenChannelClosesTheOldStreamFirst) {
    std::string name = path("twice.txt");
    assign_file(1, RtString(name.c_str()));
    rewrite_file(1);
    print_to_file(1, RtString("first text that is long"), 1, 1);
    rewrite_file(1);
    print_to_file(1, RtString("x"), 1, 1);
    close_file(1);
    fflush(nullptr);  // what the end of the run does with every stream still open
    EXPECT_EQ(read_file_bytes(name), "x");
}

TEST_F(FileAccess, ReleaseChannelClosesItsHandleOrStream) {
    std::string name = path("handle.txt");
    make_file(name, "h");
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    assign_file(6, RtString(name.c_str()));
    channel_table[6].handle = handle;
    release_channel(6);
    EXPECT_EQ(channel_table[6].handle, nullptr);
    HANDLE again = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the exclusive handle is still open";
    CloseHandle(again);

    rewrite_file(6);
    print_to_file(6, RtString("via release"), 1, 1);
    release_channel(6);
    EXPECT_EQ(channel_table[6].stream, nullptr);
    EXPECT_EQ(channel_table[6].state, 0x2A);
    EXPECT_EQ(read_file_bytes(name), "via release");
}

TEST_F(FileAccess, ChannelNumbersOutsideOneToNinetyNineAreError210) {
    const std::pair<const char*, std::function<void(int32_t)>> operations[] = {
        {"assign_file", [](int32_t n) { assign_file(n, RtString("C:\\x.txt")); }},
        {"rewrite_file", [](int32_t n) { rewrite_file(n); }},
        {"print_to_file", [](int32_t n) { print_to_file(n, RtString("x"), 2, 1); }},
        {"close_file", [](int32_t n) { close_file(n); }},
        {"release_channel", [](int32_t n) { release_channel(n); }},
        {"erase_file", [](int32_t n) { erase_file(n); }},
        {"reset_file", [](int32_t n) { reset_file(n); }},
        {"read_line", [](int32_t n) { EXPECT_STREQ(read_line(n).c_str(), ""); }},
        {"end_of_file", [](int32_t n) { EXPECT_EQ(end_of_file(n), 1); }},
    };
    for (const auto& [name, operation] : operations) {
        for (int32_t n : {0, 100, -1, 1000}) {
            SCOPED_TRACE(std::string(name) + "(" + std::to_string(n) + ")");
            reports_.clear();
            io_result = 55;
            operation(n);
            ASSERT_EQ(reports_.reports().size(), 1u);
            EXPECT_TRUE(reports_.reports()[0].is_error);
            EXPECT_EQ(reports_.reports()[0].code, 210);
            EXPECT_EQ(io_result, 55) << "nothing else happens";
        }
    }
    EXPECT_EQ(channel_table[0].name.length, 0) << "record 0 is never used";
    reports_.clear();
    assign_file(1, RtString(""));
    assign_file(99, RtString(""));
    EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(FileAccess, EraseAndDeleteFile) {
    std::string name = path("gone.txt");
    make_file(name, "x");
    assign_file(7, RtString(name.c_str()));
    erase_file(7);
    EXPECT_EQ(io_result, 0);
    EXPECT_FALSE(exists(name));
    EXPECT_EQ(channel_table[7].name.c_str(), name) << "the channel stays unchanged";

    erase_file(7);
    EXPECT_EQ(io_result, ERROR_FILE_NOT_FOUND);
    delete_file(RtString(path("missing\\x.txt").c_str()));
    EXPECT_EQ(io_result, ERROR_PATH_NOT_FOUND);
    make_file(name, "x");
    delete_file(RtString(name.c_str()));
    EXPECT_EQ(io_result, 0);
    EXPECT_FALSE(exists(name));
    EXPECT_TRUE(reports_.reports().empty()) << "deletion failures are silent";
}

struct SizeCase {
    std::string name;
    int32_t size;
    int32_t io;
    bool warns;
};

TEST_F(FileAccess, FileSizeOfFilesFoldersAndMissingNames) {
    make_file(path("empty.txt"));
    make_file(path("five.dat"), "12345");
    make_folders(path("sub"));
    const SizeCase cases[] = {
        {path("empty.txt"), 0, 0, false},
        {path("five.dat"), 5, 0, false},
        {path("*.dat"), 5, 0, false},
        {path("missing.txt"), -1, 103, true},
        {path("sub"), -2, 103, true},
        {folder_, -2, 103, true},
        {"", -1, 103, true},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        reports_.clear();
        EXPECT_EQ(file_size(RtString(c.name.c_str())), c.size);
        EXPECT_EQ(io_result, c.io);
        if (c.warns) {
            ASSERT_EQ(reports_.reports().size(), 1u);
            EXPECT_FALSE(reports_.reports()[0].is_error);
            EXPECT_EQ(reports_.reports()[0].code, 209);
            EXPECT_EQ(reports_.reports()[0].argument, c.name);
        } else {
            EXPECT_TRUE(reports_.reports().empty());
        }
    }
}

TEST_F(FileAccess, FileSizeIsTheLowThirtyTwoBits) {
    std::string name = path("big.bin");
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(file, 0x10, &high, FILE_BEGIN);  // 4 GiB + 16, sparse on the host
    SetEndOfFile(file);
    CloseHandle(file);
    EXPECT_EQ(file_size(RtString(name.c_str())), 0x10);
}

TEST_F(FileAccess, ShortPath) {
    std::string long_name = path("A Long Folder Name\\Some Picture Name.jpeg");
    make_folders(path("A Long Folder Name"));
    make_file(long_name, "x");
    RtString shortened = short_path(RtString(long_name.c_str()));
    ASSERT_GT(shortened.length, 0);
    std::string text(shortened.c_str());
    EXPECT_EQ(text.find(' '), std::string::npos) << text;
    EXPECT_NE(text.find('~'), std::string::npos) << text;
    char full[MAX_PATH];
    GetLongPathNameA(shortened.c_str(), full, MAX_PATH);
    EXPECT_STRCASEEQ(full, long_name.c_str());
    EXPECT_STREQ(short_path(RtString(path("missing.exe").c_str())).c_str(), "");
    EXPECT_STREQ(short_path(RtString("")).c_str(), "");
}

TEST_F(FileAccess, ChangeDirectory) {
    make_folders(path("inner"));
    EXPECT_NE(change_directory(RtString(path("inner").c_str())), 0);
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STRCASEEQ(current, path("inner").c_str());
    EXPECT_EQ(change_directory(RtString(path("nowhere").c_str())), 0);
    EXPECT_EQ(io_result, 2);
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STRCASEEQ(current, path("inner").c_str()) << "a failed change keeps the folder";
}

}  // namespace
