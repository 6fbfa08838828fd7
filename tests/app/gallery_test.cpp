// The gallery builder end to end: gallery.exe from its output folder, a real picture tree in the
// test prefix, a stand-in browser registered where the gallery builder looks for Firefox, and the
// files, command line, documents and window messages that result.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/feed.h"
#include "tests/app/picture_walk.h"
#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

const char kRoot[] = "C:\\gallery e2e\\";
const char kLog[] = "C:\\gallery e2e\\log\\";
const char kSecondLog[] = "C:\\gallery e2e\\log2\\";
const char kPictures[] = "C:\\gallery e2e\\Bilder";
// Keys below the classes root (Wine keeps no per-user view of it).
const char kBrowserKey[] = "Applications\\firefox.exe";
const char kHtmlCommandKey[] = "htmlfile\\shell\\open\\command";
const char kRegistryBrowser[] = "C:\\Program Files\\Stand In\\browser.exe";
const char kFallbackBrowser[] = "C:\\Program Files\\Mozilla Firefox\\firefox.exe";
const char kTinyBrowser[] = "C:\\Program Files\\Tiny\\tiny.exe";

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string short_path(const std::string& path) {
    char buffer[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return buffer;
}

std::string temp_folder() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return short_path(windows) + "\\temp\\";
}

std::string gallery_folder() {
    char full[MAX_PATH] = {};
    GetFullPathNameA((test_folder() + "..\\gallery\\").c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::string default_value(const std::string& key) {
    char value[1024] = {};
    LONG size = sizeof value;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) {
        return "";
    }
    return value;
}

void set_default_value(const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(handle, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

const char kFeedHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\">\r\n"
    "<channel>\r\n";

// Every picture of the tree below kPictures, as the ANSI listing names it, and its URL written by
// hand: the oracle of the feed's coding.
const struct {
    const char* picture;
    const char* url;
} kPictureUrls[] = {
    {"a.jpg", "file:///C:/gallery%20e2e/Bilder/a.jpg"},
    {"B.JPG", "file:///C:/gallery%20e2e/Bilder/B.JPG"},
    {"c.jpeg", "file:///C:/gallery%20e2e/Bilder/c.jpeg"},
    {"d.gif", "file:///C:/gallery%20e2e/Bilder/d.gif"},
    {"e.PNG", "file:///C:/gallery%20e2e/Bilder/e.PNG"},
    {"Mein Urlaub\\Stra\xDF"
     "e & Meer.jpg",
     "file:///C:/gallery%20e2e/Bilder/Mein%20Urlaub/Stra%DFe%20%26%20Meer.jpg"},
    {"Mein Urlaub\\\xC4rger+\xD6lfleck's~1.png",
     "file:///C:/gallery%20e2e/Bilder/Mein%20Urlaub/%C4rger%2B%D6lfleck%27s%7E1.png"},
    {"Mein Urlaub\\tief\\100% #1.jpg", "file:///C:/gallery%20e2e/Bilder/Mein%20Urlaub/tief/100%25%20%231.jpg"},
    {"Mein Urlaub\\tief\\Gr\xFC\xDF"
     "e.GIF",
     "file:///C:/gallery%20e2e/Bilder/Mein%20Urlaub/tief/Gr%FC%DFe.GIF"},
    {"zweiter\\x.Jpg", "file:///C:/gallery%20e2e/Bilder/zweiter/x.Jpg"},
};

std::string url_of(const std::string& picture) {
    for (const auto& entry : kPictureUrls) {
        if (std::string(kPictures) + "\\" + entry.picture == picture) {
            return entry.url;
        }
    }
    ADD_FAILURE() << "no URL written down for " << picture;
    return "<unknown>";
}

std::string expected_feed(const std::vector<std::string>& pictures) {
    std::string feed = kFeedHeader;
    for (const std::string& picture : pictures) {
        std::string url = url_of(picture);
        feed += "<item>\r\n<media:thumbnail url=\"" + url + "\" type=\"image\" />\r\n";
        feed += "<media:content  url=\"" + url + "\" type=\"image\" />\r\n</item>\r\n";
    }
    return feed + "</channel>\r\n</rss>\r\n";
}

// A hook in every GUI thread of the desktop that counts the external calls the gallery builder's
// worker has its main thread make (a line each in external_calls.txt of the stand-in's log).
class ExternalCallCounter {
  public:
    ExternalCallCounter() {
        library_ = LoadLibraryA((test_folder() + "request_hook.dll").c_str());
        auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library_, "request_hook")));
        hook_ = procedure != nullptr ? SetWindowsHookExA(WH_CALLWNDPROC, procedure, library_, 0) : nullptr;
    }
    ~ExternalCallCounter() {
        if (hook_ != nullptr) {
            UnhookWindowsHookEx(hook_);
        }
        FreeLibrary(library_);
    }
    bool installed() const { return hook_ != nullptr; }

    static size_t calls() {
        std::string lines = read_file_bytes(std::string(kLog) + "external_calls.txt");
        return lines == "<missing>" ? 0 : static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n'));
    }

  private:
    HMODULE library_ = nullptr;
    HHOOK hook_ = nullptr;
};

class GalleryEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        remove_tree(std::string(kRoot).substr(0, std::string(kRoot).size() - 1));
        make_folders(kLog);
        make_folders(kSecondLog);
        make_picture_tree();
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kBrowserKey);
        // The shell's default action for a page: the stand-in in shell mode, in place of Wine's own.
        saved_html_command_ = default_value(kHtmlCommandKey);
        set_default_value(kHtmlCommandKey, "\"" + standin() + "\" --shell \"%1\"");
        remove_browsers();
    }

    void TearDown() override {
        for (const char* name : {"feed.rss", "gallery.htm"}) {
            DeleteFileA((temp_folder() + name).c_str());
            RemoveDirectoryA((temp_folder() + name).c_str());
        }
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kBrowserKey);
        set_default_value(kHtmlCommandKey, saved_html_command_);
        remove_browsers();
        remove_tree(std::string(kRoot).substr(0, std::string(kRoot).size() - 1));
    }

    static std::string standin() { return test_folder() + "standin_browser.exe"; }

    static void remove_browsers() {
        for (const char* path : {kRegistryBrowser, kFallbackBrowser, kTinyBrowser}) {
            DeleteFileA(path);
            std::string folder(path);
            RemoveDirectoryA(folder.substr(0, folder.find_last_of('\\')).c_str());
        }
    }

    static void install_browser(const std::string& path) {
        make_folders(path.substr(0, path.find_last_of('\\')));
        ASSERT_TRUE(CopyFileA(standin().c_str(), path.c_str(), FALSE)) << path;
    }

    static void register_browser(const std::string& path) {
        set_default_value(std::string(kBrowserKey) + "\\shell\\open\\command", "\"" + path + "\" -osint -url \"%1\"");
    }

    void make_picture_tree() {
        const std::string root = kPictures;
        const char* files[] = {
            "a.jpg",
            "B.JPG",
            "c.jpeg",
            "d.gif",
            "e.PNG",
            "readme.txt",
            "f.bmp",
            "noext",
            "Mein Urlaub\\Stra\xDF"
            "e & Meer.jpg",
            "Mein Urlaub\\\xC4rger+\xD6lfleck's~1.png",
            "Mein Urlaub\\tief\\100% #1.jpg",
            "Mein Urlaub\\tief\\Gr\xFC\xDF"
            "e.GIF",
            "zweiter\\x.Jpg",
            "zweiter\\notes.doc",
        };
        make_folders(root + "\\Mein Urlaub\\tief");
        make_folders(root + "\\zweiter");
        make_folders(root + "\\leer");
        for (const char* file : files) {
            write_bytes(root + "\\" + file, std::string("picture ") + file);
        }
    }

    // The stand-in writes to log; viewer is its viewer title ("none": no viewer; "": its usual one).
    static ProcessOptions gallery_options(const std::string& log = kLog, const std::string& viewer = "") {
        ProcessOptions options;
        options.environment = {{"RT_STANDIN_LOG", log}, {"RT_STANDIN_VIEWER", viewer}};
        options.timeout_ms = 60000;
        return options;
    }

    static std::string gallery_command(const std::string& arguments) {
        return "\"" + gallery_folder() + "gallery.exe\"" + (arguments.empty() ? "" : " " + arguments);
    }

    ProcessResult run_gallery(const std::string& arguments,
                              const std::string& working_folder = "",
                              DWORD timeout_ms = 60000,
                              const std::string& viewer = "") {
        ProcessOptions options = gallery_options(kLog, viewer);
        options.working_folder = working_folder;
        options.timeout_ms = timeout_ms;
        return run_program(gallery_command(arguments), options);
    }

    std::string saved_html_command_;

    static std::string log_file(const char* name, const char* log = kLog) {
        return read_file_bytes(std::string(log) + name);
    }

    // Milliseconds from the moment the stand-in showed its page window until now; -1 without one.
    static double ms_since_page_shown() {
        LARGE_INTEGER now;
        LARGE_INTEGER frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        std::string shown = log_file("page_shown.txt");
        if (shown == "<missing>") {
            return -1;
        }
        return static_cast<double>(now.QuadPart - std::stoll(shown)) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }

    // Both documents are gone and the page window was asked to close, with nothing that would end
    // the whole browser.
    static void expect_clean_end(const ProcessResult& r, const char* log = kLog) {
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        EXPECT_FALSE(exists(temp_folder() + "feed.rss"));
        EXPECT_FALSE(exists(temp_folder() + "gallery.htm"));
        EXPECT_EQ(log_file("messages.txt", log), "0x0010 1 1\r\n");
    }

    static void wait_for_log_file(const char* name, DWORD timeout_ms = 15000) {
        for (DWORD start = GetTickCount(); log_file(name) == "<missing>" && GetTickCount() - start < timeout_ms;) {
            Sleep(50);
        }
    }

    // The browser's command line: its path quoted, then the page.
    static std::string command_line(const std::string& browser) {
        return "\"" + browser + "\" -new-window " + temp_folder() + "gallery.htm";
    }
};

