// The hidden list without the platform: entries, last index, list_item's bounds, the text for an
// edit control, list-view columns and the joining of search paths.
#include "runtime/system/hidden_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/errors.h"

namespace {

int g_reports = 0;
int32_t g_report_code = 0;

void capture_report(int32_t code, const char*) {
    ++g_reports;
    g_report_code = code;
}

class HiddenList : public ::testing::Test {
  protected:
    void SetUp() override {
        install_report_routines(capture_report, capture_report);
        g_reports = 0;
        g_report_code = 0;
        file_list.clear();
        last_index = -1;
    }
    void TearDown() override {
        clear_list();
        install_report_routines(nullptr, nullptr);
    }
};

std::string text(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

TEST_F(HiddenList, AddStringKeepsOrderAndDuplicatesAndSetsLastIndex) {
    const char* entries[] = {"b", "a", "b", ""};
    for (int i = 0; i < 4; ++i) {
        add_string(RtString(entries[i]));
        EXPECT_EQ(last_index, i);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(text(list_item(i)), entries[i]) << "entry " << i;
    }
}

TEST_F(HiddenList, AddStringStoresACopy) {
    RtString s("first");
    add_string(s);
    s.assign_cstring("changed");
    EXPECT_EQ(text(list_item(0)), "first");
}

TEST_F(HiddenList, ListItemBounds) {
    add_string(RtString("x"));
    add_string(RtString("y"));
    struct Case {
        int32_t n;
        const char* expected;
        int reports;
    } cases[] = {
        {0, "x", 0}, {1, "y", 0}, {2, "", 0}, {-1, "", 0}, {-100, "", 0}, {3, "", 1}, {0x7FFFFFFF, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        g_reports = 0;
        g_report_code = 0;
        EXPECT_EQ(text(list_item(c.n)), c.expected);
        EXPECT_EQ(g_reports, c.reports);
        if (c.reports != 0) {
            EXPECT_EQ(g_report_code, 206);
        }
    }
}

TEST_F(HiddenList, ClearListEmptiesAndSetsMinusOne) {
    add_string(RtString("x"));
    clear_list();
    EXPECT_EQ(last_index, -1);
    EXPECT_TRUE(file_list.empty());
    EXPECT_EQ(text(list_item(0)), "");
    EXPECT_EQ(g_reports, 0);
    clear_list();
    EXPECT_EQ(last_index, -1);
    add_string(RtString("again"));
    EXPECT_EQ(last_index, 0);
    EXPECT_EQ(text(list_item(0)), "again");
}

TEST_F(HiddenList, ListTextJoinsWithCrLfWithoutAFinalOne) {
    struct Case {
        std::vector<const char*> entries;
        const char* expected;
    } cases[] = {
        {{}, ""},           {{"one"}, "one"},     {{"one", "two", "three"}, "one\r\ntwo\r\nthree"},
        {{"", ""}, "\r\n"}, {{"a", ""}, "a\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        clear_list();
        for (const char* e : c.entries) {
            add_string(RtString(e));
        }
        RtString joined = list_text();
        EXPECT_EQ(text(joined), c.expected);
        EXPECT_EQ(joined.data[joined.length], 0);
    }
}

TEST(ListViewColumns, SplitAtEverySeparator) {
    struct Case {
        const char* text;
        const char* separator;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a|b|c", "|", {"a", "b", "c"}}, {"abc", "|", {"abc"}},         {"", "|", {""}},
        {"|a|", "|", {"", "a", ""}},     {"a||b", "|", {"a", "", "b"}}, {"one<->two<->", "<->", {"one", "two", ""}},
        {"a<-b", "<->", {"a<-b"}},       {"a|b|c", "", {"a|b|c"}},  // an empty separator would never end the split
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.separator);
        std::vector<RtString> pieces = split_columns(RtString(c.text), RtString(c.separator));
        std::vector<std::string> got;
        for (const RtString& p : pieces) {
            got.push_back(text(p));
        }
        EXPECT_EQ(got, c.pieces);
    }
}

TEST(SearchPaths, JoinMakesSingleBackslashes) {
    struct Case {
        const char* prefix;
        const char* name;
        const char* expected;
    } cases[] = {
        {"C:\\X", "", "C:\\X\\"},
        {"C:\\X\\", "a.jpg", "C:\\X\\a.jpg"},
        {"C:\\X\\", "sub", "C:\\X\\sub"},
        {"C:\\X\\sub", "b.jpg", "C:\\X\\sub\\b.jpg"},
        {"C:\\", "", "C:\\"},
        {"C:\\", "a.jpg", "C:\\a.jpg"},
        {"", "a.jpg", "\\a.jpg"},
        {"", "", "\\"},
        {"\\", "", "\\"},
        // Regression: collapsing the network prefix made \\server\share a path on the current drive.
        {"\\\\server\\share", "", "\\\\server\\share\\"},
        {"\\\\server\\share\\", "a.jpg", "\\\\server\\share\\a.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + " + " + c.name);
        EXPECT_EQ(text(join_path(RtString(c.prefix), RtString(c.name))), c.expected);
    }
}

}  // namespace
