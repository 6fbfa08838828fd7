/// \file
/// How the window procedures turn child notifications, characters, commands, common-control
/// notifications, help requests and DDE acknowledgements into the input-event fields that a
/// program body reads (event code, control, key, mouse) and which input events they wake. The
/// table below is the whole mapping; the first row that matches wins. Pure C++; any thread.
#pragma once

#include <cstdint>

/// Input events by number: 1 any input, 2 window and command events, 3 keys, 4 mouse.
enum InputEventBit : uint8_t {
    /// Event 1: any input.
    kWakeFirst = 1,
    /// Event 2: window and command events.
    kWakeSecond = 2,
    /// Event 3: keys.
    kWakeThird = 4,
    /// Event 4: mouse.
    kWakeFourth = 8,
};

/// Which `messagemode` values a row applies to: 0, any other non-zero value, 2.
enum MessageModes : uint8_t {
    /// Messagemode 0.
    kModeZero = 1,
    /// Any non-zero messagemode.
    kModeOn = 2,
    /// Messagemode 2.
    kModeTwo = 4,
    /// Every messagemode.
    kModesAll = 7,
};

/// Where a field's value comes from: 0, the low or high word of wParam, wParam, the low word of
/// lParam, or (as the comments say) the notification's sender id or code.
enum class Source : uint8_t {
    kZero,
    kLowWparam,
    kHighWparam,
    kWparam,
    kLowLparam,
    kNotifyId,    // WM_NOTIFY: the sender's id; WM_HELP: the control id
    kNotifyCode,  // WM_NOTIFY: the notification code
};

/// The code a row filters on: WM_COMMAND the notification code (high word of wParam, 0 for menus),
/// WM_NOTIFY the notification code, WM_PARENTNOTIFY the event (low word of wParam). kAnyCode
/// matches every code.
constexpr int32_t kAnyCode = 0x7FFFFFFF;

/// WM_COMMAND rows: from a menu or accelerator (lParam 0), from a control (lParam its window), or any.
enum class From : uint8_t { kAny, kMenu, kControl };  // WM_COMMAND: lParam 0 or a control window

/// One row of the mapping.
struct InputEventRow {
    /// The window message.
    uint32_t message;
    /// WM_COMMAND: where it comes from.
    From from;
    /// The code filtered on, or kAnyCode.
    int32_t code;
    /// The MessageModes it applies to.
    uint8_t modes;
    /// The event code stored.
    int32_t event_code;
    /// Where the control field comes from.
    Source control;
    /// Where the key field comes from.
    Source key;
    /// mouse: mouse x and y come from the low and high word of lParam; click: stored in the click
    /// field when non-zero.
    ///@{
    bool mouse;     // mouse x and y from the low and high word of lParam
    int32_t click;  // stored in the click field when non-zero
    ///@}
    /// The InputEventBit set of events woken.
    uint8_t wake;
};

/// The mapping, first matching row first.
/// Event codes: 1 menu or accelerator command, 2 close requested, 3 character typed, 4 size or
/// position changed, 5 mouse button on a child window, 6 help requested, 7 DDE acknowledgement,
/// 13 Enter in a control, 255 a control or scroll bar was used.
// clang-format off
inline constexpr InputEventRow kInputEventTable[] = {
    // message  from              code     modes          event  control              key                  mouse  click  wake
    {0x0111, From::kMenu,    kAnyCode, kModesAll,          1,   Source::kLowWparam, Source::kHighWparam, false, 0, kWakeSecond | kWakeFirst},
    {0x0111, From::kControl, 0,        kModesAll,          255, Source::kLowWparam, Source::kZero,       false, 0, kWakeFirst},
    {0x0111, From::kControl, kAnyCode, kModeOn | kModeTwo, 255, Source::kLowWparam, Source::kHighWparam, false, 0, kWakeFirst},
    {0x004E, From::kAny,     -2,       kModeOn | kModeTwo, 255, Source::kNotifyId,  Source::kNotifyCode, false, 0, kWakeFirst},  // NM_CLICK
    {0x004E, From::kAny,     -4,       kModeOn | kModeTwo, 255, Source::kNotifyId,  Source::kNotifyCode, false, 0, kWakeFirst},  // NM_RETURN
    {0x004E, From::kAny,     -551,     kModeOn | kModeTwo, 255, Source::kNotifyId,  Source::kNotifyCode, false, 0, kWakeFirst},  // TCN_SELCHANGE
    {0x004E, From::kAny,     kAnyCode, kModeTwo,           255, Source::kNotifyId,  Source::kNotifyCode, false, 0, kWakeFirst},
    {0x0102, From::kAny,     kAnyCode, kModesAll,          3,   Source::kZero,      Source::kWparam,     false, 0, kWakeThird | kWakeFirst},  // WM_CHAR
    {0x0210, From::kAny,     0x0201,   kModesAll,          5,   Source::kZero,      Source::kZero,       true,  1, kWakeFourth | kWakeFirst},  // left button
    {0x0210, From::kAny,     0x0204,   kModesAll,          5,   Source::kZero,      Source::kZero,       true,  2, kWakeFourth | kWakeFirst},  // right button
    {0x0210, From::kAny,     0x0207,   kModesAll,          5,   Source::kZero,      Source::kZero,       true,  3, kWakeFourth | kWakeFirst},  // middle button
    {0x0053, From::kAny,     kAnyCode, kModesAll,          6,   Source::kNotifyId,  Source::kZero,       false, 0, kWakeSecond | kWakeFirst},  // WM_HELP
    {0x03E4, From::kAny,     kAnyCode, kModesAll,          7,   Source::kWparam,    Source::kLowLparam,  false, 0, kWakeFirst},  // WM_DDE_ACK
};
// clang-format on

/// One message as the window procedure received it; for WM_NOTIFY and WM_HELP the procedure reads
/// the sender's id and the code from the structure lParam points to.
struct InputMessage {
    /// The window message.
    uint32_t message;
    /// Its wParam.
    uint32_t wparam;
    /// Its lParam.
    uint32_t lparam;
    /// WM_NOTIFY: the sender's id; WM_HELP: the control id.
    int32_t notify_id;
    /// WM_NOTIFY: the notification code.
    int32_t notify_code;
};

/// What a message makes of the input-event fields.
struct InputEvent {
    /// False: no row matched, nothing is stored or woken.
    bool recorded = false;  // false: no row matched, nothing is stored or woken
    /// The event code stored.
    int32_t event_code = 0;
    /// The control field.
    int32_t control = 0;
    /// The key field.
    int32_t key = 0;
    /// Whether mouse_x and mouse_y are stored.
    bool mouse = false;
    /// The mouse x.
    int32_t mouse_x = 0;
    /// The mouse y.
    int32_t mouse_y = 0;
    /// The click field, when non-zero.
    int32_t click = 0;
    /// The InputEventBit set of events woken.
    uint8_t wake = 0;
};

/// True for the messages that the table maps (the procedures hand these to map_input_event()).
bool is_mapped_input_message(uint32_t message);
/// The first row of kInputEventTable that matches \p m under the `messagemode` value
/// \p messagemode, applied to \p m; recorded false when none matches.
InputEvent map_input_event(const InputMessage& m, int32_t messagemode);
