// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: the style data file check, the window positions, and when the
// program ends.

#include "core_fixture.h"
#include "engine/style_format.h"

#include <cctype>
#include <numeric>
#include <string>
#include <vector>

namespace varkelon::test {
namespace {

using Kind = RecordingMidiSystem::Event::Kind;

const std::string kMessageA = "Отсутствует  файл  \"brelmonddat1.dat\"";
const std::string kMessageB =
    "Файл  \"brelmonddat1.dat\"  не является орегинальным, или повреждён.";

TEST(StyleDataFile, ShippedFileIsTheOriginal) {
    const auto bytes = shipped_style_bytes();
    ASSERT_EQ(bytes.size(), kStyleFileSize);
    EXPECT_EQ(std::accumulate(bytes.begin(), bytes.end(), 0U), kStyleFileByteSum);
}

TEST(ProgramStart, MissingFileShowsMessageAAndEnds) {
    Core core;
    core.style_file.file = {StyleFileSource::Status::Missing, {}};

    EXPECT_FALSE(core.program.start());

    ASSERT_EQ(core.dialogs.shown.size(), 1U);
    EXPECT_EQ(core.dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(core.dialogs.shown[0].title, "Варкелон");
    EXPECT_EQ(core.dialogs.shown[0].text, kMessageA);
    EXPECT_TRUE(core.midi.events.empty()) << "no port may be opened";
    EXPECT_FALSE(core.form().loaded());
    EXPECT_TRUE(core.program.ended());
}

struct DamagedFile {
    const char* name;
    std::vector<std::uint8_t> (*damage)(std::vector<std::uint8_t>);
};

// Each damage keeps the other of the two checks satisfied where it can, so a
// check that looks only at the length or only at the sum is caught.
const DamagedFile kDamagedFiles[] = {
    {"1615 bytes, same sum",
     [](std::vector<std::uint8_t> b) {
         const auto last = b.back();
         b.pop_back();
         for (auto& byte : b) {
             if (byte + last <= 255) {
                 byte = static_cast<std::uint8_t>(byte + last);
                 break;
             }
         }
         return b;
     }},
    {"1617 bytes, same sum",
     [](std::vector<std::uint8_t> b) {
         b.push_back(0);
         return b;
     }},
    {"1615 bytes",
     [](std::vector<std::uint8_t> b) {
         b.pop_back();
         return b;
     }},
    {"first byte plus one",
     [](std::vector<std::uint8_t> b) {
         b.front() = static_cast<std::uint8_t>(b.front() + 1);
         return b;
     }},
    {"middle byte minus one",
     [](std::vector<std::uint8_t> b) {
         auto& byte = b[808] == 0 ? b[809] : b[808];
         byte = static_cast<std::uint8_t>(byte - 1);
         return b;
     }},
    {"last byte plus one",
     [](std::vector<std::uint8_t> b) {
         b.back() = static_cast<std::uint8_t>(b.back() + 1);
         return b;
     }},
    {"empty", [](std::vector<std::uint8_t>) { return std::vector<std::uint8_t>{}; }},
};

void PrintTo(const DamagedFile& f, std::ostream* os) {
    *os << f.name;
}

class DamagedStyleFile : public ::testing::TestWithParam<DamagedFile> {};

TEST_P(DamagedStyleFile, ShowsMessageBAndEndsBeforeAnyWindowOrPort) {
    Core core;
    core.style_file.file.bytes = GetParam().damage(shipped_style_bytes());

    EXPECT_FALSE(core.program.start());

    ASSERT_EQ(core.dialogs.shown.size(), 1U);
    EXPECT_EQ(core.dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(core.dialogs.shown[0].title, "Варкелон");
    EXPECT_EQ(core.dialogs.shown[0].text, kMessageB);
    EXPECT_TRUE(core.midi.events.empty());
    EXPECT_FALSE(core.form().loaded());
    EXPECT_TRUE(core.program.ended());
    EXPECT_TRUE(core.settings.values.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedStyleFile, ::testing::ValuesIn(kDamagedFiles),
                         [](const auto& test_case) {
                             std::string name = test_case.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

// Start-up reads the file once, so the bytes Load keeps are the bytes that
// were verified, whatever the file holds a moment later.
TEST(ProgramStart, ReadsTheStyleFileOnce) {
    struct CountingFile final : StyleFileSource {
        int reads = 0;
        Result read() override {
            ++reads;
            return reads == 1 ? shipped_style_file() : Result{Status::Unreadable, {}};
        }
    } file;
    RecordingMidiSystem midi;
    MemorySettingsStore settings;
    ScriptedDialogs dialogs;
    Program program{ProgramPorts{midi, settings, file, dialogs}};
    EXPECT_TRUE(program.start());
    EXPECT_EQ(file.reads, 1);
}

TEST(ProgramStart, GoodFileLoadsTheMainWindowSilently) {
    Core core;
    EXPECT_TRUE(core.program.start());
    EXPECT_TRUE(core.dialogs.shown.empty());
    EXPECT_TRUE(core.form().loaded());
    EXPECT_FALSE(core.program.ended());
}

// --- window positions ---

TEST(MainWindowPosition, EmptyStorePlacesItAt3000By3000) {
    Core core;
    core.start();
    EXPECT_EQ(core.form().left, 3000);
    EXPECT_EQ(core.form().top, 3000);
}

TEST(MainWindowPosition, SavedPositionIsUsed) {
    Core core;
    core.settings.values = {{"left1", "1215"}, {"top1", "45"}};
    core.start();
    EXPECT_EQ(core.form().left, 1215);
    EXPECT_EQ(core.form().top, 45);
}

TEST(MainWindowPosition, ValueThatIsNotANumberGivesTheDefault) {
    for (const char* bad : {"", "abc", "12x", "x12", "1 2"}) {
        SCOPED_TRACE(bad);
        Core core;
        core.settings.values = {{"left1", bad}, {"top1", "600"}};
        core.start();
        EXPECT_EQ(core.form().left, 3000);
        EXPECT_EQ(core.form().top, 600);
    }
}

TEST(MainWindowPosition, UnloadWritesLeft1AndTop1AndClosesThePort) {
    Core core;
    core.start();
    core.program.move(FormId::Form1, 1500, 2505);

    core.program.close(FormId::Form1);

    EXPECT_EQ(core.settings.values.at("left1"), "1500");
    EXPECT_EQ(core.settings.values.at("top1"), "2505");
    EXPECT_EQ(core.settings.values.size(), 2U);
    EXPECT_FALSE(core.midi.is_open());
    EXPECT_EQ(core.midi.events.back().kind, Kind::Close);
    EXPECT_TRUE(core.program.ended());
}

TEST(MainWindowPosition, SavedPositionComesBackAtTheNextStart) {
    Core first;
    first.start();
    first.program.move(FormId::Form1, 4200, 1800);
    first.program.close(FormId::Form1);

    Core second;
    second.settings = first.settings;
    second.start();
    EXPECT_EQ(second.form().left, 4200);
    EXPECT_EQ(second.form().top, 1800);
}

// --- the secondary windows and the end of the program ---

TEST(SecondaryWindows, FirstOpeningUsesTheDefaultPositions) {
    Core core;
    core.start();
    core.click(Ctl::base);
    core.click(Ctl::oprog);
    EXPECT_TRUE(core.program.help().loaded);
    EXPECT_EQ(core.program.help().left, 4200);
    EXPECT_EQ(core.program.help().top, 1900);
    EXPECT_TRUE(core.program.about().loaded);
    EXPECT_EQ(core.program.about().left, 4650);
    EXPECT_EQ(core.program.about().top, 4000);
}

TEST(SecondaryWindows, ShowingAnOpenWindowDoesNotMoveIt) {
    Core core;
    core.start();
    core.click(Ctl::base);
    core.program.move(FormId::Form2, 100, 200);
    core.click(Ctl::base);
    EXPECT_EQ(core.program.help().left, 100);
    EXPECT_EQ(core.program.help().top, 200);
}

TEST(ProgramEnd, CloseBoxWithHelpOpenRunsOnUntilHelpIsClosed) {
    Core core;
    core.start();
    core.click(Ctl::base);
    core.program.move(FormId::Form1, 1000, 1100);
    core.program.move(FormId::Form2, 2000, 2100);

    core.program.close(FormId::Form1);

    EXPECT_FALSE(core.form().loaded());
    EXPECT_EQ(core.settings.values.at("left1"), "1000");
    EXPECT_EQ(core.settings.values.at("top1"), "1100");
    EXPECT_EQ(core.settings.values.count("left2"), 0U);
    EXPECT_TRUE(core.program.help().loaded);
    EXPECT_FALSE(core.program.ended());

    core.program.close(FormId::Form2);

    EXPECT_EQ(core.settings.values.at("left2"), "2000");
    EXPECT_EQ(core.settings.values.at("top2"), "2100");
    EXPECT_TRUE(core.program.ended());
}

TEST(ProgramEnd, ExitWithAboutOpenSavesMainAndAboutOnly) {
    Core core;
    core.start();
    core.click(Ctl::oprog);
    core.program.move(FormId::Form1, 1000, 1100);
    core.program.move(FormId::Form4, 3000, 3100);

    core.click(Ctl::vyhod);

    EXPECT_EQ(core.settings.values,
              (std::map<std::string, std::string>{
                  {"left1", "1000"}, {"top1", "1100"}, {"left4", "3000"}, {"top4", "3100"}}));
    EXPECT_FALSE(core.form().loaded());
    EXPECT_FALSE(core.program.about().loaded);
    EXPECT_FALSE(core.program.help().loaded) << "a window never opened is not loaded by the exit";
    EXPECT_TRUE(core.program.ended());
}

TEST(ProgramEnd, ExitWithNoOtherWindowWritesOnlyTheMainPosition) {
    Core core;
    core.start();
    core.click(Ctl::vyhod);
    EXPECT_EQ(core.settings.values,
              (std::map<std::string, std::string>{{"left1", "3000"}, {"top1", "3000"}}));
    EXPECT_TRUE(core.program.ended());
}

TEST(ProgramEnd, AWindowClosedBeforeTheExitWritesNothingMore) {
    Core core;
    core.start();
    core.click(Ctl::base);
    core.program.close(FormId::Form2);
    core.settings.values.clear();

    core.click(Ctl::vyhod);

    EXPECT_EQ(core.settings.values.count("left2"), 0U);
    EXPECT_EQ(core.settings.values.count("top2"), 0U);
}

TEST(ProgramEnd, EventsAfterTheExitHaveNoEffect) {
    Core core;
    core.start();
    core.click(Ctl::vyhod);
    const auto from = core.mark();

    core.form().key_down(kKeyZ, 0);
    core.mouse_down(Ctl::Command17, 0);
    core.form().timer_tick(TimerId::Timer2);

    EXPECT_EQ(core.mark(), from);
    EXPECT_EQ(core.back_color(Ctl::Command17, 0), colors::kWhite);
    EXPECT_EQ(core.control(Ctl::key, 0).value, 0);
}

} // namespace
} // namespace varkelon::test
