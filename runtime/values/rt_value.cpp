#include "runtime/values/rt_value.h"

#include <cstdlib>

#include "runtime/values/frames.h"

RtValue value_from_int(int32_t value, int32_t* variable) {
    RtValue v;
    v.kind = kValueInt;
    v.int_value = value;
    v.float_value = static_cast<double>(value);
    v.text.assign_int(value);
    v.ref = variable;
    return v;
}

RtValue value_from_string_var(RtString& variable) {
    RtValue v;
    v.kind = kValueString;
    v.text.assign(variable);
    v.ref = &variable;
    return v;
}

RtValue value_append_text(RtValue& x, const RtString& s) {
    x.text.append(s);
    x.kind = kValueString;
    x.int_value = 0;
    x.float_value = 0.0;
    x.ref = nullptr;
    return x;
}

int32_t text_to_int(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t n = 0;
    while (*p >= '0' && *p <= '9') {
        n = n * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (negative) {
        n = 0u - n;
    }
    return static_cast<int32_t>(n);
}

// The decimal reading of a double: strtod, but only where the text begins with a decimal number
// (strtod alone would also read hexadecimal numbers, infinities and NaNs).
double text_to_double(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    const char* number = p;
    if (*p == '+' || *p == '-') {
        ++p;
    }
    bool digits = (*p >= '0' && *p <= '9') || (*p == '.' && p[1] >= '0' && p[1] <= '9');
    if (!digits) {
        return 0.0;
    }
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        return 0.0;  // "0x1A" reads as the number 0 followed by other text
    }
    return std::strtod(number, nullptr);
}

RtValue value_parse_text(const RtString& s) {
    RtValue v;
    v.kind = kValueString;
    v.int_value = text_to_int(s.c_str());
    v.float_value = text_to_double(s.c_str());
    v.text.assign(s);
    v.ref = nullptr;
    return v;
}

RtValue value_from_text(const RtString& s) {
    RtValue& slot = result_slot();
    slot = value_parse_text(s);
    return slot;
}

RtString value_text(const RtValue& value) {
    return value.text;
}

RtString assign_value(RtString& variable, const RtValue& value) {
    variable.assign(value.text);
    return variable;
}
