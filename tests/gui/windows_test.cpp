// SPDX-License-Identifier: GPL-3.0-or-later
// The three windows' lives: help and about following their state, positions
// kept and mended, closing and ending.

#include "gui_fixture.h"
#include "ui/qt_settings_store.h"
#include "ui/screen_fit.h"
#include "ui/secondary_windows.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace varkelon::testing {
namespace {

using WindowsTest = GuiTest;

void choose(MainWindowView& w, Ctl title) {
    w.action_of(ControlId{title, -1})->trigger();
}

TEST_F(WindowsTest, HelpOpensAtTheDefaultAndItsMovedPositionIsKept) {
    HelpWindow& help = view().help_window();
    EXPECT_FALSE(help.isVisible());
    choose(main_window(), Ctl::base);
    ASSERT_TRUE(help.isVisible());
    EXPECT_EQ(help.pos(), QPoint(4200 / 15, 1900 / 15));
    EXPECT_EQ(help.windowTitle(), QStringLiteral(" Варкелон"));
    EXPECT_EQ(help.size(), QSize(6375 / 15, 7665 / 15));

    help.move(150, 90);           // the user moves it
    help.close_button()->click(); // "Закрыть"
    EXPECT_FALSE(help.isVisible());
    EXPECT_EQ(settings.values["left2"], "2250");
    EXPECT_EQ(settings.values["top2"], "1350");

    choose(main_window(), Ctl::base);
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.pos(), QPoint(150, 90));
}

TEST_F(WindowsTest, HelpChosenAgainIsRaisedNotMoved) {
    choose(main_window(), Ctl::base);
    HelpWindow& help = view().help_window();
    help.move(120, 80);
    choose(main_window(), Ctl::base);
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.pos(), QPoint(120, 80));
}

TEST_F(WindowsTest, HelpAndAboutShowTheirTexts) {
    auto texts = [](QWidget& w) {
        QStringList out;
        for (const QLabel* l : w.findChildren<QLabel*>()) {
            out << l->text();
        }
        return out;
    };
    const QStringList help = texts(view().help_window());
    ASSERT_EQ(help.size(), 6);
    EXPECT_EQ(help[0], QStringLiteral("О том, как работать с программой."));
    EXPECT_TRUE(help[1].startsWith(QStringLiteral("Варкелон является средством обучения")));
    EXPECT_TRUE(help[2].contains(QStringLiteral("Кнопка \"Аккомпанемент\" включает")));
    EXPECT_EQ(help[4], QStringLiteral("Кнопка \"Старт\" включает и выключает ритм. При этом "
                                      "начинают звучать только ударные инструменты."));
    EXPECT_EQ(view().help_window().close_button()->text(), QStringLiteral("Закрыть"));

    AboutWindow& about = view().about_window();
    EXPECT_EQ(about.windowTitle(), QStringLiteral(" Информация о программе"));
    EXPECT_EQ(about.size(), QSize(5490 / 15, 3600 / 15));
    const QStringList lines = texts(about);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Варкелон"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("1.1.1")));
}

// Escape closes either window as "Закрыть" does: unloaded, its position
// saved. The key goes to the window as the platform delivers it, to the
// window that has the keyboard, whichever of its widgets has the focus.
TEST_F(WindowsTest, EscapeClosesHelpAndAboutLikeTheCloseButton) {
    struct Case {
        Ctl title;
        SecondaryView* window;
        const char* left_key;
    };
    const Case cases[] = {{Ctl::base, &view().help_window(), "left2"},
                          {Ctl::oprog, &view().about_window(), "left4"}};
    for (const Case& c : cases) {
        choose(main_window(), c.title);
        ASSERT_TRUE(c.window->isVisible());
        c.window->move(90, 60);
        c.window->close_button()->setFocus();
        QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Escape, Qt::ShiftModifier);
        QCoreApplication::sendEvent(c.window->windowHandle(), &shifted);
        EXPECT_TRUE(c.window->isVisible()) << c.title << ": Shift+Escape is not Escape";
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(c.window->windowHandle(), &press);
        EXPECT_FALSE(c.window->isVisible()) << c.title;
        EXPECT_EQ(settings.values[c.left_key], "1350") << c.title;
    }
    EXPECT_TRUE(main_window().isVisible()) << "Escape in the main window is no command";
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(main_window().windowHandle(), &press);
    EXPECT_TRUE(main_window().isVisible());
    EXPECT_FALSE(program().ended());
}

