// Error and warning reports in real processes: the boxes under the display, answered from here,
// the log file and the exit codes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

const char kBoxText[] = "Zeilennummer nicht verf\xFC" "gbar.";

class Reports : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        log_folder_ = std::string(folder) + "rt_report_test\\";
        CreateDirectoryA(log_folder_.c_str(), nullptr);
        log_ = log_folder_ + "sub.log";
        DeleteFileA(log_.c_str());
    }
    void TearDown() override {
        DeleteFileA(log_.c_str());
        RemoveDirectoryA(log_folder_.c_str());
    }

    ProcessOptions options(const std::string& scenario) const {
        ProcessOptions o;
        o.environment = {{"RT_SCENARIO", scenario}, {"RT_LOGFILE", log_}};
        return o;
    }

    std::string log_text() const { return read_file_bytes(log_); }

    static std::string program() {
        char full[MAX_PATH];
        GetFullPathNameA((test_folder() + "report_body.exe").c_str(), MAX_PATH, full, nullptr);
        return full;
    }

    std::string log_folder_;
    std::string log_;
};

const char kWarningCaption[] = "Datei nicht gefunden: C:\\Bilder\\Stra\xDF" "e.jpg";

TEST_F(Reports, WarningBoxOkReturnsToTheBodyAndTheLogLineComesFirst) {
    RunningProgram running("report_body.exe", options("warning"));
    HWND box = wait_for_window(kWarningCaption);
    ASSERT_NE(box, nullptr) << running.output();
    std::vector<std::string> texts = child_texts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), kBoxText), texts.end());
    // The line is in the log (created, as it did not exist) while the box is still up.
    EXPECT_EQ(log_text(), "WARN:\t" + program() + " (?) :" + kWarningCaption + "\r\n");
    EXPECT_TRUE(click_button(box, IDOK));
    ProcessResult r = running.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(r.output.find("returned"), std::string::npos);
}

TEST_F(Reports, WarningBoxCancelShowsTheAbortBoxAndEndsWithZero) {
    RunningProgram running("report_body.exe", options("warning"));
    HWND box = wait_for_window(kWarningCaption);
    ASSERT_NE(box, nullptr) << running.output();
    EXPECT_TRUE(click_button(box, IDCANCEL));
    HWND abort_box = wait_for_window("Programm abgebrochen!");
    ASSERT_NE(abort_box, nullptr);
    std::vector<std::string> texts = child_texts(abort_box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), kBoxText), texts.end());
    EXPECT_EQ(GetDlgItem(abort_box, IDCANCEL), nullptr) << "the abort box has only OK";
    EXPECT_TRUE(click_button(abort_box, IDOK));
    ProcessResult r = running.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.output.find("returned"), std::string::npos);
}

TEST_F(Reports, ErrorlevelMinusOneAndZeroKeepWarningsSilentAndLogEveryReport) {
    ProcessResult r = run_program("report_body.exe", options("silent_levels"));
    ASSERT_FALSE(r.timed_out) << "a box appeared where none may";
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(r.output.find("warning_below_0_returned"), std::string::npos);
    EXPECT_NE(r.output.find("kind=1 code=209 argument=[x.jpg]"), std::string::npos) << r.output;
    std::string path = program();
    EXPECT_EQ(log_text(), "ERROR:\t" + path + " (?) :Kommandozeilenparameter fehlt!\r\n" +
                              "WARN:\t" + path + " (?) :Datei nicht gefunden: x.jpg\r\n" +
                              "WARN:\t" + path + " (?) :Datei nicht gefunden: y.jpg\r\n" +
                              "WARN:\t" + path + " (?) :Datei nicht gefunden: z.jpg\r\n");
}

TEST_F(Reports, ErrorAtErrorlevelZeroIsFatal) {
    RunningProgram running("report_body.exe", options("error_at_0"));
    HWND box = wait_for_window("Dateinummer nicht im erlaubten Bereich!");
    ASSERT_NE(box, nullptr) << running.output();
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "the error box has only OK";
    EXPECT_TRUE(click_button(box, IDOK));
    ProcessResult r = running.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.output.find("after"), std::string::npos);
}

