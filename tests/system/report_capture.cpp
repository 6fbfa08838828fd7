#include "tests/system/report_capture.h"

#include "runtime/core/errors.h"

namespace {

std::vector<CapturedReport> g_reports;

void record(bool is_error, int32_t code, const char* argument) {
    g_reports.push_back({is_error, code, argument != nullptr ? argument : "<null>"});
}

void record_error(int32_t code, const char* argument) {
    record(true, code, argument);
}

void record_warning(int32_t code, const char* argument) {
    record(false, code, argument);
}

}  // namespace

ReportCapture::ReportCapture() {
    g_reports.clear();
    install_report_routines(record_error, record_warning);
}

ReportCapture::~ReportCapture() {
    install_report_routines(nullptr, nullptr);
    g_reports.clear();
}

const std::vector<CapturedReport>& ReportCapture::reports() const {
    return g_reports;
}

void ReportCapture::clear() {
    g_reports.clear();
}