TEST_F(GalleryEndToEnd, RegistryBrowserGetsThePageAndTheFeedAndIsClosedAfterTheViewer) {
    install_browser(kRegistryBrowser);
    install_browser(kFallbackBrowser);  // present, but the registry's browser comes first
    register_browser(kRegistryBrowser);

    ExternalCallCounter counter;
    ASSERT_TRUE(counter.installed());
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\"");
    expect_clean_end(r);
    EXPECT_EQ(ExternalCallCounter::calls(), 0u) << "the Program Files folder was looked up";

    // The registry's command is taken in small letters; its short form keeps the drive letter so.
    std::string lowered = kRegistryBrowser;
    CharLowerA(lowered.data());
    EXPECT_EQ(log_file("commandline.txt"), command_line(short_path(lowered)));

    std::string viewer = gallery_folder() + "viewer\\piclens.js";
    std::string viewer_url = "file:///" + std::string(code_path(RtString(viewer.c_str())).c_str());
    EXPECT_EQ(log_file("page.htm"),
              "<html><head><title>view gallery</title><link rel=\"alternate\" href=\"feed.rss\" "
              "type=\"application/rss+xml\" title=\"\" id=\"gallery\" /><script type=\"text/javascript\" src=\"" +
                  viewer_url +
                  "\"></script><script type=\"text/javascript\">PicLensLite.start();</script><body></body></html>"
                  "\r\n");

    std::vector<std::string> pictures = walk_pictures(kPictures);
    ASSERT_EQ(pictures.size(), std::size(kPictureUrls));
    std::string feed = log_file("feed.rss");
    EXPECT_EQ(feed, expected_feed(pictures));
    // All JPEGs of every folder come before the first GIF, and the GIFs before the PNGs.
    EXPECT_LT(feed.find("zweiter/x.Jpg"), feed.find("d.gif"));
    EXPECT_LT(feed.find("Gr%FC%DFe.GIF"), feed.find("e.PNG"));
    EXPECT_EQ(feed.find("readme"), std::string::npos);
    EXPECT_EQ(feed.find("notes.doc"), std::string::npos);
    EXPECT_TRUE(exists(std::string(kLog) + "ended.txt")) << "the browser window was not closed";
}

