// SPDX-License-Identifier: GPL-3.0-or-later
// Keys and mouse reach the core as the platform delivers them: by physical
// key on any layout, with key preview, auto-repeat and focus loss handled.

#include "gui_fixture.h"
#include "ui/input_router.h"
#include "ui/key_codes.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

namespace varkelon::testing {
namespace {

// Key 0 at octave 4 with the default levels: note 48, velocity 100 * 100 / 127.
constexpr std::uint32_t kKey0On = note_on(48, 78);
constexpr std::uint32_t kKey0Off = note_off(48);

using InputTest = GuiTest;

// What the application hears when another program takes the keyboard.
void set_application_state(Qt::ApplicationState state) {
    QApplicationStateChangeEvent ev(state);
    QCoreApplication::sendEvent(qApp, &ev);
}

TEST_F(InputTest, RightButtonOnAKeyPlaysItAndItsReleaseReleasesIt) {
    QWidget* key7 = widget(Ctl::key, 7);
    const QPoint at = key7->mapTo(key7->window(), QPoint(key7->width() / 2, key7->height() - 10));
    QTest::mousePress(main_window().windowHandle(), Qt::RightButton, {}, at);
    EXPECT_EQ(sent(), (std::vector<std::uint32_t>{0x004E379F}));
    EXPECT_EQ(program().form1().key(7).value, 1);
    EXPECT_TRUE(static_cast<ButtonWidget*>(key7)->pressed_in()) << "the key is drawn pressed in";

    QTest::mouseRelease(main_window().windowHandle(), Qt::RightButton, {}, at);
    EXPECT_EQ(count_sent(note_off(55)), 1);
    EXPECT_FALSE(static_cast<ButtonWidget*>(key7)->pressed_in());
}

TEST_F(InputTest, MouseReleaseGoesToTheKeyWhereThePressBegan) {
    QWidget* key7 = widget(Ctl::key, 7);
    QWidget* key11 = widget(Ctl::key, 11);
    QWindow* window = main_window().windowHandle();
    QTest::mousePress(window, Qt::LeftButton, Qt::ShiftModifier,
                      key7->mapTo(key7->window(), QPoint(5, key7->height() - 5)));
    EXPECT_EQ(program().form1().r.shift_state, kShift);
    QTest::mouseRelease(window, Qt::LeftButton, {},
                        key11->mapTo(key11->window(), QPoint(5, key11->height() - 5)));
    EXPECT_EQ(count_sent(note_off(55)), 1);
    EXPECT_EQ(count_sent(note_off(59)), 0);
}

TEST_F(InputTest, ABlackKeyOverlappingWhiteKeysTakesThePress) {
    // Key 8 (G#) straddles keys 7 and 9 in its upper part.
    QWidget* key8 = widget(Ctl::key, 8);
    QWindow* window = main_window().windowHandle();
    const QPoint at = key8->mapTo(key8->window(), QPoint(2, 10));
    QTest::mousePress(window, Qt::MiddleButton, {}, at);
    QTest::mouseRelease(window, Qt::MiddleButton, {}, at);
    EXPECT_EQ(count_sent(note_on(56, 78)), 1);
    EXPECT_EQ(count_sent(note_off(56)), 1);
}

TEST_F(InputTest, AQuickSecondClickPlaysAgain) {
    // The second press of a double click comes with a double-click event.
    QWidget* key0 = widget(Ctl::key, 0);
    const QPoint at = key0->mapTo(key0->window(), QPoint(5, key0->height() - 5));
    for (int i = 0; i < 2; ++i) {
        QTest::mousePress(main_window().windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(main_window().windowHandle(), Qt::LeftButton, {}, at);
    }
    EXPECT_EQ(count_sent(kKey0On), 2);
    EXPECT_EQ(count_sent(kKey0Off), 2);
}

// The physical Z key plays key 0 whatever character the layout gives it.
struct LayoutCase {
    const char* layout;
    int qt_key;
    const char16_t* text;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.layout << " layout";
}

class PhysicalKeyTest : public GuiTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(PhysicalKeyTest, TheZKeyPlaysKey0) {
    const LayoutCase& c = GetParam();
    const QString text = QString::fromUtf16(c.text);
    send_key(QEvent::KeyPress, kX11Z, c.qt_key, text);
    send_key(QEvent::KeyRelease, kX11Z, c.qt_key, text);
    EXPECT_EQ(count_sent(kKey0On), 1) << c.layout;
    EXPECT_EQ(count_sent(kKey0Off), 1) << c.layout;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PhysicalKeyTest,
                         ::testing::Values(LayoutCase{"us", Qt::Key_Z, u"z"},
                                           LayoutCase{"ru", 0x042F, u"я"},
                                           LayoutCase{"de", Qt::Key_Y, u"y"}),
                         [](const auto& param_info) {
                             return std::string(param_info.param.layout);
                         });

TEST_F(InputTest, WithoutANativeKeycodeTheQtKeyDecides) {
    send_key(QEvent::KeyPress, 0, Qt::Key_Z, QStringLiteral("z"));
    send_key(QEvent::KeyRelease, 0, Qt::Key_Z, QStringLiteral("z"));
    send_key(QEvent::KeyPress, 0, 0x042F, QStringLiteral("я")); // the same key on a Russian layout
    EXPECT_EQ(count_sent(kKey0On), 2);
}

// A held key sustains: neither kind of repeat the X server makes (presses
// alone with detectable auto-repeat, which Qt does not mark, or marked
// release + press pairs) reaches the core; the real release does, once.
TEST_F(InputTest, AHeldKeySendsItsFirstPressAndItsRealReleaseOnly) {
    send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("z"));
    for (int i = 0; i < 3; ++i) {
        send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("z"));
    }
    for (int i = 0; i < 2; ++i) {
        send_key(QEvent::KeyRelease, kX11Z, Qt::Key_Z, QStringLiteral("z"), true);
        send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("z"), true);
    }
    EXPECT_EQ(count_sent(kKey0On), 1);
    EXPECT_EQ(count_sent(kKey0Off), 0) << "an auto-repeat release is dropped";
    send_key(QEvent::KeyRelease, kX11Z, Qt::Key_Z, QStringLiteral("z"));
    EXPECT_EQ(count_sent(kKey0Off), 1);

