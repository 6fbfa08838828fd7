// The input-event mapping: a few rows of the table, each read the way a program body relies on.
#include "runtime/windows/input_map.h"

#include <gtest/gtest.h>

namespace {

InputEvent map(uint32_t message, uint32_t wparam, uint32_t lparam, int32_t mode, int32_t id = 0, int32_t code = 0) {
    return map_input_event(InputMessage{message, wparam, lparam, id, code}, mode);
}

TEST(InputMap, MenuCommandsAndButtonClicksInEveryMode) {
    for (int32_t mode : {0, 1, 2}) {
        InputEvent menu = map(0x0111, 0x00010123, 0, mode);  // accelerator 0x123
        EXPECT_TRUE(menu.recorded);
        EXPECT_EQ(menu.event_code, 1);
        EXPECT_EQ(menu.control, 0x123);
        EXPECT_EQ(menu.key, 1);
        EXPECT_EQ(menu.wake, kWakeSecond | kWakeFirst);

        InputEvent click = map(0x0111, 1005, 0x4242, mode);  // BN_CLICKED from control 1005
        EXPECT_EQ(click.event_code, 255) << mode;
        EXPECT_EQ(click.control, 1005);
    }
}

TEST(InputMap, MessagemodeSelectsWhichNotificationsCount) {
    const uint32_t edit_change = (0x0300u << 16) | 1001;  // EN_CHANGE from control 1001
    EXPECT_FALSE(map(0x0111, edit_change, 0x4242, 0).recorded);
    InputEvent on = map(0x0111, edit_change, 0x4242, 1);
    EXPECT_EQ(on.event_code, 255);
    EXPECT_EQ(on.key, 0x300);

    // Common controls: mode 0 none, non-zero a few, 2 every notification.
    EXPECT_FALSE(map(0x004E, 0, 0x1000, 0, 1003, -551).recorded);
    EXPECT_EQ(map(0x004E, 0, 0x1000, 1, 1003, -551).control, 1003);
    EXPECT_FALSE(map(0x004E, 0, 0x1000, 1, 1003, -12).recorded);
    EXPECT_EQ(map(0x004E, 0, 0x1000, 2, 1003, -12).key, -12);
}

TEST(InputMap, CharactersAndClicksOnChildren) {
    InputEvent ch = map(0x0102, 'x', 0, 1);
    EXPECT_EQ(ch.event_code, 3);
    EXPECT_EQ(ch.key, 'x');
    EXPECT_EQ(ch.wake, kWakeThird | kWakeFirst);

    InputEvent right = map(0x0210, 0x0204, (0xFFFEu << 16) | 40, 1);  // right button at 40, -2
    EXPECT_EQ(right.event_code, 5);
    EXPECT_EQ(right.click, 2);
    EXPECT_TRUE(right.mouse);
    EXPECT_EQ(right.mouse_x, 40);
    EXPECT_EQ(right.mouse_y, -2);
    EXPECT_FALSE(map(0x0210, 0x0001, 0, 1).recorded) << "a child being created is no input";
    EXPECT_FALSE(is_mapped_input_message(0x0200));
}

}  // namespace