// A registry value that is a bare path, without quotes or options, is taken in small letters. The
// viewer's first title counts as well as the second: the show ends soon after it closes.
TEST_F(GalleryEndToEnd, ABareRegistryPathIsTakenAndACoolirisWindowIsTheViewerToo) {
    install_browser(kRegistryBrowser);
    set_default_value(std::string(kBrowserKey) + "\\shell\\open\\command", kRegistryBrowser);
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\leer\"", "", 60000, "Cooliris - Stand-in");
    double waited = ms_since_page_shown();
    expect_clean_end(r);
    std::string lowered = kRegistryBrowser;
    CharLowerA(lowered.data());
    EXPECT_EQ(log_file("commandline.txt"), command_line(short_path(lowered)));
    EXPECT_GE(waited, 1800) << "the page window was closed while the viewer was open";
    EXPECT_LT(waited, 6000) << "the viewer went unnoticed until the viewer wait ran out";
}

TEST_F(GalleryEndToEnd, WithoutAViewerThePageWindowIsClosedTenSecondsAfterItAppeared) {
    install_browser(kRegistryBrowser);
    register_browser(kRegistryBrowser);
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\leer\"", "", 60000, "none");
    double waited = ms_since_page_shown();
    expect_clean_end(r);
    EXPECT_GE(waited, 9900);
    EXPECT_LT(waited, 12500);
}

TEST_F(GalleryEndToEnd, WithoutARegistryBrowserTheProgramFilesFirefoxIsStarted) {
    install_browser(kFallbackBrowser);
    ExternalCallCounter counter;
    ASSERT_TRUE(counter.installed());
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\zweiter\"");
    expect_clean_end(r);
    // The special-folder lookup: the folder's item list, its path, and freeing the list.
    EXPECT_EQ(ExternalCallCounter::calls(), 3u);
    EXPECT_EQ(log_file("commandline.txt"), command_line(short_path(kFallbackBrowser)));
    EXPECT_EQ(log_file("feed.rss"), expected_feed({std::string(kPictures) + "\\zweiter\\x.Jpg"}));
}

TEST_F(GalleryEndToEnd, ABrowserOf1000BytesCountsAsMissing) {
    make_folders("C:\\Program Files\\Tiny");
    write_bytes(kTinyBrowser, std::string(1000, 'x'));
    register_browser(kTinyBrowser);
    install_browser(kFallbackBrowser);
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\leer\"");
    expect_clean_end(r);
    EXPECT_EQ(log_file("commandline.txt"), command_line(short_path(kFallbackBrowser)));
}

TEST_F(GalleryEndToEnd, ABrowserOf1001BytesCountsAsPresent) {
    // The registry's file is too small to be a real browser but large enough to be taken: the
    // fallback is not looked for. Its launch fails, so the shell opens the program's own page. The
    // windows this test opens itself once the page has been written, titled like the page and the
    // viewer, are another program's: they get no message, and the run waits on (until the test ends it).
    make_folders("C:\\Program Files\\Tiny");
    write_bytes(kTinyBrowser, std::string(1001, 'x'));
    register_browser(kTinyBrowser);
    install_browser(kFallbackBrowser);
    RunningProgram gallery(gallery_command("\"" + std::string(kPictures) + "\\leer\""), gallery_options());
    for (DWORD start = GetTickCount(); !exists(temp_folder() + "gallery.htm") && GetTickCount() - start < 30000;) {
        Sleep(20);
    }
    RunningProgram windows("standin_browser.exe --manual", gallery_options());
    ProcessResult r = gallery.finish(8000);
    EXPECT_TRUE(r.timed_out) << "the run ended without a window of its browser";
    EXPECT_EQ(log_file("messages.txt"), "<missing>");
    EXPECT_EQ(log_file("commandline.txt"), "<missing>") << "a browser was started";
    EXPECT_NE(log_file("shell.txt").find(gallery_folder() + "gallery.htm"), std::string::npos)
        << "a browser that did not start was not replaced by the shell";
    PostMessageA(wait_for_window("view gallery - Stand-in Browser"), WM_CLOSE, 0, 0);
    windows.finish(10000);
}

