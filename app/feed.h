// The gallery's documents: the Media RSS feed that lists the pictures by file:/// URL, the one-line
// page that announces it and starts the viewer, and the coding of a path into a URL. Pure C++.
#pragma once

#include <cstddef>

#include "runtime/values/rt_string.h"

// A path as a URL path: "%" first, then the escape table's characters, then "#", "?", "<", ">",
// control bytes and bytes from 0x7F as "%" and two capital hex digits, then every "\" as "/". The
// result is ASCII.
RtString code_path(const RtString& path);

// Builds the feed text in one growing buffer that becomes the result's own buffer, so that a large
// list costs linear time and the text exists once: the three header lines, four lines per picture,
// "</channel>" and "</rss>" (the caller adds the final line break when it writes the text).
class FeedBuilder {
public:
    explicit FeedBuilder(size_t expected_items = 0);
    ~FeedBuilder();
    FeedBuilder(const FeedBuilder&) = delete;
    FeedBuilder& operator=(const FeedBuilder&) = delete;

    void add_item(const RtString& path);
    RtString finish();

private:
    void append(const char* bytes, size_t count);
    void append(const char* text);

    char* buffer_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The page line for a viewer script at viewer_url (without its line break).
RtString page_text(const RtString& viewer_url);
