// Catches the runtime's error and warning reports in a test process that has not started the
// runtime: each report is recorded instead of being shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CapturedReport {
    bool is_error;
    int32_t code;
    std::string argument;
};

class ReportCapture {
  public:
    ReportCapture();
    ~ReportCapture();
    const std::vector<CapturedReport>& reports() const;
    void clear();
};
