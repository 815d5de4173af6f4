#pragma once

#include "app/color.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// Identifies a control or a member of a control array: "Command2", "key(7)".
struct ControlId {
    std::string name;
    int index = -1; // -1: not an array member

    std::string to_string() const;
    // Parses "Name" or "Name(3)"; returns false on malformed text.
    static bool parse(std::string_view text, ControlId& out);
    friend bool operator==(const ControlId&, const ControlId&) = default;
};

// One control with the design properties that the logic reads and writes.
// Geometry is in twips relative to the container's client area.
struct Control {
    ControlId id;
    ControlKind kind = ControlKind::CommandButton;
    std::string container = "Form1"; // "Form1", a frame's name, or a menu title's name

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
    explicit ControlModel(std::vector<Control> controls);

    Control* find(const ControlId& id);
    const Control* find(const ControlId& id) const;
    Control& at(const ControlId& id); // the control must exist
    Control& at(std::string_view name, int index = -1);
    const Control& at(std::string_view name, int index = -1) const;

    std::vector<Control>& all() { return controls_; }
    const std::vector<Control>& all() const { return controls_; }

private:
    std::vector<Control> controls_;
    std::unordered_map<std::string, std::size_t> by_name_;
};

// The members 0..N-1 of one control array, resolved once so that an operation
// reaches `Picture1(0)` without looking a name up.
template <std::size_t N> class ControlArray {
public:
    ControlArray(ControlModel& model, std::string_view name) {
        for (std::size_t i = 0; i < N; ++i) {
            items_[i] = &model.at(name, static_cast<int>(i));
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
