#include "runtime/core/command_line.h"

std::vector<RtString> split_command_line(const char* text) {
    std::vector<RtString> tokens;
    if (text == nullptr) {
        return tokens;
    }
    const char* p = text;
    while (*p != 0) {
        while (*p == ' ') {
            ++p;
        }
        const char* start;
        const char* end;
        if (*p == '"') {
            start = ++p;
            while (*p != 0 && *p != '"') {
                ++p;
            }
            end = p;
            if (*p == '"') {
                ++p;
            }
        } else if (*p == 0) {
            break;
        } else {
            start = p;
            while (*p != 0 && *p != ' ') {
                ++p;
            }
            end = p;
            if (*p == ' ') {
                ++p;
            }
        }
        tokens.emplace_back(start, 0, static_cast<int32_t>(end - start));
    }
    return tokens;
}
