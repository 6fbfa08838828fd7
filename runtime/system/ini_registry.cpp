#include "runtime/system/ini_registry.h"

#include <cstdio>

#include "runtime/core/errors.h"
#include "runtime/values/string_functions.h"

namespace {

// At most 256 bytes are offered to the platform; the two bytes behind them stay 0, so the text
// always ends within the buffer.
constexpr DWORD kValueBytes = 256;
constexpr DWORD kBufferBytes = 258;

const HKEY kRoots[] = {HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE, HKEY_USERS,
                       HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};

char upper_ascii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The first strlen(prefix) bytes of text equal prefix (upper case) without regard to case.
bool begins_with_nocase(const RtString& text, const char* prefix) {
    const char* p = text.c_str();
    for (; *prefix != 0; ++prefix, ++p) {
        if (upper_ascii(*p) != *prefix) {
            return false;
        }
    }
    return true;
}

RtString read_ini_file(const RtString& file, const RtString& section, const RtString& key) {
    char buffer[kBufferBytes] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, kValueBytes, file.c_str());
    return RtString(buffer);
}

void warn_open_failed(const RtString& section) {
    RtString text(
        "RegOpenKeyEx scheiterte f\xFC"
        "r \"");
    text.append(section);
    text.append_cstring("\".");
    report_warning(305, text.c_str());
}

void warn_value_missing(const RtString& section, const RtString& key) {
    RtString text("\"");
    text.append(section);
    text.append_cstring("\" nicht in \"");
    text.append(key);
    text.append_cstring("\" gefunden.");
    report_warning(305, text.c_str());
}

bool is_string_type(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

RtString read_registry(const RtString& file, const RtString& section, const RtString& key) {
    static const RtString kMarker("_DW_");
    bool number_mode = string_count(string_upper(file), kMarker) > 0;
    HKEY root = registry_root(file);
    HKEY opened = nullptr;
    if (root == nullptr || RegOpenKeyExA(root, section.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        warn_open_failed(section);
        return RtString();
    }
    RtString result;
    if (number_mode) {
        DWORD type = REG_DWORD;
        int32_t number = 0;
        DWORD size = sizeof number;
        LONG status = RegQueryValueExA(opened, key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
        if (status != ERROR_SUCCESS) {
            warn_value_missing(section, key);
        } else {
            // Plain decimal text: assign_int would pad it to the numwidth switch.
            char digits[12];
            snprintf(digits, sizeof digits, "%ld", static_cast<long>(number));
            result.assign_cstring(digits);
        }
    } else {
        DWORD type = REG_SZ;
        char buffer[kBufferBytes] = {};
        DWORD size = kValueBytes;
        LONG status = RegQueryValueExA(opened, key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        if (status != ERROR_SUCCESS) {
            warn_value_missing(section, key);
        } else if (size != 0 && is_string_type(type)) {
            result.assign_cstring(buffer);
        }
    }
    RegCloseKey(opened);
    return result;
}

}  // namespace

RtString read_ini(const RtString& file, const RtString& section, const RtString& key) {
    if (!begins_with_nocase(file, "HKEY_")) {
        return read_ini_file(file, section, key);
    }
    return read_registry(file, section, key);
}

// The marker is replaced byte for byte ("_DW_" only), while read_ini finds it in any case: a root
// name with a small marker keeps it and matches no row.
HKEY registry_root(const RtString& name) {
    static const RtString kMarker("_DW_");
    static const RtString kSeparator("_");
    RtString plain = string_replace(name, kMarker, kSeparator);
    if (!begins_with_nocase(plain, "HKEY_")) {
        return nullptr;
    }
    char digit = plain.length > 5 ? plain.data[5] : 0;
    if (digit < '0' || digit > '6') {
        return nullptr;
    }
    return kRoots[digit - '0'];
}
