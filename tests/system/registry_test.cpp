// read_ini over real INI files and real registry values that the test writes into the test Wine
// prefix and removes again.
#include "runtime/system/ini_registry.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/system/host_files.h"
#include "tests/system/report_capture.h"

namespace {

const char kBrowserKey[] = "Applications\\firefox.exe\\shell\\open\\command";
const char kBrowserCommand[] = "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url \"%1\"";

void set_value(HKEY root, const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(opened, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(opened);
}

void set_string(HKEY root, const std::string& key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    set_value(root, key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool key_exists(HKEY root, const char* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

// The handle that the next key opened gets (the key is closed again at once).
HKEY next_key_handle() {
    HKEY opened = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &opened);
    RegCloseKey(opened);
    return opened;
}

class Registry : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        key_ = "Software\\RtSystemTest" + std::to_string(GetCurrentProcessId());
        // The browser key may belong to the prefix already (another test's stand-in browser):
        // its value is put back afterwards.
        browser_existed_ = key_exists(HKEY_CLASSES_ROOT, "Applications\\firefox.exe");
        if (browser_existed_) {
            char buffer[1024] = {};
            LONG size = sizeof buffer;
            RegQueryValueA(HKEY_CLASSES_ROOT, kBrowserKey, buffer, &size);
            saved_browser_ = buffer;
        }
        set_string(HKEY_CLASSES_ROOT, kBrowserKey, "", kBrowserCommand);

        const std::string k = key_;
        set_string(HKEY_CURRENT_USER, k, "text", "user value");
        set_string(HKEY_CURRENT_USER, k, "", "default value");
        set_string(HKEY_CURRENT_USER, k, "empty", "");
        set_string(HKEY_CURRENT_USER, k, "expand", "%SystemRoot%\\x", REG_EXPAND_SZ);
        const char multi[] = "first\0second\0";
        set_value(HKEY_CURRENT_USER, k, "multi", REG_MULTI_SZ, multi, sizeof multi);
        const unsigned char blob[] = {'a', 'b', 'c', 0};
        set_value(HKEY_CURRENT_USER, k, "blob", REG_BINARY, blob, sizeof blob);
        DWORD all_bits = 0xFFFFFFFF;
        set_value(HKEY_CURRENT_USER, k, "all_bits", REG_DWORD, &all_bits, sizeof all_bits);
        DWORD answer = 42;
        set_value(HKEY_CURRENT_USER, k, "answer", REG_DWORD, &answer, sizeof answer);
        DWORD negative = static_cast<DWORD>(-2147483647 - 1);
        set_value(HKEY_CURRENT_USER, k, "lowest", REG_DWORD, &negative, sizeof negative);
        unsigned long long wide = 5;
        set_value(HKEY_CURRENT_USER, k, "qword", REG_QWORD, &wide, sizeof wide);
        set_string(HKEY_CURRENT_USER, k, "fits", std::string(255, 'f'));
        set_string(HKEY_CURRENT_USER, k, "too_long", std::string(300, 't'));
        set_string(HKEY_LOCAL_MACHINE, k, "machine", "machine value");
    }

    static void TearDownTestSuite() {
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
        if (browser_existed_) {
            set_string(HKEY_CLASSES_ROOT, kBrowserKey, "", saved_browser_);
        } else {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, "Applications\\firefox.exe");
            RegDeleteKeyA(HKEY_CLASSES_ROOT, "Applications\\firefox.exe");
        }
    }

    static std::string key_;
    static bool browser_existed_;
    static std::string saved_browser_;
    ReportCapture reports_;
};

std::string Registry::key_;
bool Registry::browser_existed_ = false;
std::string Registry::saved_browser_;

enum class Warn { kNone, kOpen, kMissing };

struct ReadCase {
    const char* root;
    std::string section;
    const char* value;
    std::string expected;
    Warn warning;
};

std::string open_failure(const std::string& section) {
    return "RegOpenKeyEx scheiterte f\xFC"
           "r \"" +
           section + "\".";
}

std::string not_found(const std::string& section, const std::string& value) {
    return "\"" + section + "\" nicht in \"" + value + "\" gefunden.";
}

TEST_F(Registry, ReadsStringsNumbersAndWarns) {
    const std::string k = key_;
    const std::string missing_key = k + "\\missing";
    const ReadCase cases[] = {
        {"HKEY_0", kBrowserKey, "", kBrowserCommand, Warn::kNone},
        {"hkey_0", kBrowserKey, "", kBrowserCommand, Warn::kNone},
        {"HKEY_1", k, "text", "user value", Warn::kNone},
        {"HKEY_1", k, "", "default value", Warn::kNone},
        {"hkey_2", k, "machine", "machine value", Warn::kNone},
        {"HKEY_2 and more", k, "machine", "machine value", Warn::kNone},  // after the sixth: ignored
        {"HKEY_1", k, "expand", "%SystemRoot%\\x", Warn::kNone},          // not expanded
        {"HKEY_1", k, "multi", "first", Warn::kNone},
        {"HKEY_1", k, "fits", std::string(255, 'f'), Warn::kNone},
        {"HKEY_1", k, "empty", "", Warn::kNone},
        {"HKEY_1", k, "blob", "", Warn::kNone},    // not a string type: silent
        {"HKEY_1", k, "answer", "", Warn::kNone},  // a number in string mode: silent
        {"HKEY_DW_1", k, "all_bits", "-1", Warn::kNone},
        {"HKEY_DW_1", k, "answer", "42", Warn::kNone},
        {"HKEY_DW_1", k, "lowest", "-2147483648", Warn::kNone},
        {"HKEY_1", k, "too_long", "", Warn::kMissing},
        {"HKEY_1", k, "nothing", "", Warn::kMissing},
        {"HKEY_DW_1", k, "nothing", "", Warn::kMissing},
        {"HKEY_DW_1", k, "qword", "", Warn::kMissing},  // longer than 4 bytes
        {"HKEY_1", missing_key, "text", "", Warn::kOpen},
        {"HKEY_9", k, "text", "", Warn::kOpen},
        {"hkey_dw_1", k, "answer", "", Warn::kOpen},  // a small marker is not replaced: no root
        {"HKEY_dw_1", k, "answer", "", Warn::kOpen},
        {"HKEY_", k, "text", "", Warn::kOpen},
        {"HKEY_7", k, "text", "", Warn::kOpen},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(std::string(c.root) + " " + c.section + " [" + c.value + "]");
        reports_.clear();
        RtString got = read_ini(RtString(c.root), RtString(c.section.c_str()), RtString(c.value));
        EXPECT_EQ(std::string(got.c_str()), c.expected);
        if (c.warning == Warn::kNone) {
            EXPECT_TRUE(reports_.reports().empty());
            continue;
        }
        ASSERT_EQ(reports_.reports().size(), 1u);
        EXPECT_FALSE(reports_.reports()[0].is_error);
        EXPECT_EQ(reports_.reports()[0].code, 305);
        EXPECT_EQ(reports_.reports()[0].argument,
                  c.warning == Warn::kOpen ? open_failure(c.section) : not_found(c.section, c.value));
    }
}

TEST_F(Registry, RootNames) {
    const std::pair<const char*, HKEY> cases[] = {
        {"HKEY_0", HKEY_CLASSES_ROOT},
        {"HKEY_1", HKEY_CURRENT_USER},
        {"HKEY_2", HKEY_LOCAL_MACHINE},
        {"HKEY_3", HKEY_USERS},
        {"HKEY_4", HKEY_PERFORMANCE_DATA},
        {"HKEY_5", HKEY_CURRENT_CONFIG},
        {"HKEY_6", HKEY_DYN_DATA},
        {"hKeY_3", HKEY_USERS},
        {"HKEY_DW_2", HKEY_LOCAL_MACHINE},
        {"HKEY_DW_DW_5", nullptr},
        {"HKEY_7", nullptr},
        {"hkey_dw_1", nullptr},
        {"HKEY", nullptr},
        {"", nullptr},
        {"XKEY_1", nullptr},
    };
    for (const auto& [name, root] : cases) {
        EXPECT_EQ(registry_root(RtString(name)), root) << name;
    }
}

// A key that read_ini left open would hold the lowest free handle, so the next key opened would get
// another one.
TEST_F(Registry, KeyIsClosedAfterEachRead) {
    if (next_key_handle() != next_key_handle()) {
        GTEST_SKIP() << "the platform does not hand out the lowest free handle again";
    }
    const std::pair<const char*, const char*> reads[] = {
        {"HKEY_1", "text"},       {"HKEY_DW_1", "answer"}, {"HKEY_1", "nothing"},
        {"HKEY_DW_1", "nothing"}, {"HKEY_1", "blob"},
    };
    for (const auto& [root, value] : reads) {
        HKEY before = next_key_handle();
        read_ini(RtString(root), RtString(key_.c_str()), RtString(value));
        EXPECT_EQ(next_key_handle(), before) << root << " " << value;
    }
}

TEST(IniFile, ReadsEntriesAndIsSilentWhenMissing) {
    ReportCapture reports;
    std::string folder = fresh_test_folder("ini");
    std::string file = folder + "\\test.ini";
    make_file(file, "[Main]\r\nname=Gallery\r\nspaced = a b \r\nlong=" + std::string(300, 'L') +
                        "\r\n[Other]\r\nname=other\r\n");
    const std::pair<std::pair<const char*, const char*>, std::string> cases[] = {
        {{"Main", "name"}, "Gallery"},
        {{"main", "NAME"}, "Gallery"},
        {{"Other", "name"}, "other"},
        {{"Main", "spaced"}, "a b"},
        {{"Main", "long"}, std::string(255, 'L')},  // at most 256 bytes with the terminator
        {{"Main", "missing"}, ""},
        {{"Missing", "name"}, ""},
    };
    for (const auto& [where, expected] : cases) {
        SCOPED_TRACE(std::string(where.first) + "/" + where.second);
        RtString got = read_ini(RtString(file.c_str()), RtString(where.first), RtString(where.second));
        EXPECT_EQ(std::string(got.c_str()), expected);
    }
    EXPECT_STREQ(read_ini(RtString((folder + "\\none.ini").c_str()), RtString("Main"), RtString("name")).c_str(), "");
    EXPECT_STREQ(read_ini(RtString("HKEY"), RtString("Main"), RtString("name")).c_str(), "") << "an INI file name";
    EXPECT_TRUE(reports.reports().empty());
    host_files::remove_tree(folder);
}

}  // namespace
