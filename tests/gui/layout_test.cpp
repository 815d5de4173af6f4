// SPDX-License-Identifier: GPL-3.0-or-later
// The main window shows the control model: every control at its place, with
// its caption, colours and stacking as the model has them.

#include "app/layout.h"
#include "gui_fixture.h"
#include "ui/control_widgets.h"

#include <QAction>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

namespace varkelon::testing {
namespace {

using LayoutTest = GuiTest;

QRect twips_rect(const Control& c) {
    return QRect(c.left / kTwipsPerPixel, c.top / kTwipsPerPixel, c.width / kTwipsPerPixel,
                 c.height / kTwipsPerPixel);
}

TEST_F(LayoutTest, TheWindowHasItsFixedClientAreaAndCaption) {
    EXPECT_EQ(main_window().windowTitle(), QStringLiteral(" Варкелон"));
    EXPECT_EQ(main_window().centralWidget()->size(), QSize(591, 367));
    EXPECT_EQ(main_window().minimumSize(), main_window().maximumSize()) << "fixed size";
    EXPECT_FALSE(main_window().windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(main_window().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(main_window().focusWidget(), widget(Ctl::key, 0)) << "key(0) has the focus at start";
}

TEST_F(LayoutTest, EveryControlStandsAtItsTwipsGeometryInItsContainer) {
    for (const Control& c : program().form1().controls.all()) {
        QWidget* w = main_window().widget_of(c.id);
        if (c.kind == ControlKind::MenuTitle || c.kind == ControlKind::MenuItem) {
            EXPECT_EQ(w, nullptr);
            continue;
        }
        ASSERT_NE(w, nullptr) << c.id.to_string();
        const QWidget* container =
            !c.container ? main_window().centralWidget() : main_window().widget_of(*c.container);
        EXPECT_EQ(w->parentWidget(), container) << c.id.to_string();
        EXPECT_EQ(w->pos(), twips_rect(c).topLeft()) << c.id.to_string();
        if (c.kind != ControlKind::PictureBox || c.picture == pictures::kNone) {
            EXPECT_EQ(w->size(), twips_rect(c).size()) << c.id.to_string();
        }
        EXPECT_EQ(w->isVisibleTo(&main_window()), c.visible) << c.id.to_string();
        EXPECT_EQ(w->toolTip().toStdString(), c.tooltip) << c.id.to_string();
    }
}

TEST_F(LayoutTest, PictureBoxesTakeTheSizeOfTheirBitmap) {
    EXPECT_EQ(widget(Ctl::Picture7)->size(), QSize(210, 78)) << "the photograph, no border";
    EXPECT_EQ(widget(Ctl::Picture4)->size(), QSize(15 + 2, 76 + 2)) << "lamps with a thin border";
    Control& units = program().form1().controls.at({Ctl::Picture1, 0});
    units.picture = pictures::kDigit0 + 7;
    main_window().sync();
    EXPECT_EQ(widget(Ctl::Picture1, 0)->size(), QSize(14 + 2, 17 + 2));
    EXPECT_FALSE(static_cast<PictureWidget*>(widget(Ctl::Picture1, 0))->picture().isNull());
}

TEST_F(LayoutTest, OverlappingControlsStackAsTheModelOrdersThem) {
    QWidget* central = main_window().centralWidget();
    auto top_at = [&](QWidget* w, QPoint local) {
        return central->childAt(w->mapTo(central, local));
    };
    // A black key above the white keys it straddles.
    QWidget* key1 = widget(Ctl::key, 1);
    EXPECT_EQ(top_at(key1, QPoint(1, 5)), key1);
    EXPECT_EQ(top_at(key1, QPoint(key1->width() - 2, 5)), key1);
    // The octave slider above its frame.
    QWidget* octave = widget(Ctl::HScroll1);
    EXPECT_EQ(top_at(octave, QPoint(octave->width() / 2, octave->height() / 2)), octave);
    // "Назад", once shown, covers "В начало" inside the instrument frame.
    program().form1().controls.at(Ctl::Command27).visible = true;
    main_window().sync();
    QWidget* back = widget(Ctl::Command27);
    EXPECT_EQ(top_at(back, QPoint(5, 5)), back);
}

TEST_F(LayoutTest, KeysShowTheirCaptionColourAndPressedLook) {
    auto* key0 = static_cast<ButtonWidget*>(widget(Ctl::key, 0));
    auto* key1 = static_cast<ButtonWidget*>(widget(Ctl::key, 1));
    EXPECT_EQ(key0->caption(), QStringLiteral("Z"));
    EXPECT_EQ(static_cast<ButtonWidget*>(widget(Ctl::key, 12))->caption(), QStringLiteral("<"));
    EXPECT_GT(key0->back_color().lightness(), 200) << "white keys are light";
    EXPECT_LT(key1->back_color().lightness(), 60) << "black keys are dark";

    Control& k = program().form1().key(5);
    k.back_color = colors::kLightBlue;
    k.value = 1;
    main_window().sync();
    auto* key5 = static_cast<ButtonWidget*>(widget(Ctl::key, 5));
    EXPECT_EQ(key5->back_color(), QColor(119, 187, 255)) << "exact RGB";
    EXPECT_TRUE(key5->pressed_in());

    // A click on a key never toggles it: only the model sets its value.
    k.value = 0;
    main_window().sync();
    key5->click();
    EXPECT_FALSE(key5->pressed_in());
}

TEST_F(LayoutTest, FontsAreDesignPointsAt96Dpi) {
    EXPECT_EQ(widget(Ctl::key, 0)->font().pixelSize(), 11);    // 8.25 pt
    EXPECT_EQ(widget(Ctl::Command15)->font().pixelSize(), 13); // 9.75 pt bold
    EXPECT_TRUE(widget(Ctl::Command15)->font().bold());
    EXPECT_EQ(widget(Ctl::Text1)->font().pixelSize(), 16); // the window font, 12 pt bold
    EXPECT_TRUE(widget(Ctl::Text1)->font().bold());
}

// The three level labels read alike: the face is wide enough for the design's
// boxes at the design's size, so none of them is narrowed to fit, also at the
// widest level. A missing face (the fallback is wider) fails here.
TEST_F(LayoutTest, LevelLabelsFitTheirBoxesAtOneFontSize) {
    const QFontInfo face(widget(Ctl::Label5)->font());
    EXPECT_EQ(face.family(), QString::fromLatin1(kFontFamily)) << "the font package is missing";
    for (const int level : {100, 127, 0}) {
        for (const Ctl name : {Ctl::Label3, Ctl::Label5, Ctl::Label9}) {
            auto* label = static_cast<LabelWidget*>(widget(name));
            const QString text =
                label->text().section(QLatin1Char('='), 0, 0) + QStringLiteral("= %1 ").arg(level);
            EXPECT_EQ(label->font().pixelSize(), 11) << control_name(name);
            EXPECT_EQ(fit_line(label->font(), text, label->width()), label->font())
                << text.toStdString() << " is narrowed to fit " << label->width() << " px";
        }
    }
}

TEST_F(LayoutTest, MenuBarHasTwoMenusAndThreeCommands) {
    const QList<QAction*> titles = main_window().menuBar()->actions();
    QStringList texts;
    for (QAction* a : titles) {
        texts << a->text();
    }
    EXPECT_EQ(texts, (QStringList{"Выбор звукового устройства", "Настройки", "Помощь",
                                  "О программе", "Выход"}));
    EXPECT_NE(titles[0]->menu(), nullptr);
    EXPECT_NE(titles[1]->menu(), nullptr);
    EXPECT_EQ(titles[2]->menu(), nullptr);
    EXPECT_EQ(titles[3]->menu(), nullptr);
    EXPECT_EQ(titles[4]->menu(), nullptr);
}

TEST_F(LayoutTest, MenuItemsFollowTheModel) {
    Form1& form = program().form1();
    QAction* chan0 = main_window().action_of(ControlId{Ctl::chan, 0});
    ASSERT_NE(chan0, nullptr);
    EXPECT_EQ(chan0->isChecked(), form.controls.at({Ctl::chan, 0}).checked);
    const bool before = chan0->isChecked();
    chan0->trigger(); // the core toggles the option
    EXPECT_EQ(form.controls.at({Ctl::chan, 0}).checked, !before);
    EXPECT_EQ(chan0->isChecked(), !before);

    // Device items: caption, visibility and the tick as the model has them.
    for (int i = 0; i < kDeviceItems; ++i) {
        const Control& item = form.device_item(i);
        QAction* a = main_window().action_of(item.id);
        EXPECT_EQ(a->text().toStdString(), item.caption) << i;
        EXPECT_EQ(a->isVisible(), item.visible) << i;
        EXPECT_EQ(a->isChecked(), item.checked) << i;
    }
    form.device_item(3).caption = "Port & Co";
    form.device_item(3).visible = true;
    main_window().sync();
    EXPECT_EQ(main_window().action_of(ControlId{Ctl::device, 3})->text(),
              QStringLiteral("Port && Co"))
        << "shown as it is, without a mnemonic";
}

TEST_F(LayoutTest, SlidersHaveTheModelsRangeAndReportTheUsersChange) {
    auto* solo = static_cast<QScrollBar*>(widget(Ctl::HScroll2));
    EXPECT_EQ(solo->minimum(), 0);
    EXPECT_EQ(solo->maximum(), 127);
    EXPECT_EQ(solo->value(), 100);
    EXPECT_FALSE(solo->hasTracking()) << "delivered when the thumb is let go";
    solo->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(program().form1().r.solo_volume, 99);
    EXPECT_EQ(static_cast<LabelWidget*>(widget(Ctl::Label3))->text(), QStringLiteral("соло = 99 "));

    auto* octave = static_cast<QScrollBar*>(widget(Ctl::HScroll1));
    EXPECT_EQ(octave->maximum(), 7);
    EXPECT_EQ(octave->value(), program().form1().controls.at(Ctl::HScroll1).value);
}

} // namespace
} // namespace varkelon::testing