TEST_F(WindowsTest, ClosingTheMainWindowLeavesHelpOpenUntilItIsClosed) {
    QSignalSpy ended(&view(), &ProgramView::ended);
    choose(main_window(), Ctl::base);
    main_window().close();
    EXPECT_FALSE(main_window().isVisible());
    EXPECT_TRUE(settings.values.count("left1"));
    EXPECT_TRUE(view().help_window().isVisible());
    EXPECT_EQ(ended.count(), 0);

    view().help_window().close(); // its close box
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(program().ended());
    EXPECT_TRUE(settings.values.count("left2"));
}

TEST_F(WindowsTest, ExitEndsAtOnceAndSavesOnlyOpenWindows) {
    QSignalSpy ended(&view(), &ProgramView::ended);
    choose(main_window(), Ctl::oprog);
    EXPECT_TRUE(view().about_window().isVisible());
    choose(main_window(), Ctl::vyhod);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(view().about_window().isVisible());
    EXPECT_TRUE(settings.values.count("left1") && settings.values.count("left4"));
    EXPECT_FALSE(settings.values.count("left2"));
}

TEST_F(WindowsTest, TheMainWindowStandsAtItsSavedPositionAndReportsMoves) {
    EXPECT_EQ(main_window().pos(), QPoint(200, 200)) << "3000 twips by default";
    main_window().move(60, 40);
    EXPECT_EQ(program().form1().left, 900);
    EXPECT_EQ(program().form1().top, 600);
}

// A saved position off every screen gives way to the default.
struct Placement {
    const char* name;
    const char* left;
    const char* top;
    QPoint expected;
};

void PrintTo(const Placement& p, std::ostream* os) {
    *os << p.name << " (" << p.left << ", " << p.top << ")";
}

class MainPlacementTest : public GuiTest, public ::testing::WithParamInterface<Placement> {
protected:
    void SetUp() override {} // started in the test, after the settings are written
};

