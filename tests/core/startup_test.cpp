// Start-up, threads and the ways the program ends, each in a real process of the runtime.
#include <gtest/gtest.h>

#include "tests/support/process_runner.h"

namespace {

ProcessResult run_body(const std::string& scenario, const std::string& arguments = "") {
    ProcessOptions options;
    options.environment = {{"RT_SCENARIO", scenario}};
    return run_program("core_body.exe" + (arguments.empty() ? "" : " " + arguments), options);
}

struct CommandLineCase {
    const char* arguments;
    std::vector<std::string> parameters;
};

TEST(Startup, CommandLineReachesTheBody) {
    const CommandLineCase cases[] = {
        {"\"C:\\My Folder\"", {"C:\\My Folder"}},
        {"\"\"", {""}},
        {"a\"b c", {"a\"b", "c"}},
        {"\"ab\"cd", {"ab", "cd"}},
        {"one    two", {"one", "two"}},
        {"tab\there", {"tab\there"}},
        {"", {}},
    };
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        ProcessResult r = run_body("args", c.arguments);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        ASSERT_EQ(output_value(r.output, "count"), std::to_string(c.parameters.size()));
        for (size_t i = 0; i < c.parameters.size(); ++i) {
            EXPECT_EQ(output_value(r.output, "param" + std::to_string(i + 1)), "[" + c.parameters[i] + "]");
        }
        EXPECT_EQ(output_value(r.output, "param-1"), "[]");
    }
}

TEST(Startup, ParameterZeroIsTheFullPathEvenWhenStartedByARelativeName) {
    ProcessResult r = run_body("args");
    char full[MAX_PATH];
    GetFullPathNameA((test_folder() + "core_body.exe").c_str(), MAX_PATH, full, nullptr);
    EXPECT_EQ(output_value(r.output, "param0"), "[" + std::string(full) + "]");
}

TEST(Startup, SwitchDefaultsAfterStartup) {
    ProcessResult r = run_body("switches");
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "errorlevel"), "1");
    EXPECT_EQ(output_value(r.output, "decimals"), "6");
    EXPECT_EQ(output_value(r.output, "numwidth"), "0");
    EXPECT_EQ(output_value(r.output, "strwidth"), "0");
    EXPECT_EQ(output_value(r.output, "fastmode"), "0");
    EXPECT_EQ(output_value(r.output, "onerror"), "0");
    EXPECT_EQ(output_value(r.output, "truecolor"), "0");
    EXPECT_EQ(output_value(r.output, "randseed_last"), "0");
    EXPECT_EQ(output_value(r.output, "random_index"), "624");
    EXPECT_EQ(output_value(r.output, "logfile"), "[]");
    // The file, string-function and window stages.
    EXPECT_EQ(output_value(r.output, "filemode"), "2");
    EXPECT_EQ(output_value(r.output, "regex"), "0");
    EXPECT_EQ(output_value(r.output, "messagemode"), "1");
    EXPECT_EQ(output_value(r.output, "autopaint"), "2");
    EXPECT_EQ(output_value(r.output, "pdc"), "0");
    EXPECT_EQ(output_value(r.output, "printres"), "10");
    EXPECT_EQ(output_value(r.output, "ogldepth"), "100");
    EXPECT_EQ(output_value(r.output, "listdel"), "[|]");
}

TEST(Startup, WorkerRunsTheBodyAndTheMainThreadOwnsTheRequestWindow) {
    ProcessResult r = run_body("threads");
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "on_worker"), "1");
    EXPECT_EQ(output_value(r.output, "main_handle"), "1");
    EXPECT_EQ(output_value(r.output, "request_window"), "1");
    EXPECT_EQ(output_value(r.output, "request_class"), "CW");
    EXPECT_EQ(output_value(r.output, "request_thread"), "1");
}

TEST(Startup, MissingParameterAtErrorlevelMinusOneIsEmpty) {
    ProcessResult r = run_body("param_missing", "only");
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "missing"), "[]");
    EXPECT_NE(r.output.find("end"), std::string::npos);
}

TEST(Shutdown, NormalEndAndEndWorkerExitWithZero) {
    ProcessResult normal = run_body("switches");
    EXPECT_FALSE(normal.timed_out);
    EXPECT_EQ(normal.exit_code, 0u);

    ProcessResult ended = run_body("end_worker");
    EXPECT_FALSE(ended.timed_out);
    EXPECT_EQ(ended.exit_code, 0u);
    EXPECT_NE(ended.output.find("before"), std::string::npos);
    EXPECT_EQ(ended.output.find("after"), std::string::npos) << "end_worker returned";
}

TEST(Shutdown, ExitCodeIsTheWParamOfWmQuit) {
    ProcessResult r = run_body("quit_code");
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 7u);
}

TEST(Shutdown, MainThreadJoinsTheWorkerUnlessFastmode) {
    ProcessResult joined = run_body("joins_worker");
    EXPECT_EQ(joined.exit_code, 0u);
    EXPECT_NE(joined.output.find("finished"), std::string::npos) << "the main thread did not wait for the worker";

    ProcessOptions options;
    options.environment = {{"RT_SCENARIO", "fastmode_no_wait"}};
    options.timeout_ms = 15000;
    ProcessResult fast = run_program("core_body.exe", options);
    EXPECT_FALSE(fast.timed_out) << "the main thread waited for the worker with fastmode on";
    EXPECT_EQ(fast.exit_code, 0u);
    EXPECT_NE(fast.output.find("posted"), std::string::npos);
}

// A wait for the request-done event that fails is never taken for done: the records come back
// filled (they came back unfilled, and the main thread wrote them after their owner freed them).
TEST(Requests, AFailedWaitForDoneIsNotTakenForDone) {
    ProcessResult r = run_body("failed_wait");
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(output_value(r.output, "filled"), "20");
}

TEST(Shutdown, StartupFailureExitsWithOne) {
    ProcessResult r = run_program("startup_fail_body.exe");
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 1u);
}

}  // namespace
