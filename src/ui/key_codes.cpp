#include "ui/key_codes.h"

#include "app/main_window.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace varkelon {

namespace {

// Windows virtual-key codes used below.
enum Vk : int {
    kBack = 8,
    kTab = 9,
    kReturn = 13,
    kShiftVk = 16,
    kControlVk = 17,
    kMenuVk = 18, // Alt
    kPause = 19,
    kCapital = 20,
    kEscape = 27,
    kSpace = 32,
    kPrior = 33,
    kNext = 34,
    kEnd = 35,
    kHome = 36,
    kLeft = 37,
    kUp = 38,
    kRight = 39,
    kDown = 40,
    kSnapshot = 44,
    kInsert = 45,
    kDelete = 46,
    kLWin = 91,
    kRWin = 92,
    kApps = 93,
    kNumpad0 = 96,
    kMultiply = 106,
    kAdd = 107,
    kSubtract = 109,
    kDecimal = 110,
    kDivide = 111,
    kF1 = 112,
    kNumLock = 144,
    kScroll = 145,
    kOem1 = 186,      // ; :
    kOemPlus = 187,   // = +
    kOemComma = 188,  // , <
    kOemMinus = 189,  // - _
    kOemPeriod = 190, // . >
    kOem2 = 191,      // / ?
    kOem3 = 192,      // ` ~
    kOem4 = 219,      // [ {
    kOem5 = 220,      // \ |
    kOem6 = 221,      // ] }
    kOem7 = 222,      // ' "
    kOem102 = 226,    // the extra key left of Z on ISO keyboards
};

constexpr int vk_letter(char c) {
    return c;
}

// Indexed by the Linux evdev code (X11 keycode - 8); 0 = no code.
constexpr std::array<int, 128> make_evdev_table() {
    std::array<int, 128> t{};
    t[1] = kEscape;
    // Digit row: 1 .. 9, 0
    for (int i = 0; i < 9; ++i) {
        t[2 + i] = '1' + i;
    }
    t[11] = '0';
    t[12] = kOemMinus;
    t[13] = kOemPlus;
    t[14] = kBack;
    t[15] = kTab;
    const char top[] = "QWERTYUIOP";
    for (int i = 0; i < 10; ++i) {
        t[16 + i] = vk_letter(top[i]);
    }
    t[26] = kOem4;
    t[27] = kOem6;
    t[28] = kReturn;
    t[29] = kControlVk;
    const char home[] = "ASDFGHJKL";
    for (int i = 0; i < 9; ++i) {
        t[30 + i] = vk_letter(home[i]);
    }
    t[39] = kOem1;
    t[40] = kOem7;
    t[41] = kOem3;
    t[42] = kShiftVk;
    t[43] = kOem5;
    const char bottom[] = "ZXCVBNM";
    for (int i = 0; i < 7; ++i) {
        t[44 + i] = vk_letter(bottom[i]);
    }
    t[51] = kOemComma;
    t[52] = kOemPeriod;
    t[53] = kOem2;
    t[54] = kShiftVk;
    t[55] = kMultiply;
    t[56] = kMenuVk;
    t[57] = kSpace;
    t[58] = kCapital;
    for (int i = 0; i < 10; ++i) {
        t[59 + i] = kF1 + i; // F1 .. F10
    }
    t[69] = kNumLock;
    t[70] = kScroll;
    // Keypad with Num Lock on: 7 8 9 - 4 5 6 + 1 2 3 0 .
    const int keypad[] = {7, 8, 9, -1, 4, 5, 6, -2, 1, 2, 3, 0};
    for (int i = 0; i < 12; ++i) {
        const int k = keypad[i];
        t[71 + i] = k == -1 ? kSubtract : k == -2 ? kAdd : kNumpad0 + k;
    }
    t[83] = kDecimal;
    t[86] = kOem102;
    t[87] = kF1 + 10; // F11
    t[88] = kF1 + 11; // F12
    t[96] = kReturn;  // keypad Enter
    t[97] = kControlVk;
    t[98] = kDivide;
    t[99] = kSnapshot;
    t[100] = kMenuVk; // right Alt (AltGr)
    t[102] = kHome;
    t[103] = kUp;
    t[104] = kPrior;
    t[105] = kLeft;
    t[106] = kRight;
    t[107] = kEnd;
    t[108] = kDown;
    t[109] = kNext;
    t[110] = kInsert;
    t[111] = kDelete;
    t[119] = kPause;
    t[125] = kLWin;
    t[126] = kRWin;
    t[127] = kApps;
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
        return kOem1;
    case '=':
        return kOemPlus;
    case ',':
        return kOemComma;
    case '-':
        return kOemMinus;
    case '.':
        return kOemPeriod;
    case '/':
        return kOem2;
    case '`':
        return kOem3;
    case '[':
        return kOem4;
    case '\\':
        return kOem5;
    case ']':
        return kOem6;
    case '\'':
        return kOem7;
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
            return kNumpad0 + (qt_key - Qt::Key_0);
        }
        switch (qt_key) {
        case Qt::Key_Asterisk:
            return kMultiply;
        case Qt::Key_Plus:
            return kAdd;
        case Qt::Key_Minus:
            return kSubtract;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return kDecimal;
        case Qt::Key_Slash:
            return kDivide;
        default:
            break; // navigation keys of the keypad: as the main keys below
        }
    }
    if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) ||
        (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) {
        return qt_key; // Qt's codes of these keys are their ASCII codes, as are the VKs
    }
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) {
        return kF1 + (qt_key - Qt::Key_F1);
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
        return kOem1;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return kOemPlus;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return kOemComma;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return kOemMinus;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return kOemPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return kOem2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return kOem3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return kOem4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return kOem5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return kOem6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return kOem7;
    case Qt::Key_Space:
        return kSpace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kReturn;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kTab;
    case Qt::Key_Backspace:
        return kBack;
    case Qt::Key_Escape:
        return kEscape;
    case Qt::Key_Shift:
        return kShiftVk;
    case Qt::Key_Control:
        return kControlVk;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return kMenuVk;
    case Qt::Key_Meta:
        return kLWin;
    case Qt::Key_Menu:
        return kApps;
    case Qt::Key_CapsLock:
        return kCapital;
    case Qt::Key_NumLock:
        return kNumLock;
    case Qt::Key_ScrollLock:
        return kScroll;
    case Qt::Key_Pause:
        return kPause;
    case Qt::Key_Print:
        return kSnapshot;
    case Qt::Key_PageUp:
        return kPrior;
    case Qt::Key_PageDown:
        return kNext;
    case Qt::Key_End:
        return kEnd;
    case Qt::Key_Home:
        return kHome;
    case Qt::Key_Left:
        return kLeft;
    case Qt::Key_Up:
        return kUp;
    case Qt::Key_Right:
        return kRight;
    case Qt::Key_Down:
        return kDown;
    case Qt::Key_Insert:
        return kInsert;
    case Qt::Key_Delete:
        return kDelete;
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
