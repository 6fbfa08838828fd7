// The folder helpers, the shell and the search for top-level windows of another process (the
// window fixture) under the test display.
#include "runtime/system/system_helpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"

namespace {

std::string title_of(HWND window) {
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

DWORD process_of(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The window fixture with its windows open; it closes them when the object goes.
class WindowFixture {
  public:
    explicit WindowFixture(const std::vector<std::string>& titles) {
        std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++count_);
        std::string ready_name = "rt_system_ready_" + tag;
        std::string quit_name = "rt_system_quit_" + tag;
        ready_ = CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str());
        quit_ = CreateEventA(nullptr, TRUE, FALSE, quit_name.c_str());
        std::string command = "window_fixture.exe " + ready_name + " " + quit_name;
        for (const std::string& t : titles) {
            command += " \"" + t + "\"";
        }
        program_ = std::make_unique<RunningProgram>(command);
        started_ = program_->started() && WaitForSingleObject(ready_, 20000) == WAIT_OBJECT_0;
    }
    ~WindowFixture() {
        SetEvent(quit_);
        program_->finish(10000);
        CloseHandle(ready_);
        CloseHandle(quit_);
    }
    bool started() const { return started_; }
    DWORD id() const { return program_->process_id(); }

  private:
    static int count_;
    HANDLE ready_ = nullptr;
    HANDLE quit_ = nullptr;
    std::unique_ptr<RunningProgram> program_;
    bool started_ = false;
};

int WindowFixture::count_ = 0;

struct TitleCase {
    const char* text;
    const char* found;  // the title of the window found; null when none may match
};

TEST(FindWindowByTitle, CaseInsensitivePrefixOverWindowsOfAnotherProcess) {
    WindowFixture fixture({"Qz7 view gallery - Mozilla Firefox", "My Qz7 PicLens", "!Qz7 Cooliris hidden",
                           "Qz7 Gr\xD6\xDF"
                           "e"});
    ASSERT_TRUE(fixture.started());
    const TitleCase cases[] = {
        {"Qz7 view gallery", "Qz7 view gallery - Mozilla Firefox"},
        {"QZ7 VIEW GALLERY", "Qz7 view gallery - Mozilla Firefox"},
        {"qz7 view gallery - mozilla firefox", "Qz7 view gallery - Mozilla Firefox"},
        {"Qz7 view gallery - Mozilla Firefox!", nullptr},  // longer than the title
        {"Qz7 PicLens", nullptr},                          // must stand at the start
        {"My Qz7 PicLens", "My Qz7 PicLens"},
        {"qz7 cooliris", "Qz7 Cooliris hidden"},  // hidden windows count too
        {"qz7 gr\xF6\xDF",
         "Qz7 Gr\xD6\xDF"
         "e"},  // accented letters ignore case as well
        {"Qz7 view galleryx", nullptr},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.text);
        HWND found = find_window_by_title(RtString(c.text));
        if (c.found == nullptr) {
            EXPECT_EQ(found, nullptr) << title_of(found);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(title_of(found), c.found);
        EXPECT_EQ(process_of(found), fixture.id());
    }
}

TEST(FindWindowByTitle, UpperAndLowerCaseTitlesBothMatch) {
    for (const char* title : {"Qz8 VIEW GALLERY", "qz8 view gallery - Mozilla Firefox"}) {
        WindowFixture fixture({title});
        ASSERT_TRUE(fixture.started());
        HWND found = find_window_by_title(RtString("Qz8 View Gallery"));
        ASSERT_NE(found, nullptr) << title;
        EXPECT_EQ(title_of(found), title);
    }
    EXPECT_EQ(find_window_by_title(RtString("Qz8 View Gallery")), nullptr) << "the fixture's windows are gone";
}

BOOL CALLBACK take_first(HWND window, LPARAM lparam) {
    *reinterpret_cast<HWND*>(lparam) = window;
    return FALSE;
}

TEST(FindWindowByTitle, EmptyTextGivesTheFirstTopLevelWindow) {
    WindowFixture fixture({"Qz9 something"});
    ASSERT_TRUE(fixture.started());
    HWND first = nullptr;
    EnumWindows(take_first, reinterpret_cast<LPARAM>(&first));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(find_window_by_title(RtString("")), first);
}

TEST(Folders, WindowsDirectoryHasNoTrailingBackslash) {
    RtString folder = windows_directory();
    ASSERT_GT(folder.length, 3);
    EXPECT_NE(folder.data[folder.length - 1], '\\');
    DWORD attributes = GetFileAttributesA(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    std::string temp = std::string(folder.c_str()) + "\\temp";
    EXPECT_NE(GetFileAttributesA(temp.c_str()), INVALID_FILE_ATTRIBUTES) << temp;
}

TEST(Folders, ProgramDirectoryEndsWithABackslash) {
    RtString folder = program_directory();
    ASSERT_GT(folder.length, 3);
    EXPECT_EQ(folder.data[folder.length - 1], '\\');
    std::string self = std::string(folder.c_str()) + "system_test.exe";
    EXPECT_NE(GetFileAttributesA(self.c_str()), INVALID_FILE_ATTRIBUTES) << self;
    EXPECT_STRCASEEQ(folder.c_str(), test_folder().c_str());
}

TEST(Shell, ShellExecuteStartsAProgramWithTheDefaultVerb) {
    std::string program = test_folder() + "window_fixture.exe";
    ASSERT_EQ(find_window_by_title(RtString("rt system shell fixture")), nullptr);
    shell_execute(RtString(program.c_str()), RtString(""), SW_SHOWNOACTIVATE);
    HWND found = nullptr;
    for (int i = 0; i < 100 && found == nullptr; ++i) {
        Sleep(100);
        found = find_window_by_title(RtString("rt system shell fixture"));
    }
    ASSERT_NE(found, nullptr);
    DWORD process_id = process_of(found);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);

    shell_execute(RtString((test_folder() + "no_such_program.exe").c_str()), RtString("open"), SW_HIDE);  // silent
}

}  // namespace