TEST_F(GalleryEndToEnd, AnEmptyFolderGivesTheFiveLineFeed) {
    install_browser(kFallbackBrowser);
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\leer\"");
    expect_clean_end(r);
    EXPECT_EQ(log_file("feed.rss"), std::string(kFeedHeader) + "</channel>\r\n</rss>\r\n");
}

TEST_F(GalleryEndToEnd, WithoutAFolderParameterTheCurrentFolderIsScanned) {
    install_browser(kFallbackBrowser);
    std::string current = std::string(kPictures) + "\\Mein Urlaub\\tief";
    ProcessResult r = run_gallery("", current);
    expect_clean_end(r);
    EXPECT_EQ(log_file("feed.rss"), expected_feed(walk_pictures(current)));
}

// No page window ever appears: 60 s for it and 10 s for the viewer, each ended by the first look
// after its deadline.
TEST_F(GalleryEndToEnd, WithoutAnyBrowserTheShellOpensTheProgramsOwnPageAndTheWaitsRunOut) {
    DWORD started = GetTickCount();
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\leer\"", "", 150000);
    DWORD run = GetTickCount() - started;
    EXPECT_GE(run, 70000u);
    EXPECT_LT(run, 78000u);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(log_file("shell.txt").find(gallery_folder() + "gallery.htm"), std::string::npos) << log_file("shell.txt");
    EXPECT_EQ(log_file("commandline.txt"), "<missing>");
    EXPECT_FALSE(exists(temp_folder() + "feed.rss"));
    EXPECT_FALSE(exists(temp_folder() + "gallery.htm"));
}

// Only this run's page window is asked to close, and the run ends soon after its show whatever other
// windows are titled. No message for a window titled like the page: another program's, before the run
// or while a running browser takes the page; the user's, showing the page as a tab; a folder window
// once the user closed the page window. Titled like the viewer, another program's window or a show an
// earlier run left in the browser kept the run waiting for ever.
TEST_F(GalleryEndToEnd, OnlyThePageWindowOfThisRunIsAskedToClose) {
    const std::string browser = "\"" + std::string(kRegistryBrowser) + "\"";
    const struct {
        const char* what;
        std::string look_alike;  // the command of a program with a window of that title, "" none
        bool during;             // it opens once the browser has started, else before the run
        const char* instance;    // a browser running already: "" none, "new" (a new window) or "tab"
        const char* page_messages;
    } cases[] = {
        {"a window titled like the page, open before the run", "standin_browser.exe --decoy VIEW GALLERY - Urlaub",
         false, "", "0x0010 1 1\r\n"},
        {"the page window closed by the user, a folder window titled like it", "", false, "", "<missing>"},
        {"a running browser takes the page, a look-alike comes first",
         "standin_browser.exe --decoy View Gallery - Holiday 2024", true, "new", "0x0010 1 1\r\n"},
        {"the page a tab of a window the user had", "", false, "tab", "<missing>"},
        {"a viewer look-alike of another program", "standin_browser.exe --decoy PicLens - notes.txt", true, "",
         "0x0010 1 1\r\n"},
        {"a show an earlier run left open in the browser", browser + " --decoy PicLens Lite - 2 / 5", false, "",
         "0x0010 1 1\r\n"},
    };
    install_browser(kRegistryBrowser);
    register_browser(kRegistryBrowser);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"messages.txt", "decoy.txt", "commandline.txt", "instance.txt"}) {
            DeleteFileA((std::string(kLog) + name).c_str());
        }
        ProcessOptions options = gallery_options();
        // The page window comes late, as from a browser that was running already.
        options.environment.push_back({"RT_STANDIN_PAGE_DELAY", c.during ? "2000" : "1000"});
        if (c.look_alike.empty() && c.instance[0] == 0) {
            options.environment.push_back({"RT_STANDIN_AFTER_VIEWER", "decoy"});
        }
        std::unique_ptr<RunningProgram> instance;
        std::unique_ptr<RunningProgram> look_alike;
        if (c.instance[0] != 0) {
            instance = std::make_unique<RunningProgram>(browser + " --instance " + c.instance, options);
            ASSERT_NE(wait_for_window("Inbox (3) - Stand-in"), nullptr);
        }
        auto open_look_alike = [&] {
            look_alike = std::make_unique<RunningProgram>(c.look_alike, options);
            ASSERT_NE(wait_for_window(c.look_alike.substr(c.look_alike.find("--decoy ") + 8)), nullptr);
        };
        if (!c.look_alike.empty() && !c.during) {
            open_look_alike();
        }
        RunningProgram gallery(gallery_command("\"" + std::string(kPictures) + "\\leer\""), options);
        if (c.during) {
            wait_for_log_file("commandline.txt");
            open_look_alike();
        }
        ProcessResult r = gallery.finish(60000);
        double waited = ms_since_page_shown();
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        EXPECT_FALSE(exists(temp_folder() + "gallery.htm"));
        EXPECT_LT(waited, 6000) << "the run did not end soon after its show";
        EXPECT_EQ(log_file("messages.txt"), c.page_messages);
        EXPECT_EQ(log_file("decoy.txt"), "<missing>");
        EXPECT_EQ(exists(std::string(kLog) + "instance.txt"), c.instance[0] != 0) << "the page was not handed over";
        look_alike.reset();
        instance.reset();
        if (c.instance[0] == 0) {
            wait_for_log_file("ended.txt");  // the stand-in browser is gone, its file may be replaced
        }
        DeleteFileA((std::string(kLog) + "ended.txt").c_str());
    }
}

