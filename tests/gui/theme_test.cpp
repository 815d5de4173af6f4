// SPDX-License-Identifier: GPL-3.0-or-later
// The window under a light and a dark desktop palette: the keys keep their
// exact colours, every text, the arrows and the sliders' thumbs stand out
// from what they are drawn on.

#include "app/layout.h"
#include "gui_fixture.h"
#include "ui/palette_colors.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <map>

namespace varkelon::testing {
namespace {

enum class Theme : std::uint8_t { Light, Dark };

void PrintTo(Theme theme, std::ostream* os) {
    *os << (theme == Theme::Dark ? "dark" : "light");
}

// A dark palette as desktop themes make them: dark faces, light texts.
QPalette dark_palette() {
    QPalette p(QColor(53, 53, 53)); // derives light texts from a dark button face
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    return p;
}

class ThemeTest : public GuiTest, public ::testing::WithParamInterface<Theme> {
protected:
    void SetUp() override {
        saved_ = QApplication::palette();
        QApplication::setPalette(GetParam() == Theme::Dark ? dark_palette()
                                                           : QPalette(QColor(239, 239, 239)));
        start();
    }
    void TearDown() override { QApplication::setPalette(saved_); }

    ButtonWidget* button(Ctl name, int index = -1) {
        return static_cast<ButtonWidget*>(widget(name, index));
    }

private:
    QPalette saved_;
};

TEST_P(ThemeTest, KeysKeepTheirExactColours) {
    for (int k = 0; k < kKeyCount; ++k) {
        EXPECT_EQ(button(Ctl::key, k)->back_color(),
                  is_black_key(k) ? QColor(0, 0, 0) : QColor(Qt::white))
            << "key " << k;
    }
    // Accompaniment mode paints the white chord keys an exact yellow, and a
    // chord key in force an exact orange.
    button(Ctl::Command7)->click();
    send_key(QEvent::KeyPress, kX11Z, Qt::Key_Z, QStringLiteral("z"));
    EXPECT_EQ(button(Ctl::key, 2)->back_color(), QColor(255, 255, 17));
    EXPECT_EQ(button(Ctl::key, 0)->back_color(), QColor(255, 187, 17));
    EXPECT_EQ(button(Ctl::key, 1)->back_color(), QColor(0, 0, 0));
    EXPECT_EQ(button(Ctl::key, 0)->fore_color(), QColor(0, 0, 0)) << "black caption on a light key";
    EXPECT_EQ(button(Ctl::key, 1)->fore_color(), QColor(Qt::white)) << "white on a black key";
    send_key(QEvent::KeyRelease, kX11Z, Qt::Key_Z, QStringLiteral("z"));
}

TEST_P(ThemeTest, EveryTextStandsOutFromItsBackground) {
    auto check = [](const QString& text, const QColor& fore, const QColor& back) {
        if (!text.trimmed().isEmpty()) {
            EXPECT_GE(contrast_ratio(fore, back), 3.0)
                << text.toStdString() << ": " << fore.name().toStdString() << " on "
                << back.name().toStdString();
        }
    };
    int seen = 0;
    for (const auto* b : main_window().findChildren<ButtonWidget*>()) {
        check(b->caption(), b->fore_color(), b->back_color());
        ++seen;
    }
    for (const auto* l : main_window().findChildren<LabelWidget*>()) {
        check(l->text(), l->fore_color(), l->back_color());
        ++seen;
    }
    for (const auto* f : main_window().findChildren<FrameWidget*>()) {
        check(f->caption(), f->fore_color(), f->back_color());
        ++seen;
    }
    EXPECT_GT(seen, 60) << "the window's buttons, keys, labels and frames";
}

// A greyed caption is drawn in the theme's disabled colour only where that
// still reads 3 : 1 on the control's exact back colour, which stays as it is:
// the demonstration greys "Аккомпанемент" on its blue, and every captioned
// control is checked greyed on the colour it shows now.
TEST_P(ThemeTest, GreyedTextsStillReadOnTheirExactColours) {
    button(Ctl::Command15)->click(); // "Демо"
    ButtonWidget* accomp = button(Ctl::Command7);
    ASSERT_FALSE(accomp->isEnabled()) << "greyed while the demonstration plays";
    EXPECT_EQ(accomp->back_color(), QColor(170, 170, 255));
    EXPECT_GE(contrast_ratio(accomp->caption_color(), accomp->back_color()), 3.0)
        << accomp->caption_color().name().toStdString();

    int seen = 0;
    for (auto* b : main_window().findChildren<ButtonWidget*>()) {
        if (b->caption().trimmed().isEmpty()) {
            continue;
        }
        const QColor back = b->back_color();
        const bool was = b->isEnabled();
        b->setEnabled(false);
        EXPECT_GE(contrast_ratio(b->caption_color(), b->back_color()), 3.0)
            << b->caption().toStdString() << " greyed on " << back.name().toStdString();
        EXPECT_EQ(b->back_color(), back) << b->caption().toStdString();
        b->setEnabled(was);
        ++seen;
    }
    for (auto* l : main_window().findChildren<LabelWidget*>()) {
        if (l->text().trimmed().isEmpty()) {
            continue;
        }
        const bool was = l->isEnabled();
        l->setEnabled(false);
        EXPECT_GE(contrast_ratio(l->text_color(), l->back_color()), 3.0) << l->text().toStdString();
        l->setEnabled(was);
        ++seen;
    }
    EXPECT_GT(seen, 40) << "the captioned keys, buttons and labels";
    button(Ctl::Command15)->click();
}

// The dotted focus frame runs around a caption, never through it: the
// caption's ink, drawn without the frame, lies strictly between the frame's
// columns and rows, drawn without the caption.
TEST_P(ThemeTest, TheFocusFrameDoesNotCrossCaptions) {
    const auto ink = [](ButtonWidget* b, const QString& caption, bool focused) {
        b->set_caption(caption);
        if (focused) {
            b->setFocus();
        } else {
            b->clearFocus();
        }
        const QImage shot = b->grab().toImage();
        const QRgb back = b->back_color().rgb();
        QRect box;
        // Inside the bevel only.
        for (int y = 3; y < shot.height() - 3; ++y) {
            for (int x = 3; x < shot.width() - 3; ++x) {
                if (shot.pixel(x, y) != back) {
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
        return box;
    };
    main_window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main_window()));
    int seen = 0;
    for (auto* b : main_window().findChildren<ButtonWidget*>()) {
        const QString caption = b->caption();
        if (caption.trimmed().isEmpty() || !b->isEnabled() || !b->isVisible() ||
            b->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        const QRect text = ink(b, caption, false);
        const QRect frame = ink(b, QString(), true);
        b->set_caption(caption);
        ASSERT_FALSE(frame.isEmpty()) << caption.toStdString() << ": no focus frame";
        ASSERT_FALSE(text.isEmpty()) << caption.toStdString();
        EXPECT_TRUE(frame.adjusted(1, 1, -1, -1).contains(text))
            << caption.toStdString() << ": ink " << text.x() << ".." << text.right() << ", frame "
            << frame.x() << ".." << frame.right();
        ++seen;
    }
    EXPECT_GT(seen, 40) << "the keys, \"Старт\", \"Синхростарт\", \"Аккомпанемент\", ...";
}

TEST_P(ThemeTest, ArrowsStandOutFromTheirButtons) {
    for (const Ctl name : {Ctl::Command1, Ctl::Command4, Ctl::Command5}) {
        for (int index : {0, 1}) {
            ButtonWidget* b = button(name, index);
            if (!b->isEnabled()) {
                continue; // drawn greyed on purpose
            }
            const QImage shot = b->grab().toImage();
            // The middle of the face lies inside either triangle.
            const QColor arrow = shot.pixelColor(shot.width() / 2, shot.height() / 2);
            EXPECT_GE(contrast_ratio(arrow, b->back_color()), 4.5) << name << "(" << index << ")";
        }
    }
}

// Along the middle of each slider, between its arrow buttons, the two
// colours that cover most of it are the track's and the thumb's.
TEST_P(ThemeTest, SliderThumbsStandOutFromTheirTracks) {
    for (const Ctl name : {Ctl::HScroll1, Ctl::HScroll2, Ctl::HScroll3, Ctl::HScroll4}) {
        auto* bar = static_cast<QScrollBar*>(widget(name));
        const QImage shot = bar->grab().toImage();
        std::map<QRgb, int> counts;
        constexpr int kButtonsPx = 16;
        for (int x = kButtonsPx; x < shot.width() - kButtonsPx; ++x) {
            ++counts[shot.pixel(x, shot.height() / 2)];
        }
        std::vector<std::pair<int, QRgb>> by_count;
        for (const auto& [rgb, n] : counts) {
            by_count.emplace_back(n, rgb);
        }
        std::sort(by_count.rbegin(), by_count.rend());
        ASSERT_GE(by_count.size(), 2U) << name << ": a thumb of the track's colour";
        EXPECT_GE(by_count[1].first, 6) << name << ": the thumb is a sliver";
        EXPECT_GE(contrast_ratio(QColor(by_count[0].second), QColor(by_count[1].second)), 3.0)
            << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemeTest, ::testing::Values(Theme::Light, Theme::Dark),
                         [](const auto& param_info) {
                             return std::string(param_info.param == Theme::Dark ? "Dark" : "Light");
                         });

} // namespace
} // namespace varkelon::testing
