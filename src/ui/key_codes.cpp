// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/key_codes.h"

#include "app/main_window.h"
#include "keyboard/virtual_keys.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace varkelon {

namespace {

constexpr int vk_letter(char c) {
    return c;
}

// Indexed by the Linux evdev code (X11 keycode - 8); 0 = no code.
constexpr std::array<int, 128> make_evdev_table() {
    std::array<int, 128> t{};
    t[1] = vk::kEscape;
    // Digit row: 1 .. 9, 0
    for (int i = 0; i < 9; ++i) {
        t[2 + i] = '1' + i;
    }
    t[11] = '0';
    t[12] = vk::kOemMinus;
    t[13] = vk::kOemPlus;
    t[14] = vk::kBack;
    t[15] = vk::kTab;
    const char top[] = "QWERTYUIOP";
    for (int i = 0; i < 10; ++i) {
        t[16 + i] = vk_letter(top[i]);
    }
    t[26] = vk::kOem4;
    t[27] = vk::kOem6;
    t[28] = vk::kReturn;
    t[29] = vk::kControl;
    const char home[] = "ASDFGHJKL";
    for (int i = 0; i < 9; ++i) {
        t[30 + i] = vk_letter(home[i]);
    }
    t[39] = vk::kOem1;
    t[40] = vk::kOem7;
    t[41] = vk::kOem3;
    t[42] = vk::kShift;
    t[43] = vk::kOem5;
    const char bottom[] = "ZXCVBNM";
    for (int i = 0; i < 7; ++i) {
        t[44 + i] = vk_letter(bottom[i]);
    }
    t[51] = vk::kOemComma;
    t[52] = vk::kOemPeriod;
    t[53] = vk::kOem2;
    t[54] = vk::kShift;
    t[55] = vk::kMultiply;
    t[56] = vk::kMenu;
    t[57] = vk::kSpace;
    t[58] = vk::kCapital;
    for (int i = 0; i < 10; ++i) {
        t[59 + i] = vk::kF1 + i; // F1 .. F10
    }
    t[69] = vk::kNumLock;
    t[70] = vk::kScroll;
    // Keypad with Num Lock on: 7 8 9 - 4 5 6 + 1 2 3 0 .
    const int keypad[] = {7, 8, 9, -1, 4, 5, 6, -2, 1, 2, 3, 0};
    for (int i = 0; i < 12; ++i) {
        const int k = keypad[i];
        t[71 + i] = k == -1 ? vk::kSubtract : k == -2 ? vk::kAdd : vk::kNumpad0 + k;
    }
    t[83] = vk::kDecimal;
    t[86] = vk::kOem102;
    t[87] = vk::kF1 + 10; // F11
    t[88] = vk::kF1 + 11; // F12
    t[96] = vk::kReturn;  // keypad Enter
    t[97] = vk::kControl;
    t[98] = vk::kDivide;
    t[99] = vk::kSnapshot;
    t[100] = vk::kMenu; // right Alt (AltGr)
    t[102] = vk::kHome;
    t[103] = vk::kUp;
    t[104] = vk::kPrior;
    t[105] = vk::kLeft;
    t[106] = vk::kRight;
    t[107] = vk::kEnd;
    t[108] = vk::kDown;
    t[109] = vk::kNext;
    t[110] = vk::kInsert;
    t[111] = vk::kDelete;
    t[119] = vk::kPause;
    t[125] = vk::kLWin;
    t[126] = vk::kRWin;
    t[127] = vk::kApps;
    return t;
}

constexpr std::array<int, 128> kEvdevToVk = make_evdev_table();
constexpr quint32 kX11KeycodeOffset = 8;

// The standard Russian layout: each Cyrillic letter and the key it sits on.
constexpr std::pair<char16_t, char> kRussianLetters[] = {
    {u'Й', 'Q'}, {u'Ц', 'W'},  {u'У', 'E'}, {u'К', 'R'}, {u'Е', 'T'}, {u'Н', 'Y'}, {u'Г', 'U'},
    {u'Ш', 'I'}, {u'Щ', 'O'},  {u'З', 'P'}, {u'Х', '['}, {u'Ъ', ']'}, {u'Ф', 'A'}, {u'Ы', 'S'},
    {u'В', 'D'}, {u'А', 'F'},  {u'П', 'G'}, {u'Р', 'H'}, {u'О', 'J'}, {u'Л', 'K'}, {u'Д', 'L'},
    {u'Ж', ';'}, {u'Э', '\''}, {u'Я', 'Z'}, {u'Ч', 'X'}, {u'С', 'C'}, {u'М', 'V'}, {u'И', 'B'},
    {u'Т', 'N'}, {u'Ь', 'M'},  {u'Б', ','}, {u'Ю', '.'}, {u'Ё', '`'},
};

int vk_of_us_character(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return c;
    }
    switch (c) {
    case ';':
        return vk::kOem1;
    case '=':
        return vk::kOemPlus;
    case ',':
        return vk::kOemComma;
    case '-':
        return vk::kOemMinus;
    case '.':
        return vk::kOemPeriod;
    case '/':
        return vk::kOem2;
    case '`':
        return vk::kOem3;
    case '[':
        return vk::kOem4;
    case '\\':
        return vk::kOem5;
    case ']':
        return vk::kOem6;
    case '\'':
        return vk::kOem7;
    default:
        return 0;
    }
}

} // namespace

