// SPDX-License-Identifier: GPL-3.0-or-later
// The view's smaller parts: drawn bitmaps, timers, message boxes, the MIDI log.

#include "app/fakes.h"
#include "midi/recording_midi.h"
#include "midi/tee_midi.h"
#include "ui/bitmaps.h"
#include "ui/message_boxes.h"
#include "ui/midi_log.h"
#include "ui/timer_driver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace varkelon {
namespace {

TEST(Bitmaps, HaveTheirSizes) {
    BitmapCache cache;
    for (int d = 0; d < 10; ++d) {
        EXPECT_EQ(cache.picture(200 + d).size(), QSize(14, 17)) << d;
    }
    for (int n = 220; n <= 224; ++n) {
        EXPECT_EQ(cache.picture(n).size(), QSize(15, 76)) << n;
    }
    EXPECT_EQ(cache.picture(pictures::kArrowLeft).size(), QSize(15, 15));
    EXPECT_EQ(cache.picture(pictures::kArrowRight).size(), QSize(15, 15));
    EXPECT_EQ(cache.picture(pictures::kPhoto).size(), QSize(210, 78));
    EXPECT_EQ(BitmapCache::draw_icon().size(), QSize(32, 32));
    EXPECT_TRUE(cache.picture(pictures::kNone).isNull());
    EXPECT_TRUE(cache.picture(199).isNull());
    EXPECT_TRUE(cache.picture(225).isNull());
}

int bright_red_pixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += QColor(img.pixel(x, y)).red() > 200 ? 1 : 0;
        }
    }
    return n;
}

TEST(Bitmaps, DigitsLightTheirSegments) {
    const int one = bright_red_pixels(BitmapCache::draw_digit(1).toImage());
    const int seven = bright_red_pixels(BitmapCache::draw_digit(7).toImage());
    const int eight = bright_red_pixels(BitmapCache::draw_digit(8).toImage());
    EXPECT_GT(one, 0);
    EXPECT_LT(one, seven);
    EXPECT_LT(seven, eight);
    EXPECT_EQ(QColor(BitmapCache::draw_digit(8).toImage().pixel(0, 0)), QColor(Qt::black));
}

TEST(Bitmaps, LampsLightFromTheBottomUp) {
    // Lamp i (beat i + 1) is centred at y = 76 - 19 (i + 1/2).
    auto green_at = [](int picture, int lamp) {
        const QImage img = BitmapCache::draw_lamps(picture).toImage();
        return QColor(img.pixel(7, 76 - 19 * lamp - 10)).green();
    };
    for (int lamp = 0; lamp < 4; ++lamp) {
        EXPECT_LT(green_at(0, lamp), 120) << "220: all dark";
        for (int lit = 1; lit <= 4; ++lit) {
            if (lit == lamp + 1) {
                EXPECT_GT(green_at(lit, lamp), 200) << lit;
            } else {
                EXPECT_LT(green_at(lit, lamp), 120) << lit << " lamp " << lamp;
            }
        }
    }
}

TEST(TimerDriver, TicksWhileEnabledAndStopsWhenDisabled) {
    ModelTimer timer{"Timer1", 15, false, 0};
    QElapsedTimer clock;
    clock.start();
    int ticks = 0;
    int early = 0;
    TimerDriver* driver_ptr = nullptr;
    TimerDriver driver(timer, clock, [&] {
        // Armed short of the due time, it waits out the rest: never early.
        if (driver_ptr->take_due(clock.elapsed())) {
            ++ticks;
        } else {
            ++early;
        }
        driver_ptr->sync(clock.elapsed());
    });
    driver_ptr = &driver;

    driver.sync(clock.elapsed());
    EXPECT_FALSE(driver.armed()) << "a disabled timer has nothing due";
    timer.set_enabled(true);
    driver.sync(clock.elapsed());
    EXPECT_TRUE(driver.armed());
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 10000);
    EXPECT_EQ(early, 0);

    timer.set_enabled(false);
    driver.sync(clock.elapsed());
    EXPECT_FALSE(driver.armed());
    const int stopped_at = ticks;
    QTest::qWait(60);
    EXPECT_EQ(ticks, stopped_at);
}

struct BoxCase {
    MessageIcon icon;
    QMessageBox::Icon expected;
};

const char* icon_name(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return "Critical";
    case MessageIcon::Exclamation:
        return "Exclamation";
    case MessageIcon::None:
        return "NoIcon";
    }
    return "Unknown";
}

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << icon_name(c.icon);
}

class MessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxTest, ShowsTheExactTextWithOneOkButton) {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        modal = box->isModal();
        box->button(QMessageBox::Ok)->click();
    });
    QtDialogs dialogs;
    dialogs.message_box(GetParam().icon, "Варкелон", "Отсутствует  файл  \"brelmonddat1.dat\"");
    EXPECT_EQ(title, QStringLiteral("Варкелон"));
    EXPECT_EQ(text, QStringLiteral("Отсутствует  файл  \"brelmonddat1.dat\""));
    EXPECT_EQ(icon, GetParam().expected);
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(modal);
}

INSTANTIATE_TEST_SUITE_P(Icons, MessageBoxTest,
                         ::testing::Values(BoxCase{MessageIcon::Critical, QMessageBox::Critical},
                                           BoxCase{MessageIcon::Exclamation, QMessageBox::Warning},
                                           BoxCase{MessageIcon::None, QMessageBox::NoIcon}),
                         [](const auto& param_info) {
                             return std::string(icon_name(param_info.param.icon));
                         });

TEST(MidiLog, AppendsWhatReachesTheOpenPortAsHex) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("midi.log"));
    auto inner = std::make_unique<RecordingMidiSystem>();
    RecordingMidiSystem& port = *inner;
    {
        const MidiLogFile file(path.toStdString());
        ASSERT_TRUE(file.is_open());
        TeeMidiSystem log(std::move(inner), file);
        log.send(0x00000090); // nothing open: lost, like the port's
        EXPECT_EQ(log.open(kMidiMapperId), 0);
        log.send(0x004E379F);
        log.send(0x0000378F);
        log.close();
        log.send(0x00112233);
        // `port` lives inside `log`: read it before the block ends.
        EXPECT_EQ(port.sent(), (std::vector<std::uint32_t>{0x004E379F, 0x0000378F}));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("004E379F\n0000378F\n"));
}

} // namespace
} // namespace varkelon
