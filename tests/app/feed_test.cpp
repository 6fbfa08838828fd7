#include "app/feed.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string bytes(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

struct CodeCase {
    const char* path;
    const char* url_path;
};

TEST(CodePath, EscapeTableAndTheBytesItLeaves) {
    const CodeCase cases[] = {
        {"C:\\Bilder\\Mein Urlaub\\Stra\xDF" "e & Meer.jpg", "C:/Bilder/Mein%20Urlaub/Stra%DFe%20%26%20Meer.jpg"},
        {"C:\\\xC4\xD6\xDC\xE4\xF6\xFC.png", "C:/%C4%D6%DC%E4%F6%FC.png"},
        {"C:\\a\"b'c+d~e.gif", "C:/a%22b%27c%2Bd%7Ee.gif"},
        // The percent sign is coded first, so neither it nor a code-like text is coded twice.
        {"C:\\100%.jpg", "C:/100%25.jpg"},
        {"C:\\%C4.jpg", "C:/%25C4.jpg"},
        // A number sign would end the URL; other non-ASCII bytes would make the feed ill-formed.
        {"C:\\Nr #1.jpg", "C:/Nr%20%231.jpg"},
        // Names that the ANSI listing turns into "<", ">" or "?" must neither break the feed's XML nor
        // end the URL's path.
        {"C:\\a<b>c?d.jpg", "C:/a%3Cb%3Ec%3Fd.jpg"},
        {"C:\\caf\xE9\\\x80\xFF.jpg", "C:/caf%E9/%80%FF.jpg"},
        {"C:\\tab\there\x7F.jpg", "C:/tab%09here%7F.jpg"},
        {"C:\\plain\\name-_.(1).JPEG", "C:/plain/name-_.(1).JPEG"},
        {"", ""},
    };
    for (const CodeCase& c : cases) {
        EXPECT_EQ(bytes(code_path(RtString(c.path))), c.url_path) << c.path;
    }
}

TEST(CodePath, ResultIsPrintableAscii) {
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
    }
    std::string coded = bytes(code_path(RtString(all.c_str())));
    for (char c : coded) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F && c != '#' && c != '?' && c != '<' && c != '>' && c != '\\' &&
                    c != ' ') << static_cast<int>(c);
    }
}

const char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\">\r\n"
    "<channel>\r\n";

TEST(Feed, EmptyListGivesTheHeaderAndTheClosingLines) {
    FeedBuilder feed;
    EXPECT_EQ(bytes(feed.finish()), std::string(kHeader) + "</channel>\r\n</rss>");
}

TEST(Feed, ItemsInListOrderWithThumbnailAndContent) {
    FeedBuilder feed(2);
    feed.add_item(RtString("C:\\X\\a b.jpg"));
    feed.add_item(RtString("C:\\X\\sub\\c.PNG"));
    std::string expected = std::string(kHeader) +
                           "<item>\r\n"
                           "<media:thumbnail url=\"file:///C:/X/a%20b.jpg\" type=\"image\" />\r\n"
                           "<media:content  url=\"file:///C:/X/a%20b.jpg\" type=\"image\" />\r\n"
                           "</item>\r\n"
                           "<item>\r\n"
                           "<media:thumbnail url=\"file:///C:/X/sub/c.PNG\" type=\"image\" />\r\n"
                           "<media:content  url=\"file:///C:/X/sub/c.PNG\" type=\"image\" />\r\n"
                           "</item>\r\n"
                           "</channel>\r\n</rss>";
    EXPECT_EQ(bytes(feed.finish()), expected);
}

TEST(Feed, ManyItemsKeepEveryByte) {
    // A growing buffer must neither drop nor reorder items when it reallocates.
    FeedBuilder feed(1);
    for (int i = 0; i < 5000; ++i) {
        feed.add_item(RtString(("C:\\p\\" + std::to_string(i) + ".gif").c_str()));
    }
    std::string text = bytes(feed.finish());
    size_t at = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string url = "url=\"file:///C:/p/" + std::to_string(i) + ".gif\"";
        at = text.find(url, at);
        ASSERT_NE(at, std::string::npos) << i;
        at = text.find(url, at + 1);  // the content line repeats it
        ASSERT_NE(at, std::string::npos) << i;
    }
}

TEST(Page, OneLineThatAnnouncesTheFeedAndStartsTheViewer) {
    EXPECT_EQ(bytes(page_text(RtString("file:///C:/Prog/viewer/piclens.js"))),
              "<html><head><title>view gallery</title><link rel=\"alternate\" href=\"feed.rss\" "
              "type=\"application/rss+xml\" title=\"\" id=\"gallery\" /><script type=\"text/javascript\" "
              "src=\"file:///C:/Prog/viewer/piclens.js\"></script><script type=\"text/javascript\">"
              "PicLensLite.start();</script><body></body></html>");
}

}  // namespace