// Two runs started together: the second waits until the first has removed its files, so each
// browser reads its own run's feed, and neither run deletes or closes the other's.
TEST_F(GalleryEndToEnd, TwoRunsAtOnceEachShowTheirOwnPictures) {
    install_browser(kRegistryBrowser);
    register_browser(kRegistryBrowser);
    const std::string folders[] = {std::string(kPictures) + "\\zweiter", std::string(kPictures) + "\\Mein Urlaub"};
    RunningProgram first(gallery_command("\"" + folders[0] + "\""), gallery_options(kLog));
    Sleep(50);
    RunningProgram second(gallery_command("\"" + folders[1] + "\""), gallery_options(kSecondLog));
    ProcessResult results[] = {first.finish(60000), second.finish(60000)};
    const char* logs[] = {kLog, kSecondLog};
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(folders[run]);
        expect_clean_end(results[run], logs[run]);
        EXPECT_EQ(log_file("feed.rss", logs[run]), expected_feed(walk_pictures(folders[run])));
    }
}

// An old feed or page that cannot be overwritten (locked by another program, or a folder in its
// place): the run reports it (a box at error level 0, which ends the run), removes what it wrote
// and starts no browser on the old files. So does a run whose folder parameter names no folder (it
// showed the current folder's pictures), or whose mutex's name an event has taken (it ran unordered).
TEST_F(GalleryEndToEnd, AFileThatCannotBeWrittenIsReportedAndNoBrowserStarts) {
    const struct {
        const char* file;  // nullptr: no old file, and locked: the mutex's name taken
        bool locked;       // else a folder of that name
        const char* folder = "zweiter";
        std::string box = "Datei kann nicht erzeugt werden: ";  // the old file's path follows
    } cases[] = {{"feed.rss", true},
                 {"gallery.htm", true},
                 {"feed.rss", false},
                 {"gallery.htm", false},
                 {nullptr, false, "nicht da", "Ordner nicht gefunden: " + std::string(kPictures) + "\\nicht da"},
                 {nullptr, true, "zweiter",
                  "Mutex kann nicht erzeugt werden: Global\\gallery-builder-temp-files (Name von einem anderen Objekt "
                  "belegt)"}};
    install_browser(kRegistryBrowser);
    register_browser(kRegistryBrowser);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box + (c.file != nullptr ? c.file : ""));
        std::string old_file = c.file != nullptr ? temp_folder() + c.file : "";
        HANDLE lock = nullptr;
        if (c.file == nullptr) {
            lock = c.locked ? CreateEventA(nullptr, TRUE, FALSE, "Global\\gallery-builder-temp-files") : nullptr;
        } else if (c.locked) {
            write_bytes(old_file, "old gallery");
            lock = CreateFileA(old_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        } else {
            ASSERT_TRUE(CreateDirectoryA(old_file.c_str(), nullptr));
        }
        ProcessOptions options = gallery_options();
        options.working_folder = kPictures;  // a scan of the current folder would find pictures
        RunningProgram gallery(gallery_command("\"" + std::string(kPictures) + "\\" + c.folder + "\""), options);
        HWND box = wait_for_process_window(gallery.process_id(), "#32770", 30000);
        EXPECT_EQ(window_text(box), c.box + old_file);
        click_button(box, IDOK);
        ProcessResult r = gallery.finish(30000);
        EXPECT_EQ(r.exit_code, 0u);
        EXPECT_EQ(log_file("commandline.txt"), "<missing>") << "a browser was started";
        for (const char* name : {"feed.rss", "gallery.htm"}) {
            EXPECT_EQ(exists(temp_folder() + name), c.file != nullptr && name == std::string(c.file)) << name;
        }
        if (lock != nullptr) {
            CloseHandle(lock);
            EXPECT_EQ(read_file_bytes(old_file), c.file != nullptr ? "old gallery" : "<missing>");
        }
        DeleteFileA(old_file.c_str());
        RemoveDirectoryA(old_file.c_str());
    }
}