    // Pressed again after its release, it plays again.
    send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("z"));
    EXPECT_EQ(count_sent(kKey0On), 2);
}

// "Назад" hides itself when pressed; the window then has no widget for the
// release, which must still reach the button and end the preview note.
TEST_F(InputTest, APressThatHidesItsButtonStillGetsItsRelease) {
    QWindow* window = main_window().windowHandle();
    QWidget* digit = widget(Ctl::Picture3, 1);
    QWidget* back = widget(Ctl::Command27);
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseDClick(window, Qt::LeftButton, {},
                           digit->mapTo(digit->window(), digit->rect().center()));
        ASSERT_TRUE(back->isVisible()) << "manual entry shows \"Назад\"";
        const QPoint at = back->mapTo(back->window(), back->rect().center());
        midi.clear();
        QTest::mousePress(window, button, {}, at);
        EXPECT_FALSE(back->isVisible());
        QTest::mouseRelease(window, button, {}, at);
        ASSERT_FALSE(sent().empty());
        EXPECT_EQ(sent().back(), 0x00003C8FU) << "button " << button;
    }
}

TEST_F(InputTest, LosingTheKeyboardReleasesHeldKeysAndMouseButtons) {
    send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("z"));
    QWidget* key7 = widget(Ctl::key, 7);
    QTest::mousePress(main_window().windowHandle(), Qt::LeftButton, {},
                      key7->mapTo(key7->window(), QPoint(5, key7->height() - 5)));
    set_application_state(Qt::ApplicationInactive);
    EXPECT_EQ(count_sent(kKey0Off), 1);
    EXPECT_EQ(count_sent(note_off(55)), 1);

    // Back in the application, nothing is held any more.
    set_application_state(Qt::ApplicationActive);
    midi.clear();
    view().input_router().release_held();
    EXPECT_TRUE(sent().empty());
}

