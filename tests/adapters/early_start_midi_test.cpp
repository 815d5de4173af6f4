// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up's port listing and default open, begun on threads before the
// program asks: the program must see exactly what it would see without.

#include "adapters/early_start_midi.h"
#include "app/fakes.h"
#include "app/program.h"
#include "core_fixture.h"
#include "midi/recording_midi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace varkelon::test {
namespace {

// Records every call and the thread it came on, in a log that outlives it;
// open(-1) can be held until the test lets it go, to show that it runs while
// the caller goes on.
struct CallLog {
    std::mutex mutex;
    std::condition_variable gate;
    bool released = true;
    bool open = false;
    std::vector<std::pair<std::string, std::thread::id>> calls;

    void hold() { released = false; }
    void release() {
        {
            const std::lock_guard lock(mutex);
            released = true;
        }
        gate.notify_all();
    }
    void add(std::string what) {
        const std::lock_guard lock(mutex);
        calls.emplace_back(std::move(what), std::this_thread::get_id());
    }
    std::vector<std::string> what() {
        const std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const auto& c : calls) {
            out.push_back(c.first);
        }
        return out;
    }
    bool none_on(std::thread::id thread) {
        const std::lock_guard lock(mutex);
        return std::none_of(calls.begin(), calls.end(),
                            [thread](const auto& c) { return c.second == thread; });
    }
};

class GatedMidi final : public MidiSystem {
public:
    explicit GatedMidi(std::shared_ptr<CallLog> log, int mapper_rc = 0)
        : log_(std::move(log)), mapper_rc_(mapper_rc) {}

    std::vector<std::string> output_names() override {
        log_->add("list");
        return {"Port A", "Port B"};
    }
    int open(int id) override {
        if (id == kMidiMapperId) {
            std::unique_lock lock(log_->mutex);
            log_->gate.wait(lock, [this] { return log_->released; });
        }
        log_->add("open " + std::to_string(id));
        log_->open = true;
        return id == kMidiMapperId ? mapper_rc_ : 0;
    }
    void send(std::uint32_t message) override { log_->add("send " + std::to_string(message)); }
    void close() override {
        log_->add("close");
        log_->open = false;
    }

private:
    std::shared_ptr<CallLog> log_;
    int mapper_rc_;
};

struct Early {
    explicit Early(bool held = false, int mapper_rc = 0) {
        if (held) {
            log->hold();
        }
        midi = std::make_unique<EarlyStartMidi>(std::make_unique<GatedMidi>(log, mapper_rc));
    }
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::unique_ptr<EarlyStartMidi> midi;
};

TEST(EarlyStartMidi, StartUpsCallsAreAnsweredFromTheEarlyOnesOffTheCallersThread) {
    Early early(/*held=*/true);
    // Made, and the caller lists the ports while the open is still held.
    EXPECT_EQ(early.midi->output_names(), (std::vector<std::string>{"Port A", "Port B"}));
    early.midi->close(); // start-up closes before it opens: the early open stays
    early.log->release();
    EXPECT_EQ(early.midi->open(kMidiMapperId), 0);
    EXPECT_TRUE(early.log->open);
    const auto made = early.log->what();
    EXPECT_EQ(made.size(), 2U) << "each made once, nothing else";
    EXPECT_TRUE(early.log->none_on(std::this_thread::get_id()));

    // From then on every call goes straight through.
    early.midi->send(0x90);
    early.midi->output_names();
    early.midi->close();
    const auto calls = early.log->what();
    ASSERT_EQ(calls.size(), 5U);
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 2, calls.end()),
              (std::vector<std::string>{"send 144", "list", "close"}));
}

TEST(EarlyStartMidi, AFailedEarlyOpenIsReportedWhenTheProgramOpens) {
    Early early(/*held=*/false, /*mapper_rc=*/4);
    early.midi->output_names();
    EXPECT_EQ(early.midi->open(kMidiMapperId), 4);
}

TEST(EarlyStartMidi, AnotherFirstOpenClosesTheEarlyOneBeforeItsOwn) {
    Early early;
    early.midi->output_names();
    EXPECT_EQ(early.midi->open(1), 0);
    const auto calls = early.log->what();
    ASSERT_EQ(calls.size(), 4U);
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 2, calls.end()),
              (std::vector<std::string>{"close", "open 1"}));
}

TEST(EarlyStartMidi, NothingSentBeforeTheProgramOpensReachesTheEarlyOpenPort) {
    Early early;
    early.midi->send(0x90);
    EXPECT_FALSE(early.log->open);
    const auto calls = early.log->what();
    ASSERT_EQ(calls.size(), 4U);
    EXPECT_EQ(calls[2], "close");
    EXPECT_EQ(calls[3], "send 144");
}

TEST(EarlyStartMidi, AnUnclaimedEarlyOpenIsWaitedForAndClosedWhenDestroyed) {
    Early early(/*held=*/true);
    std::thread later([log = early.log] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        log->release();
    });
    early.midi.reset();
    later.join();
    const auto calls = early.log->what();
    ASSERT_EQ(calls.size(), 3U);
    EXPECT_EQ(calls.back(), "close");
    EXPECT_FALSE(early.log->open);
}

// The whole start, plain and with the early calls: the same messages in the
// same order, the same message boxes.
TEST(EarlyStartMidi, TheProgramStartsExactlyAsWithoutIt) {
    for (const int rc : {0, 4}) {
        SCOPED_TRACE(rc);
        RecordingMidiSystem plain_midi;
        plain_midi.names = {"Port A"};
        plain_midi.open_rc = rc;
        MemorySettingsStore plain_settings;
        MemoryStyleFile plain_file{shipped_style_file()};
        ScriptedDialogs plain_dialogs;
        Program plain(ProgramPorts{plain_midi, plain_settings, plain_file, plain_dialogs});
        ASSERT_TRUE(plain.start());

        auto inner = std::make_unique<RecordingMidiSystem>();
        inner->names = {"Port A"};
        inner->open_rc = rc;
        RecordingMidiSystem& recorded = *inner;
        EarlyStartMidi early_midi(std::move(inner));
        MemorySettingsStore settings;
        MemoryStyleFile file{shipped_style_file()};
        ScriptedDialogs dialogs;
        Program program(ProgramPorts{early_midi, settings, file, dialogs});
        ASSERT_TRUE(program.start());

        EXPECT_EQ(recorded.events, plain_midi.events);
        ASSERT_EQ(dialogs.shown.size(), plain_dialogs.shown.size());
        for (std::size_t i = 0; i < dialogs.shown.size(); ++i) {
            EXPECT_EQ(dialogs.shown[i].text, plain_dialogs.shown[i].text);
        }
        EXPECT_EQ(program.form1().r.midi_out_handle, plain.form1().r.midi_out_handle);
        EXPECT_EQ(program.form1().controls.at({Ctl::device, 1}).caption, "Port A");
    }
}

} // namespace
} // namespace varkelon::test
