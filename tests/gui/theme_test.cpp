// The window under a light and a dark desktop palette: the keys keep their
// exact colours, every text, the arrows and the sliders' thumbs stand out
// from what they are drawn on.

#include "app/layout.h"
#include "gui_fixture.h"
#include "ui/palette_colors.h"

#include <QApplication>
#include <QScrollBar>

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
