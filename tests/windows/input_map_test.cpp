// The input-event mapping: each row of the table read the way a program body relies on it, in the
// messagemode variants that select it and those that do not.
#include "runtime/windows/input_map.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kWindowEvent = kWakeSecond | kWakeFirst;

struct Case {
    const char* what;
    int32_t mode;
    InputMessage in;  // message, wParam, lParam, notifying id, notification code
    bool recorded;
    int32_t event_code, control, key, click;
    uint8_t wake;
};

// clang-format off
const Case kCases[] = {
    // what                                mode  message  wParam       lParam   id    code     rec    ev   control key    click wake
    {"menu item 0x123",                       0, {0x0111, 0x00000123, 0,      0,    0},      true,  1,   0x123,  0,     0, kWindowEvent},
    {"accelerator 0x123",                     2, {0x0111, 0x00010123, 0,      0,    0},      true,  1,   0x123,  1,     0, kWindowEvent},
    {"button 1005 clicked",                   0, {0x0111, 1005,       0x4242, 0,    0},      true,  255, 1005,   0,     0, kWakeFirst},
    {"button 1005 clicked",                   2, {0x0111, 1005,       0x4242, 0,    0},      true,  255, 1005,   0,     0, kWakeFirst},
    {"button 0x8001 clicked",                 0, {0x0111, 0x00008001, 0x4242, 0,    0},      true,  255, 0x8001, 0,     0, kWakeFirst},
    {"BN_DOUBLECLICKED ignored",              0, {0x0111, 0x000103EA, 0x4242, 0,    0},      false, 0,   0,      0,     0, 0},
    {"EN_CHANGE ignored",                     0, {0x0111, 0x030003E9, 0x4242, 0,    0},      false, 0,   0,      0,     0, 0},
    {"EN_CHANGE",                             1, {0x0111, 0x030003E9, 0x4242, 0,    0},      true,  255, 1001,   0x300, 0, kWakeFirst},
    {"EN_CHANGE, mode 2",                     2, {0x0111, 0x030003E9, 0x4242, 0,    0},      true,  255, 1001,   0x300, 0, kWakeFirst},
    {"EN_CHANGE, mode 3 is non-zero",         3, {0x0111, 0x030003E9, 0x4242, 0,    0},      true,  255, 1001,   0x300, 0, kWakeFirst},
    {"EN_CHANGE, mode -1 is non-zero",       -1, {0x0111, 0x030003E9, 0x4242, 0,    0},      true,  255, 1001,   0x300, 0, kWakeFirst},
    {"NM_CLICK ignored",                      0, {0x004E, 0,          0x1000, 1003, -2},     false, 0,   0,      0,     0, 0},
    {"NM_CLICK",                              1, {0x004E, 0,          0x1000, 1003, -2},     true,  255, 1003,   -2,    0, kWakeFirst},
    {"NM_RETURN",                             1, {0x004E, 0,          0x1000, 1003, -4},     true,  255, 1003,   -4,    0, kWakeFirst},
    {"TCN_SELCHANGE",                         1, {0x004E, 0,          0x1000, 1003, -551},   true,  255, 1003,   -551,  0, kWakeFirst},
    {"TCN_SELCHANGE, mode 2",                 2, {0x004E, 0,          0x1000, 1003, -551},   true,  255, 1003,   -551,  0, kWakeFirst},
    {"NM_SETFOCUS only in mode 2",            1, {0x004E, 0,          0x1000, 1003, -7},     false, 0,   0,      0,     0, 0},
    {"NM_SETFOCUS only in mode 2",            3, {0x004E, 0,          0x1000, 1003, -7},     false, 0,   0,      0,     0, 0},
    {"NM_SETFOCUS",                           2, {0x004E, 0,          0x1000, 1003, -7},     true,  255, 1003,   -7,    0, kWakeFirst},
    {"character",                             0, {0x0102, 'x',        0,      0,    0},      true,  3,   0,      'x',   0, kWakeThird | kWakeFirst},
    {"character above 0xFFFF kept whole",     1, {0x0102, 0x12345,    0,      0,    0},      true,  3,   0,      0x12345, 0, kWakeThird | kWakeFirst},
    {"left button on a child",                0, {0x0210, 0x00070201, 0,      0,    0},      true,  5,   0,      0,     1, kWakeFourth | kWakeFirst},
    {"right button on a child",               1, {0x0210, 0x0204,     0,      0,    0},      true,  5,   0,      0,     2, kWakeFourth | kWakeFirst},
    {"middle button on a child",              2, {0x0210, 0x0207,     0,      0,    0},      true,  5,   0,      0,     3, kWakeFourth | kWakeFirst},
    {"child created is no input",             1, {0x0210, 0x0001,     0,      0,    0},      false, 0,   0,      0,     0, 0},
    {"help on control 1004",                  0, {0x0053, 0,          0x2000, 1004, 0},      true,  6,   1004,   0,     0, kWindowEvent},
    {"DDE acknowledgement",                   1, {0x03E4, 0x00050007, 0x00090008, 0, 0},     true,  7,   0x50007, 8,    0, kWakeFirst},
    {"mouse move is not mapped",              1, {0x0200, 0,          0x00100010, 0, 0},     false, 0,   0,      0,     0, 0},
};
// clang-format on

TEST(InputMap, EveryRowInItsMessagemodes) {
    for (const Case& c : kCases) {
        InputEvent e = map_input_event(c.in, c.mode);
        std::string row = std::string(c.what) + ", messagemode " + std::to_string(c.mode);
        EXPECT_EQ(e.recorded, c.recorded) << row;
        EXPECT_EQ(e.event_code, c.event_code) << row;
        EXPECT_EQ(e.control, c.control) << row;
        EXPECT_EQ(e.key, c.key) << row;
        EXPECT_EQ(e.click, c.click) << row;
        EXPECT_EQ(e.mouse, c.in.message == 0x0210 && c.recorded) << row;
        EXPECT_EQ(e.wake, c.wake) << row;
        EXPECT_EQ(is_mapped_input_message(c.in.message), c.in.message != 0x0200) << row;
    }
}

TEST(InputMap, ClickPositionIsSignedClientCoordinates) {
    InputEvent right = map_input_event({0x0210, 0x0204, (0xFFFEu << 16) | 40, 0, 0}, 1);
    EXPECT_EQ(right.mouse_x, 40);
    EXPECT_EQ(right.mouse_y, -2);
    InputEvent left = map_input_event({0x0210, 0x0201, (7u << 16) | 0xFFF6u, 0, 0}, 0);
    EXPECT_EQ(left.mouse_x, -10);
    EXPECT_EQ(left.mouse_y, 7);
    EXPECT_EQ(map_input_event({0x0111, 0x00010123, 0x00500060, 0, 0}, 0).mouse_x, 0) << "no position for commands";
}

}  // namespace
