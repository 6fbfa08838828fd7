#include "app/feed.h"

#include <cstring>
#include <string>

#include "runtime/values/string_functions.h"

namespace {

const char kMediaRssNamespace[] = "http://search.yahoo.com/mrss/";

// The escape table: each row replaces one Windows-1252 character by its code, in this order.
struct EscapeRow {
    const char* character;
    const char* code;
};

const EscapeRow kEscapeTable[] = {
    {"\xC4", "%C4"}, {"\xD6", "%D6"}, {"\xDC", "%DC"}, {"\xE4", "%E4"}, {"\xF6", "%F6"},
    {"\xFC", "%FC"}, {"\xDF", "%DF"}, {"\"", "%22"}, {"&", "%26"},     {"'", "%27"},
    {"+", "%2B"},    {" ", "%20"},    {"~", "%7E"},
};

// The bytes the table leaves that would break the URL or the document: "#" and "?" end a URL's
// path, "<" makes the feed ill-formed XML (">" is coded with it), control bytes and bytes from 0x7F
// are not ASCII text.
bool needs_code(unsigned char c) {
    return c == '#' || c == '?' || c == '<' || c == '>' || c < 0x20 || c >= 0x7F;
}

RtString code_remaining_bytes(const RtString& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string coded;
    coded.reserve(static_cast<size_t>(text.length) + 16);
    for (int32_t i = 0; i < text.length; ++i) {
        auto c = static_cast<unsigned char>(text.c_str()[i]);
        if (needs_code(c)) {
            coded.push_back('%');
            coded.push_back(kHex[c >> 4]);
            coded.push_back(kHex[c & 15]);
        } else {
            coded.push_back(static_cast<char>(c));
        }
    }
    return RtString(coded.data(), 0, static_cast<int32_t>(coded.size()));
}

}  // namespace

RtString code_path(const RtString& path) {
    // The percent sign goes first, so no code made below is coded twice.
    RtString coded = string_replace(path, RtString("%"), RtString("%25"));
    for (const EscapeRow& row : kEscapeTable) {
        coded = string_replace(coded, RtString(row.character), RtString(row.code));
    }
    coded = code_remaining_bytes(coded);
    return string_replace(coded, RtString("\\"), RtString("/"));
}

FeedBuilder::FeedBuilder(size_t expected_items) {
    // About 250 bytes per item for paths of ordinary length; the buffer doubles when that is short.
    capacity_ = 256 + expected_items * 256;
    buffer_ = rt_alloc(capacity_);
    append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n");
    append("<rss version=\"2.0\" xmlns:media=\"");
    append(kMediaRssNamespace);
    append("\">\r\n");
    append("<channel>\r\n");
}

FeedBuilder::~FeedBuilder() {
    rt_free(buffer_);
}

void FeedBuilder::append(const char* bytes, size_t count) {
    if (size_ + count + 1 > capacity_) {
        while (size_ + count + 1 > capacity_) {
            capacity_ *= 2;
        }
        buffer_ = rt_realloc(buffer_, capacity_);
    }
    std::memcpy(buffer_ + size_, bytes, count);
    size_ += count;
}

void FeedBuilder::append(const char* text) {
    append(text, std::strlen(text));
}

void FeedBuilder::add_item(const RtString& path) {
    RtString url = code_path(path);
    size_t n = static_cast<size_t>(url.length);
    append("<item>\r\n<media:thumbnail url=\"file:///");
    append(url.c_str(), n);
    append("\" type=\"image\" />\r\n<media:content  url=\"file:///");
    append(url.c_str(), n);
    append("\" type=\"image\" />\r\n</item>\r\n");
}

RtString FeedBuilder::finish() {
    append("</channel>\r\n</rss>");
    RtString feed;
    feed.adopt(buffer_, static_cast<int32_t>(size_));  // the terminator goes into the spare byte
    buffer_ = rt_alloc(capacity_ = 256);
    size_ = 0;
    return feed;
}

RtString page_text(const RtString& viewer_url) {
    RtString page(
        "<html><head><title>view gallery</title><link rel=\"alternate\" href=\"feed.rss\" "
        "type=\"application/rss+xml\" title=\"\" id=\"gallery\" /><script type=\"text/javascript\" src=\"");
    page.append(viewer_url);
    page.append_cstring(
        "\"></script><script type=\"text/javascript\">PicLensLite.start();</script><body></body></html>");
    return page;
}
