#include "tests/support/body_output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

std::string body_scenario() {
    char buffer[256] = {};
    DWORD n = GetEnvironmentVariableA("RT_SCENARIO", buffer, sizeof buffer);
    return n < sizeof buffer ? std::string(buffer, n) : std::string();
}

void body_print(const std::string& line) {
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void body_printf(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    body_print(buffer);
}
