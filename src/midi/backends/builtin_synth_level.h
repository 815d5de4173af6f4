// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the built-in synth does to its sound after FluidSynth has rendered
// it, and how it knows that nothing sounds.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace varkelon {

// Keeps every sample within a ceiling. The gain follows the loudest recent
// sample at once (no sample passes above the ceiling) and recovers with the
// release time, so loud chords are turned down instead of clipped, while
// what stays below the ceiling passes untouched.
class PeakLimiter {
public:
    PeakLimiter(double ceiling_dbfs, double release_ms, double sample_rate)
        : ceiling_(static_cast<float>(std::pow(10.0, ceiling_dbfs / 20.0))),
          release_(static_cast<float>(std::exp(-1000.0 / (release_ms * sample_rate)))) {}

    // Left and right samples every `stride` floats; linked, so the stereo
    // image stays.
    void process(float* left, float* right, int frames, int stride) {
        for (int i = 0; i < frames; ++i) {
            float& l = left[static_cast<std::ptrdiff_t>(i) * stride];
            float& r = right[static_cast<std::ptrdiff_t>(i) * stride];
            envelope_ = std::max({std::fabs(l), std::fabs(r), envelope_ * release_});
            if (envelope_ > ceiling_) {
                // Clamped as well: the product can round one step above.
                const float gain = ceiling_ / envelope_;
                l = std::clamp(l * gain, -ceiling_, ceiling_);
                r = std::clamp(r * gain, -ceiling_, ceiling_);
            }
        }
        if (envelope_ < kFloor) {
            envelope_ = 0.0F; // no denormals in a long silence
        }
    }

    float ceiling() const { return ceiling_; }

private:
    static constexpr float kFloor = 1e-9F;
    float ceiling_;
    float release_;
    float envelope_ = 0.0F;
};

// Counts how long nothing has sounded: no voice playing, no sample above the
// floor (a reverb's tail has died away), and no message arriving. Fed after
// every block rendered.
class SilenceWatch {
public:
    // Far below anything audible, above the last traces of a reverb's tail.
    static constexpr float kFloor = 1e-4F; // -80 dBFS

    explicit SilenceWatch(std::int64_t quiet_frames) : quiet_frames_(quiet_frames) {}

    // `activity` counts the messages sent so far. True once the silence has
    // lasted `quiet_frames`.
    bool long_enough(int frames, bool voices_playing, float peak, std::uint64_t activity) {
        if (voices_playing || peak > kFloor || activity != activity_) {
            activity_ = activity;
            silent_ = 0;
            return false;
        }
        silent_ += frames;
        return silent_ >= quiet_frames_;
    }
    // Starts counting anew, from the activity seen last.
    void restart() { silent_ = 0; }
    std::uint64_t activity() const { return activity_; }

private:
    std::int64_t quiet_frames_;
    std::int64_t silent_ = 0;
    std::uint64_t activity_ = 0;
};

inline float peak_of(const float* left, const float* right, int frames, int stride) {
    float peak = 0.0F;
    for (int i = 0; i < frames; ++i) {
        peak = std::max({peak, std::fabs(left[static_cast<std::ptrdiff_t>(i) * stride]),
                         std::fabs(right[static_cast<std::ptrdiff_t>(i) * stride])});
    }
    return peak;
}

} // namespace varkelon
