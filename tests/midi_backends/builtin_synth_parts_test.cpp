// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in synth's parts that need no FluidSynth and no audio: the
// rendering front, the timed queue, what is kept during the SoundFont's
// load, and which presets stay loaded. Time here is numbers handed in.

#include "midi/backends/builtin_synth_clock.h"
#include "midi/backends/builtin_synth_level.h"
#include "midi/backends/builtin_synth_pending.h"
#include "midi/backends/builtin_synth_pins.h"
#include "midi/backends/builtin_synth_queue.h"
#include "midi/midi_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace varkelon {
namespace {

// ------------------------------------------------------- rendering front

constexpr double kBlockMs = 64 * 1000.0 / 48000.0;

// Blocks rendered a period at a time, as an audio thread does: each
// period's blocks start in a burst at the period's wake-up.
void render_periods(RenderingFront& front, double& rendered, double& host, double until_host,
                    double lead, double late_by = 0.0) {
    constexpr int kBlocksPerPeriod = 4;
    const double period_ms = kBlocksPerPeriod * kBlockMs;
    while (host < until_host) {
        rendered = host + lead;
        for (int b = 0; b < kBlocksPerPeriod; ++b) {
            front.sample(rendered + b * kBlockMs, host + late_by);
        }
        host += period_ms;
    }
}

TEST(RenderingFront, UnknownUntilSampledAndAfterForget) {
    RenderingFront front;
    EXPECT_EQ(front.lead_ms(-3.0), -3.0) << "only the reading at hand";
    front.sample(110.0, 100.0);
    EXPECT_EQ(front.lead_ms(-3.0), 10.0);
    EXPECT_EQ(front.lead_ms(12.0), 12.0) << "a reading ahead of the front wins";
    front.forget();
    EXPECT_EQ(front.lead_ms(-3.0), -3.0);
}

TEST(RenderingFront, LateWakeUpsDoNotMoveIt) {
    RenderingFront front;
    double rendered = 0, host = 0;
    render_periods(front, rendered, host, 1000.0, 20.0);
    const double steady = front.lead_ms(-100.0);
    // Blocks of a period start further ahead than its first: the front is
    // the lead of the last block of a period.
    EXPECT_NEAR(steady, 20.0 + 3 * kBlockMs, 1e-9);
    // A stretch of late wake-ups, each shorter than the window.
    render_periods(front, rendered, host, 1100.0, 20.0, 4.0);
    EXPECT_NEAR(front.lead_ms(-100.0), steady, 1e-9);
}

TEST(RenderingFront, FollowsAnOutputThatLostTimeWithinHalfASecond) {
    RenderingFront front;
    double rendered = 0, host = 0;
    render_periods(front, rendered, host, 1000.0, 20.0);
    const double before = front.lead_ms(-100.0);
    // An xrun: from now on the rendered time leads 8 ms less.
    render_periods(front, rendered, host, 1000.0 + RenderingFront::kWindowMs / 2, 12.0);
    EXPECT_NEAR(front.lead_ms(-100.0), before, 1e-9) << "still within the window";
    render_periods(front, rendered, host, 1000.0 + 2 * RenderingFront::kWindowMs + 10, 12.0);
    EXPECT_NEAR(front.lead_ms(-100.0), before - 8.0, 1e-9);
}

// With the server's cycle starts, how late the thread woke does not count,
// time lost is followed at once, and readings without them no longer count.
TEST(RenderingFront, TheServersCycleStartsAreTakenAsTheyCome) {
    RenderingFront front;
    front.sample(110.0, 100.0);
    front.sample_cycle(205.0, 200.0);
    EXPECT_EQ(front.lead_ms(-100.0), 5.0) << "the cycle's lead, not the larger one before";
    front.sample(400.0, 380.0);
    EXPECT_EQ(front.lead_ms(-100.0), 5.0) << "a reading against the wake-up is left out";
    front.sample_cycle(240.0, 243.0);
    EXPECT_EQ(front.lead_ms(-100.0), -3.0) << "time lost: followed from the next cycle on";
    front.forget();
    front.sample(400.0, 380.0);
    EXPECT_EQ(front.lead_ms(-100.0), 20.0) << "after forget() an output without them counts";
}

// A message placed at nearest_block_tick() is taken at the start of the
// block nearest its moment: that block is the first whose time (as
// FluidSynth computes it) reaches the tick, and it starts at most half a
// block from the moment. (At rates above 64 kHz a block is shorter than the
// sequencer's millisecond, and two blocks can share one time.)
TEST(NearestBlockTick, TheBlockTakingTheMessageStartsNearestItsMoment) {
    for (const double rate : {44100.0, 48000.0, 64000.0}) {
        const double block_ms = 64 * 1000.0 / rate;
        const auto sequencer_ms = [rate](long block) {
            return static_cast<unsigned>(1000.0 * static_cast<double>(block * 64) / rate);
        };
        for (double at = 0.0; at < 200.0; at += 0.037) {
            const unsigned tick = nearest_block_tick(at, rate);
            long taken = 0; // the first block whose time reaches the tick
            while (sequencer_ms(taken) < tick) {
                ++taken;
            }
            const double start = static_cast<double>(taken) * block_ms;
            ASSERT_LE(std::abs(start - at), block_ms / 2 + 1e-9)
                << "rate " << rate << ", moment " << at << " ms: block at " << start;
        }
    }
    EXPECT_EQ(nearest_block_tick(-3.0, 48000), 0U) << "before the start: the first block";
}

// ------------------------------------------------------------ timed queue

TEST(TimedQueue, KeepsTheOrderSentAndHandsOutOnlyWhatIsDue) {
    TimedQueue queue;
    EXPECT_EQ(queue.next_number(), 1U);
    const std::vector<std::pair<double, unsigned>> asked_and_due{
        {10.4, 10}, {12.6, 13}, {11.0, 13}, // earlier than the one before: waits for it
        {-5.0, 13},                         // before the start of time
        {20.0, 20},
    };
    for (std::size_t i = 0; i < asked_and_due.size(); ++i) {
        const TimedQueue::Timed t =
            queue.push(static_cast<std::uint32_t>(i), asked_and_due[i].first);
        EXPECT_EQ(t.at_tick, asked_and_due[i].second) << i;
        EXPECT_EQ(t.number, i + 1);
    }
    EXPECT_FALSE(queue.pop_due(9));
    EXPECT_EQ(queue.pop_due(10)->message, 0U);
    EXPECT_FALSE(queue.pop_due(12));
    std::vector<std::uint32_t> at13;
    while (const auto t = queue.pop_due(13)) {
        at13.push_back(t->message);
    }
    EXPECT_EQ(at13, (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(queue.applied(), 0U) << "taken is not applied";
    queue.mark_applied(4);
    EXPECT_EQ(queue.applied(), 4U);
    EXPECT_EQ(queue.pop_due(1000)->number, 5U);
    EXPECT_FALSE(queue.pop_due(1000));
}

TEST(TimedQueue, GrowsWhileWrappedAroundWithoutReordering) {
    TimedQueue queue(4);
    std::uint32_t sent = 0, taken = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 7; ++i) {
            queue.push(sent++, 100.0 * round);
        }
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(queue.pop_due(100U * round)->message, taken++);
        }
    }
    const std::vector<TimedQueue::Timed> rest = queue.take_all();
    ASSERT_EQ(rest.size(), sent - taken);
    for (const TimedQueue::Timed& t : rest) {
        EXPECT_EQ(t.message, taken++);
    }
    EXPECT_EQ(queue.applied(), sent) << "what was taken away counts as done";
    EXPECT_FALSE(queue.pop_due(100000));
}

