// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/layout.h"

namespace varkelon {

const std::array<const char*, kKeyCount> kKeyCaptions = {
    "Z", "S", "X", "D", "C", "V", "G", "B", "H", "N", "J", "M", "<", "L", ">", ";", "/", "Q", "2",
    "W", "3", "E", "4", "R", "T", "6", "Y", "7", "U", "I", "9", "O", "0", "P", "-", "[", "]"};

const std::array<const char*, kPadCount> kPadCaptions = {"Бочка",        "Переход-1", "Переход-2",
                                                         "Переход-3",    "Рабочий",   "Длинный хет",
                                                         "Короткий хет", "Тарелка"};

namespace {

// Controls placed on the window itself rather than in a frame.
constexpr std::optional<Ctl> kWindow;

constexpr std::string_view kControlNames[] = {
#define VARKELON_CTL_NAME(name, members) #name,
    VARKELON_FORM1_CONTROLS(VARKELON_CTL_NAME)
#undef VARKELON_CTL_NAME
};

struct Geometry {
    int left, top, width, height;
};

class Builder {
public:
    Control& add(ControlKind kind, Ctl name, int index, std::optional<Ctl> container, Geometry g) {
        Control c;
        c.id = ControlId{name, index};
        c.kind = kind;
        c.container = container;
        c.left = g.left;
        c.top = g.top;
        c.width = g.width;
        c.height = g.height;
        switch (kind) {
        case ControlKind::Label:
        case ControlKind::Frame:
            c.fore_color = colors::kButtonText;
            break;
        case ControlKind::PictureBox:
            c.back_color = colors::kWindowBackground;
            c.fore_color = colors::kWindowText;
            c.has_border = true;
            break;
        case ControlKind::TextBox:
            c.back_color = colors::kWindowBackground;
            c.fore_color = colors::kWindowText;
            break;
        default:
            break;
        }
        controls_.push_back(std::move(c));
        return controls_.back();
    }

    Control& button(Ctl name, int index, std::optional<Ctl> container, Geometry g,
                    std::string caption, std::string tooltip, bool graphical) {
        Control& c = add(ControlKind::CommandButton, name, index, container, g);
        c.caption = std::move(caption);
        c.tooltip = std::move(tooltip);
        c.graphical = graphical;
        c.tab_index = next_tab_++;
        return c;
    }

    Control& arrow(Ctl name, int index, Ctl container, Geometry g, std::string tooltip) {
        Control& c = button(name, index, container, g, "", std::move(tooltip), true);
        c.picture = index == 0 ? pictures::kArrowLeft : pictures::kArrowRight;
        return c;
    }

    Control& frame(Ctl name, Geometry g, std::string caption, Color caption_color) {
        Control& c = add(ControlKind::Frame, name, -1, kWindow, g);
        c.caption = std::move(caption);
        c.fore_color = caption_color;
        return c;
    }

    Control& label(Ctl name, Ctl container, Geometry g, std::string caption) {
        Control& c = add(ControlKind::Label, name, -1, container, g);
        c.caption = std::move(caption);
        return c;
    }

    void digits(Ctl name, Ctl container, int top, const std::string& tooltip) {
        // Left to right: hundreds (2), tens (1), units (0).
        const int lefts[3] = {1200, 960, 720};
        for (int i = 2; i >= 0; --i) {
            Control& c =
                add(ControlKind::PictureBox, name, i, container, {lefts[i], top, 255, 255});
            c.tooltip = tooltip;
        }
    }

    Control& slider(Ctl name, std::optional<Ctl> container, Geometry g, int max, int value) {
        Control& c = add(ControlKind::HScrollBar, name, -1, container, g);
        c.max = max;
        c.value = value;
        c.tab_index = next_tab_++;
        return c;
    }

    Control& menu(ControlKind kind, Ctl name, int index, std::optional<Ctl> container,
                  std::string caption) {
        Control& c = add(kind, name, index, container, {0, 0, 0, 0});
        c.caption = std::move(caption);
        return c;
    }