TEST_F(InputTest, KeyPreviewPlaysAndTheFocusedWidgetStillGetsTheKey) {
    // A key on a focused button strikes a pad, and the button still gets it.
    widget(Ctl::Command17, 0)->setFocus();
    send_key(QEvent::KeyPress, kX11F3, Qt::Key_F3, QString());
    EXPECT_EQ(program().form1().r.pad_index, 2) << "F3 struck pad 2";
    // End on a focused slider: the core sees it first, then the slider moves.
    auto* solo = static_cast<QScrollBar*>(widget(Ctl::HScroll2));
    solo->setFocus();
    send_key(QEvent::KeyPress, kX11End, Qt::Key_End, QString());
    EXPECT_EQ(program().form1().controls.at(Ctl::HScroll2).value, 127);
    EXPECT_EQ(program().form1().r.solo_volume, 127);

    // Typing into the text box plays the digit's key and types the digit.
    Control& entry = program().form1().controls.at(Ctl::Text1);
    entry.visible = true;
    main_window().sync();
    auto* edit = static_cast<QLineEdit*>(widget(Ctl::Text1));
    edit->setFocus();
    midi.clear();
    send_key(QEvent::KeyPress, kX11Digit2, Qt::Key_2, QStringLiteral("2"));
    send_key(QEvent::KeyRelease, kX11Digit2, Qt::Key_2, QStringLiteral("2"));
    EXPECT_EQ(count_sent(note_on(48 + 18, program().form1().solo_velocity())), 1) << "key 18 plays";
    EXPECT_EQ(edit->text(), QStringLiteral("2"));
    EXPECT_EQ(entry.text, "2");
}

TEST_F(InputTest, ModifiersMakeTheMask) {
    send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("Z"), false,
             Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(program().form1().r.shift_state, kShift | kCtrl);
}

// The main block of a keyboard: X11 keycode -> Windows key code.
TEST(KeyCodes, PhysicalKeysOfTheMainBlock) {
    const std::pair<quint32, int> table[] = {
        {52, 90},  {53, 88},  {38, 65},  {24, 81},  {33, 80},  {10, 49},  {19, 48},
        {59, 188}, {60, 190}, {61, 191}, {47, 186}, {48, 222}, {20, 189}, {21, 187},
        {34, 219}, {35, 221}, {51, 220}, {49, 192}, {94, 226}, {65, 32},  {36, 13},
        {23, 9},   {22, 8},   {9, 27},   {67, 112}, {74, 119}, {76, 121}, {95, 122},
        {96, 123}, {50, 16},  {62, 16},  {37, 17},  {105, 17}, {64, 18},  {108, 18},
        {113, 37}, {111, 38}, {114, 39}, {116, 40}, {110, 36}, {115, 35}, {112, 33},
        {117, 34}, {118, 45}, {119, 46}, {66, 20},  {104, 13}, {87, 97},  {90, 96},
    };
    for (const auto& [keycode, vk] : table) {
        EXPECT_EQ(vk_from_x11_keycode(keycode), vk) << "X11 keycode " << keycode;
    }
    EXPECT_EQ(vk_from_x11_keycode(0), 0);
    EXPECT_EQ(vk_from_x11_keycode(7), 0);
    EXPECT_EQ(vk_from_x11_keycode(100000), 0);
}

TEST(KeyCodes, QtKeysWhenThereIsNoNativeCode) {
    const std::pair<int, int> table[] = {
        {Qt::Key_Z, 90},           {Qt::Key_0, 48},       {Qt::Key_Comma, 188},
        {Qt::Key_Less, 188},       {Qt::Key_Period, 190}, {Qt::Key_Semicolon, 186},
        {Qt::Key_Slash, 191},      {Qt::Key_Minus, 189},  {Qt::Key_BracketLeft, 219},
        {Qt::Key_BraceRight, 221}, {Qt::Key_At, 50},      {Qt::Key_F1, 112},
        {Qt::Key_F8, 119},         {Qt::Key_Shift, 16},   {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},         {Qt::Key_Space, 32},   {Qt::Key_Return, 13},
        {0x0419, 81} /* Й */,      {0x0411, 188} /* Б */, {0x042E, 190} /* Ю */,
        {0x0416, 186} /* Ж */,     {0x0425, 219} /* Х */, {0x042A, 221} /* Ъ */,
    };
    for (const auto& [key, vk] : table) {
        EXPECT_EQ(vk_from_qt_key(key, false), vk) << "Qt key " << key;
    }
    EXPECT_EQ(vk_from_qt_key(Qt::Key_5, true), 101) << "keypad digits are the keypad's";
    EXPECT_EQ(vk_from_qt_key(Qt::Key_unknown, false), 0);
}

} // namespace
} // namespace varkelon::testing