std::wstring widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                                        static_cast<int>(wide.size()))));
    return wide;
}

// The file a feed URL names, as its long wide path ("" when it names none): the bytes behind
// "file:///" with every %XX decoded and "/" as "\".
std::wstring file_of_url(const std::string& url) {
    std::string path;
    for (size_t i = std::string("file:///").size(); i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            path.push_back(static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            path.push_back(url[i] == '/' ? '\\' : url[i]);
        }
    }
    wchar_t long_path[MAX_PATH * 2] = {};
    DWORD n = GetLongPathNameW(widen(path).c_str(), long_path, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? long_path : L"";
}

// Pictures whose names the code page lacks: a fullwidth "a" beside a real a.jpg (its look-alike
// would show a.jpg twice), Cyrillic letters and fullwidth "<", ">", "?" (their look-alikes name no
// file), and a folder with a fullwidth letter. Each is shown, under its short name.
TEST_F(GalleryEndToEnd, PicturesWithNamesOutsideTheCodePageAreEachShown) {
    install_browser(kRegistryBrowser);
    register_browser(kRegistryBrowser);
    const std::wstring folder = widen(std::string(kPictures) + "\\Namen\\");
    make_folders(std::string(kPictures) + "\\Namen");
    ASSERT_TRUE(CreateDirectoryW((folder + L"\xFF26oto").c_str(), nullptr));
    const std::wstring names[] = {L"a.jpg", L"\xFF41.jpg", L"\x0416\x0443\x043A.jpg", L"k\xFF1Cl\xFF1Em\xFF1F.png",
                                  L"\xFF26oto\\f.gif"};
    std::multiset<std::wstring> expected;
    for (const std::wstring& name : names) {
        HANDLE file = CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        expected.insert(folder + name);
    }
    ProcessResult r = run_gallery("\"" + std::string(kPictures) + "\\Namen\"");
    expect_clean_end(r);
    std::string feed = log_file("feed.rss");
    std::multiset<std::wstring> shown;
    const std::string content = "<media:content  url=\"";
    for (size_t at = feed.find(content); at != std::string::npos; at = feed.find(content, at + 1)) {
        size_t begin = at + content.size();
        shown.insert(file_of_url(feed.substr(begin, feed.find('"', begin) - begin)));
    }
    EXPECT_TRUE(shown == expected) << feed;
}

}  // namespace