    void set_next_tab(int t) { next_tab_ = t; }
    std::vector<Control> take() { return std::move(controls_); }

private:
    std::vector<Control> controls_;
    int next_tab_ = 0;
};

void add_keys(Builder& b, bool black) {
    int whites_left = 0;
    for (int k = 0; k < kKeyCount; ++k) {
        const bool is_black = is_black_key(k);
        if (!is_black) {
            ++whites_left;
        }
        if (is_black != black) {
            continue;
        }
        // White keys step by 360 twips and overlap their right neighbour by 15;
        // a black key stands 120 twips left of the white key to its right.
        const int white_left = 480 + 360 * (whites_left - (is_black ? 0 : 1));
        Geometry g = is_black ? Geometry{white_left - 120, 2520, 255, 1095}
                              : Geometry{white_left, 2520, 375, 1815};
        Control& c = b.add(ControlKind::CheckBox, Ctl::key, k, kWindow, g);
        c.caption = kKeyCaptions[k];
        c.graphical = true;
        c.tab_index = k; // key(0) comes first in the tab order: it has the focus at start
        c.back_color = is_black ? colors::kMenuText : colors::kButtonHighlight;
        c.fore_color = is_black ? colors::kButtonHighlight : colors::kButtonText;
    }
}

std::string function_key_legend() {
    const int gaps[7] = {15, 20, 20, 19, 21, 26, 21};
    std::string s = "F1";
    for (int i = 0; i < 7; ++i) {
        s += std::string(gaps[i], ' ') + "F" + std::to_string(i + 2);
    }
    return s;
}

} // namespace

std::string_view control_name(Ctl c) {
    const auto i = static_cast<std::size_t>(c);
    return i < std::size(kControlNames) ? kControlNames[i] : std::string_view("?");
}

std::optional<Ctl> control_named(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kControlNames); ++i) {
        if (kControlNames[i] == name) {
            return static_cast<Ctl>(i);
        }
    }
    return std::nullopt;
}