TEST_F(Reports, AMissingParameterAtErrorlevelZeroShowsError208AndEnds) {
    RunningProgram running("report_body.exe", options("parameter_missing_at_0"));
    HWND box = wait_for_window("Kommandozeilenparameter fehlt!");
    ASSERT_NE(box, nullptr) << running.output();
    std::vector<std::string> texts = child_texts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), kBoxText), texts.end());
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "the error box has only OK";
    EXPECT_TRUE(click_button(box, IDOK));
    ProcessResult r = running.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.output.find("after"), std::string::npos);
}

TEST_F(Reports, WarningAtErrorlevelTwoIsFatal) {
    RunningProgram running("report_body.exe", options("warning_at_2"));
    HWND box = wait_for_window("Datei nicht gefunden: w.jpg");
    ASSERT_NE(box, nullptr) << running.output();
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "at errorlevel 2 a warning shows the error box";
    EXPECT_TRUE(click_button(box, IDOK));
    ProcessResult r = running.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.output.find("after"), std::string::npos);
}

TEST_F(Reports, HandlerIsCalledOnceWhileOnerrorIsOn) {
    ProcessResult r = run_program("report_body.exe", options("handler"));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(output_value(r.output, "calls_while_off"), "0");
    EXPECT_EQ(output_value(r.output, "calls"), "1") << "a report inside the handler called it again";
    EXPECT_EQ(output_value(r.output, "text"), "[nur das Argument]") << "an unknown code's message is the argument";
    EXPECT_EQ(output_value(r.output, "onerror_after"), "1");
    EXPECT_EQ(output_value(r.output, "calls_after_warning"), "2");
}

// Heap exhaustion in a string buffer and in operator new, on the worker and on the main thread:
// the log line, the German error box shown by the main thread, and the end with code 1 (not the C
// runtime's abort).
TEST_F(Reports, HeapExhaustionLogsShowsTheBoxAndEndsWithOne) {
    for (const char* scenario : {"out_of_memory", "out_of_memory_new", "out_of_memory_main"}) {
        SCOPED_TRACE(scenario);
        DeleteFileA(log_.c_str());
        RunningProgram running("report_body.exe", options(scenario));
        HWND box = wait_for_window("Nicht genug Speicher!");
        ASSERT_NE(box, nullptr) << running.output();
        std::vector<std::string> texts = child_texts(box);
        EXPECT_NE(std::find(texts.begin(), texts.end(), kBoxText), texts.end());
        EXPECT_EQ(log_text(), "ERROR:\t" + program() + " (?) :Nicht genug Speicher!\r\n");
        EXPECT_TRUE(click_button(box, IDOK));
        ProcessResult r = running.finish();
        EXPECT_EQ(r.exit_code, 1u);
        EXPECT_EQ(r.output.find("after"), std::string::npos);
    }
}

// Two programs with two reporting threads each share one log: every report leaves one whole line
// (the log was opened without sharing, and one thread's line was dropped when another had it open).
TEST_F(Reports, ReportsOfTwoThreadsAndTwoProgramsEachLeaveOneWholeLine) {
    RunningProgram first("report_body.exe", options("log_race"));
    RunningProgram second("report_body.exe", options("log_race"));
    EXPECT_EQ(first.finish().exit_code, 0u);
    EXPECT_EQ(second.finish().exit_code, 0u);
    std::vector<std::string> lines = output_lines(log_text());
    std::string start = "WARN:\t" + program() + " (?) :Datei nicht gefunden: ";
    std::map<std::string, int> seen;
    for (const std::string& line : lines) {
        ASSERT_EQ(line.substr(0, start.size()), start) << line;
        ++seen[line.substr(start.size())];
    }
    EXPECT_EQ(lines.size(), 800u);
    int missing = 0;
    for (const char* tag : {"a", "b"}) {
        for (int i = 0; i < 200; ++i) {
            missing += seen[tag + std::to_string(i)] != 2 ? 1 : 0;
        }
    }
    EXPECT_EQ(missing, 0) << "reports without their two lines";
}

TEST_F(Reports, AnUnwritableLogIsDroppedSilently) {
    ProcessOptions o;
    o.environment = {{"RT_SCENARIO", "silent_levels"}, {"RT_LOGFILE", "C:\\no\\such\\folder\\x.log"}};
    ProcessResult r = run_program("report_body.exe", o);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(r.output.find("warning_below_0_returned"), std::string::npos);
}

}  // namespace