namespace varkelon::testing {
namespace {

using ArrangerTest = GuiTest;

// Clicks the middle of a control's widget with `button`.
void click_widget(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint at = w->mapTo(w->window(), w->rect().center());
    QTest::mousePress(w->window()->windowHandle(), button, {}, at);
    QTest::mouseRelease(w->window()->windowHandle(), button, {}, at);
}

long drum_hits(const std::vector<std::uint32_t>& sent) {
    return std::count_if(sent.begin(), sent.end(),
                         [](std::uint32_t m) { return (m & 0xFF) == 0x99; });
}

TEST_F(ArrangerTest, TheMouseStartsTheRhythmAndQtTimersPlayItUntilStop) {
    Form1& form = program().form1();
    // Start-up's silence timer has had its say, so what follows is the rhythm's.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.timer2.enabled; }, 5000));
    click_widget(widget(Ctl::Command1, 1), Qt::RightButton); // any button steps the style
    EXPECT_EQ(form.r.sttil, 2);
    click_widget(widget(Ctl::Command5, 1));
    click_widget(widget(Ctl::Command5, 1));
    click_widget(widget(Ctl::Command5, 1)); // a quicker tick keeps the test short

    click_widget(widget(Ctl::Command2));
    ASSERT_EQ(form.r.rhythm_running, kTrue);
    EXPECT_EQ(form.Command2.caption, "Стоп");
    // The event loop delivers the ticks: the bar moves on and drums sound.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.r.tick_in_bar >= 5; }, 5000));
    EXPECT_GE(drum_hits(sent()), 3);
    EXPECT_NE(form.Picture4.picture, pictures::kLampsDark) << "the lamps count the beats";

    click_widget(widget(Ctl::Command2));
    EXPECT_EQ(form.r.rhythm_running, kFalse);
    const auto after_stop = sent().size();
    QTest::qWait(3 * form.timer1.interval_ms);
    EXPECT_EQ(sent().size(), after_stop) << "no tick after the stop";
    EXPECT_EQ(form.Picture4.picture, pictures::kLampsDark);
}

} // namespace
} // namespace varkelon::testing

namespace varkelon::testing {
namespace {

using InstrumentEntryTest = GuiTest;

TEST_F(InstrumentEntryTest, DoubleClickTypeAndOkChooseTheInstrument) {
    Form1& form = program().form1();
    QWidget* digits = widget(Ctl::Picture3, 1);
    QTest::mouseDClick(digits, Qt::LeftButton);
    auto* box = static_cast<QLineEdit*>(widget(Ctl::Text1));
    ASSERT_TRUE(box->isVisible());
    EXPECT_FALSE(digits->isVisible());
    EXPECT_FALSE(widget(Ctl::Command4, 0)->isVisible());

    // A rejected entry empties the box the user sees.
    QTest::keyClicks(box, "abc");
    EXPECT_EQ(form.Text1.text, "abc");
    click_widget(widget(Ctl::Command9));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Неправильный ввод. Попробуйте ещё раз.");
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_TRUE(widget(Ctl::Command9)->isVisible());

    QTest::keyClicks(box, "42");
    click_widget(widget(Ctl::Command9));
    EXPECT_EQ(form.r.solo_program, 42);
    EXPECT_FALSE(box->isVisible());
    EXPECT_FALSE(widget(Ctl::Command9)->isVisible());
    EXPECT_TRUE(digits->isVisible());
    EXPECT_EQ(static_cast<LabelWidget*>(widget(Ctl::Label4))->text(), " Виолончель");
    EXPECT_EQ(count_sent(pack_short_message(0xCF, 42, 0)), 1);
}

} // namespace
} // namespace varkelon::testing