TEST_P(MainPlacementTest, SavedPositionIsUsedUnlessItIsOffEveryScreen) {
    settings.values["left1"] = GetParam().left;
    settings.values["top1"] = GetParam().top;
    start();
    EXPECT_EQ(main_window().pos(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, MainPlacementTest,
    ::testing::Values(Placement{"OnScreen", "1500", "750", QPoint(100, 50)},
                      Placement{"FarBelowRight", "900000", "900000", QPoint(200, 200)},
                      Placement{"LeftOfEveryScreen", "-60000", "1500", QPoint(200, 200)},
                      Placement{"AboveEveryScreen", "1500", "-30000", QPoint(200, 200)}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(WindowsTest, AHelpPositionOffEveryScreenGivesWayToTheDefault) {
    settings.values["left2"] = "-99999";
    settings.values["top2"] = "1350";
    choose(main_window(), Ctl::base);
    EXPECT_EQ(view().help_window().pos(), QPoint(4200 / 15, 1900 / 15));
}

TEST(ScreenFit, AWindowIsLostOnlyWhenNoScreenShowsAGraspablePart) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    EXPECT_FALSE(lost_off_screen(QRect(100, 100, 591, 400), screens));
    EXPECT_FALSE(lost_off_screen(QRect(2500, 900, 591, 400), screens)) << "on the second screen";
    EXPECT_FALSE(lost_off_screen(QRect(-500, 10, 591, 400), screens)) << "partly off";
    EXPECT_TRUE(lost_off_screen(QRect(-585, 10, 591, 400), screens)) << "a 6-pixel sliver";
    EXPECT_TRUE(lost_off_screen(QRect(3300, 100, 591, 400), screens));
    EXPECT_TRUE(lost_off_screen(QRect(2000, 1100, 591, 400), screens)) << "below the second";
    EXPECT_TRUE(lost_off_screen(QRect(0, 0, 591, 400), {}));
}

// A saved position that leaves part of a window off the screen (a smaller
// screen, a larger scale factor than when it was saved): the window moves
// just far enough to lie wholly on the screen, along the axes that overhang
// only, and the position saved at Unload is the one it stood at.
enum class Overhang : std::uint8_t { Below, Right, AboveLeft, BelowRight };

struct FitCase {
    FormId form;
    Overhang overhang;
};

std::string fit_case_name(const ::testing::TestParamInfo<FitCase>& info) {
    const char* const forms[] = {"Main", "Help", "About"};
    const char* const overhangs[] = {"Below", "Right", "AboveLeft", "BelowRight"};
    return std::string(forms[static_cast<int>(info.param.form)]) +
           overhangs[static_cast<int>(info.param.overhang)];
}

void PrintTo(const FitCase& c, std::ostream* os) {
    *os << fit_case_name(::testing::TestParamInfo<FitCase>(c, 0));
}

class WindowFitTest : public GuiTest, public ::testing::WithParamInterface<FitCase> {
protected:
    void SetUp() override {} // started in the test, after the settings are written
};

TEST_P(WindowFitTest, APartlyOffScreenPositionMovesJustEnoughToFit) {
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    const Overhang o = GetParam().overhang;
    // 60 pixels of the window left on the screen: too few to use, far from lost.
    const bool below = o == Overhang::Below || o == Overhang::BelowRight;
    const bool right = o == Overhang::Right || o == Overhang::BelowRight;
    const QPoint saved(o == Overhang::AboveLeft ? avail.left() - 100
                       : right                  ? avail.right() - 60
                                                : avail.left() + 40,
                       o == Overhang::AboveLeft ? avail.top() - 60
                       : below                  ? avail.bottom() - 60
                                                : avail.top() + 30);
    const char* const keys[][2] = {{"left1", "top1"}, {"left2", "top2"}, {"left4", "top4"}};
    const auto form = static_cast<std::size_t>(GetParam().form);
    settings.values[keys[form][0]] = std::to_string(saved.x() * 15);
    settings.values[keys[form][1]] = std::to_string(saved.y() * 15);
    start();
    QWidget* window = &main_window();
    if (GetParam().form == FormId::Form2) {
        choose(main_window(), Ctl::base);
        window = &view().help_window();
    } else if (GetParam().form == FormId::Form4) {
        choose(main_window(), Ctl::oprog);
        window = &view().about_window();
    }
    ASSERT_TRUE(window->isVisible());
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(avail.contains(frame)) << "frame " << frame.x() << "," << frame.y() << " "
                                       << frame.width() << "x" << frame.height();
    if (o == Overhang::AboveLeft) {
        EXPECT_EQ(frame.topLeft(), avail.topLeft());
    } else {
        EXPECT_EQ(frame.x(), right ? avail.right() - frame.width() + 1 : saved.x());
        EXPECT_EQ(frame.y(), below ? avail.bottom() - frame.height() + 1 : saved.y());
    }

    const QPoint stood = window->pos();
    choose(main_window(), Ctl::vyhod);
    EXPECT_EQ(settings.values[keys[form][0]], std::to_string(stood.x() * 15));
    EXPECT_EQ(settings.values[keys[form][1]], std::to_string(stood.y() * 15));
}

INSTANTIATE_TEST_SUITE_P(Overhangs, WindowFitTest,
                         ::testing::Values(FitCase{FormId::Form1, Overhang::Below},
                                           FitCase{FormId::Form1, Overhang::Right},
                                           FitCase{FormId::Form1, Overhang::AboveLeft},
                                           FitCase{FormId::Form1, Overhang::BelowRight},
                                           FitCase{FormId::Form2, Overhang::Below},
                                           FitCase{FormId::Form2, Overhang::Right},
                                           FitCase{FormId::Form2, Overhang::AboveLeft},
                                           FitCase{FormId::Form4, Overhang::Below},
                                           FitCase{FormId::Form4, Overhang::BelowRight}),
                         fit_case_name);

// Help and About on whatever screen this runs on (ctest runs these on 1024 x
// 768 and 1280 x 800 screens at the scales 1, 1.5 and 2): each window lies
// wholly on the screen; scrolled to, every text and "Закрыть" lie wholly in
// view, and "Закрыть" closes the window from there. Where the design fits,
// the window has the design's size and nothing scrolls.
using SmallScreenTest = GuiTest;

TEST_F(SmallScreenTest, HelpAndAboutFitTheScreenWithEveryTextWithinReach) {
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        Ctl title;
        SecondaryView* window;
        QSize design;
    };
    const Case cases[] = {{Ctl::base, &view().help_window(), QSize(6375 / 15, 7665 / 15)},
                          {Ctl::oprog, &view().about_window(), QSize(5490 / 15, 3600 / 15)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(control_name(c.title));
        choose(main_window(), c.title);
        SecondaryView& w = *c.window;
        ASSERT_TRUE(w.isVisible());
        EXPECT_TRUE(avail.contains(w.frameGeometry()))
            << w.width() << "x" << w.height() << " on " << avail.width() << "x" << avail.height();

        QScrollArea* area = w.scroll_area();
        const QSize frame = w.frameGeometry().size() - w.size(); // the frame's share
        if (avail.width() >= c.design.width() + frame.width() &&
            avail.height() >= c.design.height() + frame.height()) {
            EXPECT_EQ(w.size(), c.design);
            EXPECT_FALSE(area->verticalScrollBar()->isVisible());
            EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
        }
        QList<QWidget*> parts;
        for (QLabel* label : w.findChildren<QLabel*>()) {
            parts << label;
        }
        parts << w.close_button(); // last: the bottom of the page
        for (QWidget* part : parts) {
            area->ensureWidgetVisible(part, 0, 0);
            const QRect at(part->mapTo(&w, QPoint(0, 0)), part->size());
            EXPECT_TRUE(area->viewport()->geometry().contains(at))
                << part->metaObject()->className() << " at " << at.y() << ".." << at.bottom()
                << " of a view " << area->viewport()->height() << " high";
        }
        QTest::mouseClick(w.close_button(), Qt::LeftButton);
        EXPECT_FALSE(w.isVisible()) << "\"Закрыть\" where it is scrolled to";
    }
}

TEST(ScreenFit, AWindowMovesJustFarEnoughOntoTheScreenThatShowsMostOfIt) {
    const QList<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
    struct Case {
        const char* what;
        QRect frame;
        QPoint fitted;
    };
    const Case cases[] = {
        {"fits: stays", QRect(100, 100, 600, 400), QPoint(100, 100)},
        {"below the first", QRect(100, 600, 600, 400), QPoint(100, 400)},
        {"off the left", QRect(-50, 100, 600, 400), QPoint(0, 100)},
        {"mostly on the second, off its bottom", QRect(1500, 500, 600, 400), QPoint(1500, 368)},
        {"mostly on the first, across the seam", QRect(900, 100, 600, 400), QPoint(680, 100)},
        {"taller than the screen: top on it", QRect(100, 300, 600, 900), QPoint(100, 0)},
        {"wider and taller: top-left on it", QRect(-20, -20, 1400, 900), QPoint(0, 0)},
        {"on no screen: onto the first", QRect(5000, 5000, 600, 400), QPoint(680, 400)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fit_on_screen(c.frame, screens), c.fitted) << c.what;
    }
    EXPECT_EQ(fit_on_screen(QRect(10, 20, 30, 40), {}), QPoint(10, 20)) << "no screen at all";
}

TEST(QtSettingsStore, KeepsDecimalTextInTheAudioGroupOfAnIniFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Skarvelund.ini"));
    {
        QtSettingsStore store(path);
        EXPECT_FALSE(store.get("left1").has_value());
        store.set("left1", "4350");
        store.set("top1", "-15");
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString ini = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(ini.contains(QStringLiteral("[Audio]")));
    EXPECT_TRUE(ini.contains(QStringLiteral("left1=4350")));

    QtSettingsStore again(path);
    EXPECT_EQ(again.get("left1"), std::optional<std::string>("4350"));
    EXPECT_EQ(again.get("top1"), std::optional<std::string>("-15"));
    EXPECT_EQ(read_position(again, "top1", 3000), -15);
}

} // namespace
} // namespace varkelon::testing