std::vector<Control> make_form1_controls() {
    Builder b;
    b.set_next_tab(kKeyCount);

    // Style
    b.frame(Ctl::Frame2, {240, 0, 2175, 975}, "Стиль", Color::rgb(192, 64, 0));
    Control& style_name = b.label(Ctl::Label1, Ctl::Frame2, {120, 240, 1935, 255},
                                  std::string(control_name(Ctl::Label1)));
    style_name.back_color = colors::kWindowBackground;
    style_name.fore_color = colors::kNameBlue;
    b.arrow(Ctl::Command1, 0, Ctl::Frame2, {120, 600, 495, 300}, "Предыдущий стиль");
    b.digits(Ctl::Picture1, Ctl::Frame2, 600, "Номер стиля");
    b.arrow(Ctl::Command1, 1, Ctl::Frame2, {1560, 600, 495, 300}, "Следующий стиль");

    // Instrument
    b.frame(Ctl::Frame1, {2520, 0, 3135, 1095}, "Инструмент", Color::rgb(192, 0, 192));
    Control& instrument_name = b.label(Ctl::Label4, Ctl::Frame1, {120, 240, 2895, 255},
                                       std::string(control_name(Ctl::Label4)));
    instrument_name.back_color = colors::kWindowBackground;
    instrument_name.fore_color = colors::kNameBlue;
    b.arrow(Ctl::Command4, 0, Ctl::Frame1, {120, 600, 495, 375}, "Предыдущий инструмент");
    b.digits(Ctl::Picture3, Ctl::Frame1, 600, "Номер инструмента");
    Control& entry = b.add(ControlKind::TextBox, Ctl::Text1, -1, Ctl::Frame1, {720, 600, 735, 330});
    entry.visible = false;
    entry.font = Font{12.0, true};
    entry.tab_index = 100;
    b.arrow(Ctl::Command4, 1, Ctl::Frame1, {1560, 600, 495, 375}, "Следующий инструмент");
    b.button(Ctl::Command9, -1, Ctl::Frame1, {1560, 600, 495, 255}, "ОК", "", false).visible =
        false;
    b.button(Ctl::Command10, -1, Ctl::Frame1, {2160, 600, 855, 255}, "В начало",
             "Самый первый инструмент ", false);

    // Tempo
    b.frame(Ctl::Frame3, {5760, 0, 2175, 735}, "Темп", Color::rgb(128, 64, 64));
    b.arrow(Ctl::Command5, 0, Ctl::Frame3, {120, 240, 495, 375}, "Уменьшить темп");
    b.digits(Ctl::Picture2, Ctl::Frame3, 240, "Ударов в минуту");
    b.arrow(Ctl::Command5, 1, Ctl::Frame3, {1560, 240, 495, 375}, "Увеличить темп");

    // Octave: the slider belongs to the window but lies inside the frame, above it.
    b.frame(Ctl::Frame4, {5760, 720, 2175, 615}, "Октава", Color::rgb(192, 0, 0));
    b.slider(Ctl::HScroll1, kWindow, {5880, 960, 1935, 255}, 7, 0);

    // Volume
    b.frame(Ctl::Frame7, {240, 960, 2175, 1455}, "Громкость", Color::rgb(0, 128, 0));
    b.label(Ctl::Label3, Ctl::Frame7, {720, 240, 975, 255}, "соло");
    b.slider(Ctl::HScroll2, Ctl::Frame7, {120, 480, 1935, 135}, 127, 100);
    b.label(Ctl::Label5, Ctl::Frame7, {240, 600, 1695, 255}, "аккомпанемент");
    b.slider(Ctl::HScroll3, Ctl::Frame7, {120, 840, 1935, 135}, 127, 100);
    b.label(Ctl::Label9, Ctl::Frame7, {480, 960, 1095, 255}, "общая");
    b.slider(Ctl::HScroll4, Ctl::Frame7, {120, 1200, 1935, 135}, 127, 100);

    Control& photo =
        b.add(ControlKind::PictureBox, Ctl::Picture7, -1, kWindow, {2520, 1200, 3150, 1170});
    photo.picture = pictures::kPhoto;
    photo.has_border = false;

    // Mode buttons
    b.button(Ctl::Command15, -1, kWindow, {6000, 1560, 855, 375}, "Демо", "Показательная мелодия",
             true)
        .font = Font{9.75, true};
    b.button(Ctl::Command7, -1, kWindow, {6960, 1560, 1455, 375}, "Аккомпанемент",
             "Режим \"Аккомпанемент\"", true);
    b.button(Ctl::Command3, -1, kWindow, {6000, 2040, 1215, 375}, "Синхростарт",
             "Запускает ритм первым нажатием на клавищу", true)
        .back_color = colors::kSyncDesign;
    b.button(Ctl::Command2, -1, kWindow, {7320, 2040, 1095, 375}, "Старт",
             "Запускает и останавливает ритм", true);

    // Bar indicators
    b.add(ControlKind::PictureBox, Ctl::Picture4, -1, kWindow, {120, 2880, 255, 1215}).tooltip =
        "Индикатор тактов";
    b.add(ControlKind::PictureBox, Ctl::Picture5, -1, kWindow, {8520, 2880, 255, 1215}).tooltip =
        "Индикатор тактов";

    // Keyboard: black keys lie above the white keys.
    add_keys(b, false);
    add_keys(b, true);

    // Drum pads
    b.frame(Ctl::Frame5, {120, 4440, 8655, 975}, " Ударные инструменты ", Color::rgb(0, 0, 128));
    b.label(Ctl::Label2, Ctl::Frame5, {240, 240, 8055, 255}, function_key_legend()).fore_color =
        Color::rgb(0, 128, 128);
    const Geometry pads[kPadCount] = {{120, 480, 615, 300},   {840, 480, 975, 300},
                                      {1920, 480, 975, 300},  {3000, 480, 975, 300},
                                      {4080, 480, 855, 300},  {5040, 480, 1215, 300},
                                      {6360, 480, 1215, 300}, {7680, 480, 855, 300}};
    for (int i = 0; i < kPadCount; ++i) {
        b.button(Ctl::Command17, i, Ctl::Frame5, pads[i], kPadCaptions[i], "", true);
    }

    // "Назад" lies on the window above the instrument frame.
    b.button(Ctl::Command27, -1, kWindow, {4680, 600, 735, 255}, "Назад", "", false).visible =
        false;

    // Menu bar
    b.menu(ControlKind::MenuTitle, Ctl::midi_devices, -1, kWindow, "Выбор звукового устройства");
    for (int i = 0; i < kDeviceItems; ++i) {
        Control& d = b.menu(ControlKind::MenuItem, Ctl::device, i, Ctl::midi_devices, "");
        d.visible = i == 0;
        d.enabled = i == 0;
    }
    b.menu(ControlKind::MenuTitle, Ctl::ChannelOption, -1, kWindow, "Настройки");
    b.menu(ControlKind::MenuItem, Ctl::chan, 0, Ctl::ChannelOption,
           "Прослушивать инструмент во время изменения инструмента или октавы");
    b.menu(ControlKind::MenuItem, Ctl::chan, 1, Ctl::ChannelOption,
           "Использовать инструмент, прикреплённый к стилю по умолчанию");
    // A caption of "-" is a separator line.
    b.menu(ControlKind::MenuItem, Ctl::touch_line, -1, Ctl::ChannelOption, "-");
    b.menu(ControlKind::MenuItem, Ctl::touch, -1, Ctl::ChannelOption,
           "Учитывать силу нажатия MIDI-клавиатуры");
    b.menu(ControlKind::MenuTitle, Ctl::base, -1, kWindow, "Помощь");
    b.menu(ControlKind::MenuTitle, Ctl::oprog, -1, kWindow, "О программе");
    b.menu(ControlKind::MenuTitle, Ctl::vyhod, -1, kWindow, "Выход");
    return b.take();
}

ModelTimer make_timer1() {
    ModelTimer t{"Timer1", 150, false, 0};
    t.set_enabled(true);
    return t;
}

ModelTimer make_timer2() {
    return ModelTimer{"Timer2", 500, false, 0};
}

} // namespace varkelon
