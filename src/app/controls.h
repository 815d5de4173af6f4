// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/color.h"
#include "app/control_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varkelon {

enum class ControlKind : std::uint8_t {
    CommandButton,
    CheckBox, // the keys: toggle buttons drawn pressed in while Value is 1
    Label,
    Frame,
    PictureBox,
    TextBox,
    HScrollBar,
    Timer,
    MenuTitle,
    MenuItem,
};

struct Font {
    // Sans-serif face with Cyrillic; the view picks the nearest installed one.
    double size_pt = 8.25;
    bool bold = false;

    friend bool operator==(const Font&, const Font&) = default;
};

// Every control of the main window, or control array, by the name the
// layout table gives it: a misspelt control does not compile.
enum class Ctl : std::uint8_t {
#define VARKELON_CTL_ENUM(name, members) name,
    VARKELON_FORM1_CONTROLS(VARKELON_CTL_ENUM)
#undef VARKELON_CTL_ENUM
};

// The number of members of each control array, in table order; 0 for a
// single control.
inline constexpr int kCtlMembers[] = {
#define VARKELON_CTL_MEMBERS(name, members) members,
    VARKELON_FORM1_CONTROLS(VARKELON_CTL_MEMBERS)
#undef VARKELON_CTL_MEMBERS
};

// How many controls (and control arrays) the table lists.
inline constexpr int kCtlCount = static_cast<int>(std::size(kCtlMembers));

// The number of members of a control array; 0 for a single control.
constexpr int member_count(Ctl c) {
    return kCtlMembers[static_cast<std::size_t>(c)];
}

// The name of a control as scripts and the view write it: Command2, key.
std::string_view control_name(Ctl c);
// The control of that name, if there is one.
std::optional<Ctl> control_named(std::string_view name);

// Identifies a control or a member of a control array: Ctl::Command2, {Ctl::key, 7}.
struct ControlId {
    Ctl ctl{};
    int index = -1; // -1: not an array member

    constexpr ControlId() = default;
    constexpr ControlId(Ctl c, int i = -1) : ctl(c), index(i) {} // NOLINT: a control is its id

    // Command2, key(7)
    std::string to_string() const;
    // Reads "Name" or "Name(3)": false on malformed text; otherwise `out`
    // holds the control, or nothing when no control has that name.
    static bool parse(std::string_view text, std::optional<ControlId>& out);
    friend bool operator==(const ControlId&, const ControlId&) = default;
};

// One control with the design properties that the logic reads and writes.
// Geometry is in twips relative to the container's client area.
struct Control {
    ControlId id;
    ControlKind kind = ControlKind::CommandButton;
    std::optional<Ctl> container; // a frame or a menu title; none: the window itself

    std::string caption;
    std::string tooltip;
    std::string text; // TextBox only
    Color back_color = colors::kButtonFace;
    Color fore_color = colors::kButtonText;
    bool visible = true;
    bool enabled = true;
    bool checked = false;    // menu items
    bool graphical = false;  // buttons that draw their back colour
    bool has_border = false; // picture boxes
    int value = 0;           // CheckBox 0/1, HScrollBar position
    int min = 0;
    int max = 0;
    int picture = 0; // bitmap resource number; 0 = none (200-209 digits, 220-224 lamps, ...)
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    Font font;
    int tab_index = -1; // focus order; -1 = takes no focus

    // The view compares what it shows with the model to redraw only changes.
    friend bool operator==(const Control&, const Control&) = default;
};

// Bitmap resources that are not numbered in the original: the arrows, the
// icon and the decorative photograph.
namespace pictures {
inline constexpr int kNone = 0;
inline constexpr int kDigit0 = 200;
inline constexpr int kLampsDark = 220;
inline constexpr int kLampBeat1 = 221; // 221..224: the lamp of beat 1..4 lit
inline constexpr int kArrowLeft = 300;
inline constexpr int kArrowRight = 301;
inline constexpr int kPhoto = 302;
} // namespace pictures

// The bitmap of one decimal digit on a seven-segment display.
constexpr int digit_picture(int digit) {
    return pictures::kDigit0 + digit % 10;
}

// An interval timer of the window. The host (Qt or the virtual clock) delivers
// ticks; it learns of a (re)start through `starts`, which counts every change
// from disabled to enabled.
struct ModelTimer {
    std::string name;
    int interval_ms = 0;
    bool enabled = false;
    std::uint64_t starts = 0;

    void set_enabled(bool on) {
        if (on && !enabled) {
            ++starts;
        }
        enabled = on;
    }
    void set_interval(int ms) { interval_ms = ms; }
};

// All controls of one window, in creation (stacking) order: later entries lie
// above earlier ones where they overlap.
class ControlModel {
public:
    ControlModel() = default;
    // Every control of the layout table, each exactly once.
    explicit ControlModel(std::vector<Control> controls);

    // nullptr when the index does not fit the control.
    Control* find(ControlId id);
    const Control* find(ControlId id) const;
    Control& at(ControlId id); // the control must exist
    const Control& at(ControlId id) const;

    std::vector<Control>& all() { return controls_; }
    const std::vector<Control>& all() const { return controls_; }

private:
    std::vector<Control> controls_;
    // Slot of a control (its members in a row) -> position in controls_.
    std::vector<std::uint16_t> position_;
};

// The members 0..N-1 of one control array, resolved once so that an operation
// reaches `Picture1(0)` without a search.
template <std::size_t N> class ControlArray {
public:
    ControlArray(ControlModel& model, Ctl c) {
        if (member_count(c) != static_cast<int>(N)) {
            throw std::logic_error("control array of the wrong size");
        }
        for (std::size_t i = 0; i < N; ++i) {
            items_[i] = &model.at(ControlId{c, static_cast<int>(i)});
        }
    }
    Control& operator()(int i) const { return *items_.at(static_cast<std::size_t>(i)); }
    static constexpr int size() { return static_cast<int>(N); }

private:
    std::array<Control*, N> items_{};
};

// A three-digit display, index 0 the units: the number with leading zeros.
inline void show_number(const ControlArray<3>& display, int number) {
    display(0).picture = digit_picture(number % 10);
    display(1).picture = digit_picture(number / 10 % 10);
    display(2).picture = digit_picture(number / 100 % 10);
}

} // namespace varkelon