int vk_from_x11_keycode(quint32 keycode) {
    if (keycode < kX11KeycodeOffset || keycode - kX11KeycodeOffset >= kEvdevToVk.size()) {
        return 0;
    }
    return kEvdevToVk[keycode - kX11KeycodeOffset];
}

int vk_from_qt_key(int qt_key, bool keypad) {
    if (keypad) {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) {
            return vk::kNumpad0 + (qt_key - Qt::Key_0);
        }
        switch (qt_key) {
        case Qt::Key_Asterisk:
            return vk::kMultiply;
        case Qt::Key_Plus:
            return vk::kAdd;
        case Qt::Key_Minus:
            return vk::kSubtract;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return vk::kDecimal;
        case Qt::Key_Slash:
            return vk::kDivide;
        default:
            break; // navigation keys of the keypad: as the main keys below
        }
    }
    if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) ||
        (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) {
        return qt_key; // Qt's codes of these keys are their ASCII codes, as are the VKs
    }
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) {
        return vk::kF1 + (qt_key - Qt::Key_F1);
    }
    for (const auto& [letter, key] : kRussianLetters) {
        if (qt_key == letter) {
            return vk_of_us_character(key);
        }
    }
    switch (qt_key) {
    // The shifted digits of a US keyboard.
    case Qt::Key_Exclam:
        return '1';
    case Qt::Key_At:
        return '2';
    case Qt::Key_NumberSign:
        return '3';
    case Qt::Key_Dollar:
        return '4';
    case Qt::Key_Percent:
        return '5';
    case Qt::Key_AsciiCircum:
        return '6';
    case Qt::Key_Ampersand:
        return '7';
    case Qt::Key_Asterisk:
        return '8';
    case Qt::Key_ParenLeft:
        return '9';
    case Qt::Key_ParenRight:
        return '0';
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return vk::kOem1;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return vk::kOemPlus;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return vk::kOemComma;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return vk::kOemMinus;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return vk::kOemPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return vk::kOem2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return vk::kOem3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return vk::kOem4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return vk::kOem5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return vk::kOem6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return vk::kOem7;
    case Qt::Key_Space:
        return vk::kSpace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::kReturn;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return vk::kTab;
    case Qt::Key_Backspace:
        return vk::kBack;
    case Qt::Key_Escape:
        return vk::kEscape;
    case Qt::Key_Shift:
        return vk::kShift;
    case Qt::Key_Control:
        return vk::kControl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return vk::kMenu;
    case Qt::Key_Meta:
        return vk::kLWin;
    case Qt::Key_Menu:
        return vk::kApps;
    case Qt::Key_CapsLock:
        return vk::kCapital;
    case Qt::Key_NumLock:
        return vk::kNumLock;
    case Qt::Key_ScrollLock:
        return vk::kScroll;
    case Qt::Key_Pause:
        return vk::kPause;
    case Qt::Key_Print:
        return vk::kSnapshot;
    case Qt::Key_PageUp:
        return vk::kPrior;
    case Qt::Key_PageDown:
        return vk::kNext;
    case Qt::Key_End:
        return vk::kEnd;
    case Qt::Key_Home:
        return vk::kHome;
    case Qt::Key_Left:
        return vk::kLeft;
    case Qt::Key_Up:
        return vk::kUp;
    case Qt::Key_Right:
        return vk::kRight;
    case Qt::Key_Down:
        return vk::kDown;
    case Qt::Key_Insert:
        return vk::kInsert;
    case Qt::Key_Delete:
        return vk::kDelete;
    default:
        return 0;
    }
}

int vk_of(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) {
        if (const int vk = vk_from_x11_keycode(event.nativeScanCode()); vk != 0) {
            return vk;
        }
    }
    return vk_from_qt_key(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

int modifier_mask(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        mask |= kShift;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        mask |= kCtrl;
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        mask |= kAlt;
    }
    return mask;
}

} // namespace varkelon