// ---------------------------------------------------------- pending state

TEST(PendingState, ReplaysSettingsInOrderAndOnlyTheNotesStillHeld) {
    const auto m = pack_short_message;
    struct Case {
        const char* name;
        std::vector<std::uint32_t> sent;
        std::vector<std::uint32_t> replayed;
    };
    const std::vector<Case> cases{
        {"a note begun and ended", {m(0x90, 60, 100), m(0x80, 60, 0)}, {}},
        {"velocity 0 ends it", {m(0x91, 60, 100), m(0x91, 60, 0)}, {}},
        {"held, with the last velocity", {m(0x91, 60, 100), m(0x91, 60, 70)}, {m(0x91, 60, 70)}},
        {"settings first, in order, then the held notes by channel and key",
         {m(0x92, 64, 90), m(0xC0, 73, 0), m(0x90, 62, 80), m(0xB0, 7, 90), m(0xE0, 0, 64)},
         {m(0xC0, 73, 0), m(0xB0, 7, 90), m(0xE0, 0, 64), m(0x90, 62, 80), m(0x92, 64, 90)}},
        {"all notes off and all sound off end the channel's notes and are not kept",
         {m(0x99, 38, 100), m(0x90, 60, 9), m(0xB9, 123, 0), m(0x90, 61, 9), m(0xB0, 120, 0)},
         {}},
        {"other mode messages end the notes and are kept",
         {m(0x90, 60, 9), m(0xB0, 121, 0)},
         {m(0xB0, 121, 0)}},
        {"key pressure and system messages are dropped",
         {m(0xA0, 60, 50), 0xF8, 0xFE, m(0xD0, 40, 0)},
         {m(0xD0, 40, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PendingState pending;
        for (const std::uint32_t message : c.sent) {
            pending.record(message);
        }
        EXPECT_EQ(pending.replay(), c.replayed);
    }
}

TEST(PendingState, ClosingEndsHeldNotesAndAFloodIsCapped) {
    PendingState pending;
    pending.record(pack_short_message(0x90, 60, 100));
    pending.record(pack_short_message(0xC1, 5, 0));
    pending.release_all();
    EXPECT_EQ(pending.replay(), (std::vector<std::uint32_t>{pack_short_message(0xC1, 5, 0)}));
    for (std::size_t i = 0; i < 2 * PendingState::kMaxMessages; ++i) {
        pending.record(pack_short_message(0xB0, 7, static_cast<int>(i % 128)));
    }
    EXPECT_EQ(pending.replay().size(), PendingState::kMaxMessages);
}

// ----------------------------------------------------- limiter, silence

TEST(PeakLimiter, NothingPassesAboveTheCeilingAndQuietSoundIsUntouched) {
    constexpr double kRate = 48000.0;
    PeakLimiter limiter(-0.5, 300.0, kRate);
    // A quiet tone, a burst at four times full scale, then the quiet tone again.
    std::vector<float> stereo;
    const auto tone = [&](double amplitude, double seconds) {
        for (int i = 0; i < static_cast<int>(seconds * kRate); ++i) {
            const auto v = static_cast<float>(amplitude * std::sin(i * 0.05));
            stereo.push_back(v);
            stereo.push_back(-v);
        }
    };
    tone(0.5, 0.5);
    tone(4.0, 0.2);
    tone(0.5, 3.0);
    const std::vector<float> dry = stereo;
    for (std::size_t at = 0; at < stereo.size(); at += 2 * 256) {
        const int frames = static_cast<int>(std::min<std::size_t>(256, (stereo.size() - at) / 2));
        limiter.process(&stereo[at], &stereo[at + 1], frames, 2);
    }
    float loudest = 0;
    for (const float v : stereo) {
        loudest = std::max(loudest, std::fabs(v));
    }
    EXPECT_LE(loudest, limiter.ceiling());
    EXPECT_NEAR(loudest, limiter.ceiling(), 1e-3) << "the burst is turned down, not away";
    const std::size_t burst_end = static_cast<std::size_t>(0.7 * kRate) * 2;
    for (std::size_t i = 0; i < static_cast<std::size_t>(0.5 * kRate) * 2; ++i) {
        ASSERT_EQ(stereo[i], dry[i]) << "before the burst, at " << i;
    }
    const auto rms_of = [](const std::vector<float>& v, std::size_t from, std::size_t n) {
        double sum = 0;
        for (std::size_t i = from; i < from + n; ++i) {
            sum += static_cast<double>(v[i]) * v[i];
        }
        return std::sqrt(sum / static_cast<double>(n));
    };
    EXPECT_LT(rms_of(stereo, burst_end, 960), 0.9 * rms_of(dry, burst_end, 960))
        << "recovers gradually";
    const std::size_t last = stereo.size() - 2;
    EXPECT_NEAR(stereo[last], dry[last], 1e-6) << "recovered within three seconds";
}

TEST(SilenceWatch, CountsOnlyTrueSilence) {
    SilenceWatch watch(1000);
    EXPECT_FALSE(watch.long_enough(600, false, 0.0F, 0));
    EXPECT_TRUE(watch.long_enough(600, false, 0.0F, 0));
    struct Case {
        const char* name;
        bool voices;
        float peak;
        std::uint64_t activity;
    };
    for (const Case& c : {Case{"a voice still playing", true, 0.0F, 0},
                          Case{"a reverb's tail", false, 2 * SilenceWatch::kFloor, 0},
                          Case{"a message sent", false, 0.0F, 1}}) {
        SCOPED_TRACE(c.name);
        SilenceWatch w(1000);
        EXPECT_FALSE(w.long_enough(900, false, 0.0F, 0));
        EXPECT_FALSE(w.long_enough(10, c.voices, c.peak, c.activity));
        EXPECT_FALSE(w.long_enough(900, false, 0.0F, c.activity)) << "counts anew";
        EXPECT_TRUE(w.long_enough(100, false, 0.0F, c.activity));
    }
}

// ------------------------------------------------------------ preset pins

// A SoundFont with the presets listed; logs every read and release.
class FakeSamples : public PresetPins::Samples {
public:
    explicit FakeSamples(std::set<std::pair<int, int>> presets) : presets_(std::move(presets)) {}
    bool pin(int bank, int program) override {
        if (presets_.count({bank, program}) == 0) {
            return false;
        }
        log.push_back("pin " + std::to_string(bank) + ":" + std::to_string(program));
        return true;
    }
    void unpin(int bank, int program) override {
        log.push_back("unpin " + std::to_string(bank) + ":" + std::to_string(program));
    }
    std::vector<std::string> take() { return std::exchange(log, {}); }
    std::vector<std::string> log;

private:
    std::set<std::pair<int, int>> presets_;
};

using Log = std::vector<std::string>;

class PresetPinsTest : public testing::Test {
protected:
    // Queues `message` as the next number, as the synth does.
    void queue(std::uint32_t message) {
        pins_.release(applied_);
        pins_.before_queued(message, ++number_);
    }
    void apply_all() { applied_ = number_; }

    FakeSamples samples_{{{0, 0}, {0, 19}, {0, 20}, {0, 34}, {8, 19}, {128, 0}, {128, 16}}};
    PresetPins pins_{samples_};
    std::uint64_t number_ = 0;
    std::uint64_t applied_ = 0;
};

TEST_F(PresetPinsTest, AProgramIsHeldUntilTheChangeAwayFromItHasTakenEffect) {
    queue(pack_short_message(0xC0, 19, 0));
    EXPECT_EQ(samples_.take(), (Log{"pin 0:19"}));
    queue(pack_short_message(0xC0, 20, 0));
    EXPECT_EQ(samples_.take(), (Log{"pin 0:20"}));
    queue(pack_short_message(0x90, 60, 90));
    EXPECT_EQ(samples_.take(), Log{}) << "the change to 20 has not sounded yet";
    apply_all();
    queue(pack_short_message(0x80, 60, 0));
    EXPECT_EQ(samples_.take(), (Log{"unpin 0:19"}));
}

TEST_F(PresetPinsTest, APresetTwoChannelsHoldIsReadOnceAndLetGoWhenBothMoveOn) {
    queue(pack_short_message(0xC0, 19, 0));
    queue(pack_short_message(0xC1, 19, 0));
    EXPECT_EQ(samples_.take(), (Log{"pin 0:19"}));
    queue(pack_short_message(0xC0, 20, 0));
    apply_all();
    queue(pack_short_message(0xC0, 20, 0)); // the same again: held twice by channel 1
    EXPECT_EQ(samples_.take(), (Log{"pin 0:20"})) << "channel 2 still holds 19";
    queue(pack_short_message(0xC1, 34, 0));
    apply_all();
    queue(pack_short_message(0x90, 60, 90));
    EXPECT_EQ(samples_.take(), (Log{"pin 0:34", "unpin 0:19"}));
}

TEST_F(PresetPinsTest, PinnedForGoodAreNeitherReadAgainNorLetGo) {
    pins_.pin_for_good({-1, 34, 128, 34, 99}); // 99 is missing from this SoundFont
    EXPECT_EQ(samples_.take(), (Log{"pin 128:0", "pin 0:34"}));
    queue(pack_short_message(0xC0, 34, 0));
    queue(pack_short_message(0xC9, 0, 0));
    queue(pack_short_message(0xC0, 19, 0));
    queue(pack_short_message(0xC9, 16, 0));
    apply_all();
    queue(pack_short_message(0xC0, 34, 0));
    queue(pack_short_message(0xC9, 0, 0));
    apply_all();
    queue(pack_short_message(0x90, 60, 90));
    EXPECT_EQ(samples_.take(), (Log{"pin 0:19", "pin 128:16", "unpin 0:19", "unpin 128:16"}));
}

TEST_F(PresetPinsTest, ReadsWhatTheSynthWillSelectForBankAndDrumChannel) {
    const auto m = pack_short_message;
    struct Case {
        const char* name;
        std::vector<std::uint32_t> sent;
        Log read;
    };
    const std::vector<Case> cases{
        {"bank select", {m(0xB0, 0, 8), m(0xC0, 19, 0)}, {"pin 8:19"}},
        {"missing in the bank: bank 0", {m(0xB0, 0, 8), m(0xC0, 20, 0)}, {"pin 0:20"}},
        {"channel 10 plays kits", {m(0xC9, 16, 0)}, {"pin 128:16"}},
        {"missing kit: the standard kit", {m(0xC9, 40, 0)}, {"pin 128:0"}},
        {"missing everywhere: nothing held", {m(0xC0, 99, 0)}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSamples samples{{{0, 19}, {0, 20}, {8, 19}, {128, 0}, {128, 16}}};
        PresetPins pins(samples);
        std::uint64_t number = 0;
        for (const std::uint32_t message : c.sent) {
            pins.before_queued(message, ++number);
        }
        EXPECT_EQ(samples.log, c.read);
    }
}

} // namespace
} // namespace varkelon
