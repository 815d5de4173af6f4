// SPDX-License-Identifier: GPL-3.0-or-later
// The synth's native PipeWire output against a PipeWire of the test's own
// (with WirePlumber and pipewire-pulse, as a desktop runs them): how the
// mixer lists the stream, that its sound reaches the sink, that the sink is
// let go while the source sleeps and runs again on resume(), and that the
// built-in synth chooses this output where PipeWire answers.

#include "midi/backends/audio_output.h"
#include "midi/backends/builtin_synth.h"
#include "midi/backends/open_codes.h"
#include "pipewire_fixture.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace varkelon {
namespace {

using namespace std::chrono_literals;
using pipewire_test::PipewireServer;
using pipewire_test::poll_until;
using pipewire_test::run;

// A tone at half scale, or silence while asleep; counts its renders.
class ToneSource final : public AudioSource {
public:
    bool render(float* left, float* right, int frames, int stride) override {
        const bool awake = !asleep.load();
        for (int i = 0; i < frames; ++i) {
            const float v =
                awake ? 0.5F * static_cast<float>(std::sin(phase_ += 2 * M_PI * 440 / 48000))
                      : 0.0F;
            left[static_cast<std::ptrdiff_t>(i) * stride] = v;
            right[static_cast<std::ptrdiff_t>(i) * stride] = v;
        }
        renders.fetch_add(1);
        return awake;
    }
    std::atomic<bool> asleep{false};
    std::atomic<long> renders{0};

private:
    double phase_ = 0;
};

AudioStreamInfo program_stream() {
    return AudioStreamInfo{"Варкелон", "varkelon", "music", 48000.0, 256};
}

std::string sink_inputs() {
    return run("pactl list sink-inputs");
}

// The stream's "Corked" line as pactl shows it: "yes", "no", or empty
// while it is not listed.
std::string corked() {
    const std::string list = sink_inputs();
    const auto at = list.find("Corked: ");
    return at == std::string::npos ? std::string{}
                                   : list.substr(at + 8, list.find('\n', at) - at - 8);
}

bool renders_advance(const std::atomic<long>& renders) {
    const long from = renders.load();
    return poll_until([&] { return renders.load() > from + 5; }, 10s);
}

// The loudest sample on the null sink's monitor over about a second.
float recorded_peak(const std::string& folder) {
    const std::string file = folder + "/monitor.raw";
    // Small fragments: by default parec hands over its data seconds later.
    run("timeout -s INT 1.5 parec -d null.monitor --latency-msec=20 --raw --format=float32le "
        "--channels=1 --rate=48000 > " +
        file);
    std::ifstream in(file, std::ios::binary);
    std::vector<float> samples;
    float v = 0;
    while (in.read(reinterpret_cast<char*>(&v), sizeof v)) {
        samples.push_back(std::fabs(v));
    }
    return samples.empty() ? 0.0F : *std::max_element(samples.begin(), samples.end());
}

class PipewireOutputTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        server_ = PipewireServer::start(why);
        if (!server_) {
            GTEST_SKIP() << "cannot start PipeWire for the test: " << why;
        }
    }
    std::unique_ptr<PipewireServer> server_;
};

TEST_F(PipewireOutputTest, IsListedAsTheProgramPlaysSleepsAndWakes) {
    ToneSource source;
    auto output = open_pipewire_output(program_stream(), source);
    ASSERT_NE(output, nullptr);
    ASSERT_TRUE(renders_advance(source.renders)) << "the graph never asked for audio";

    ASSERT_TRUE(poll_until([] { return !corked().empty(); }, 10s));
    const std::string listed = sink_inputs();
    for (const char* property :
         {"application.name = \"Варкелон\"", "media.name = \"Варкелон\"",
          "application.icon_name = \"varkelon\"", "media.role = \"music\""}) {
        EXPECT_NE(listed.find(property), std::string::npos) << property << " in\n" << listed;
    }
    // Natively, not through pipewire-pulse.
    EXPECT_EQ(listed.find("client.api = \"pipewire-pulse\""), std::string::npos) << listed;
    EXPECT_EQ(corked(), "no");
    EXPECT_GT(recorded_peak(server_->runtime_dir()), 0.25F) << "the tone did not reach the sink";

    // Asleep: the stream goes inactive, nothing is rendered, the sink is let go.
    source.asleep = true;
    EXPECT_TRUE(poll_until([] { return corked() == "yes"; }, 10s)) << sink_inputs();
    EXPECT_TRUE(poll_until(
        [] {
            const std::string state = PipewireServer::sink_state();
            return state == "SUSPENDED" || state == "IDLE";
        },
        15s))
        << PipewireServer::sink_state();
    const long asleep_renders = source.renders.load();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(source.renders.load(), asleep_renders) << "rendered while inactive";

    source.asleep = false;
    output->resume();
    EXPECT_TRUE(renders_advance(source.renders)) << "resume() did not bring the stream back";
    EXPECT_TRUE(poll_until([] { return corked() == "no"; }, 10s));
    EXPECT_TRUE(poll_until([] { return PipewireServer::sink_state() == "RUNNING"; }, 10s))
        << PipewireServer::sink_state();

    output.reset();
    EXPECT_TRUE(poll_until([] { return corked().empty(); }, 10s))
        << "the stream outlived its output";
}

// A resume() that comes while the source is deciding to sleep (the synth
// woken from another thread just then) keeps the stream running.
TEST_F(PipewireOutputTest, ResumeRacingTheSleepKeepsTheStreamRunning) {
    class RacingSource final : public AudioSource {
    public:
        bool render(float* left, float* right, int frames, int stride) override {
            for (int i = 0; i < frames; ++i) {
                left[static_cast<std::ptrdiff_t>(i) * stride] = 0.0F;
                right[static_cast<std::ptrdiff_t>(i) * stride] = 0.0F;
            }
            renders.fetch_add(1);
            if (sleep_once.exchange(false)) {
                // The wake-up lands between the decision and its report.
                output.load()->resume();
                return false;
            }
            return true;
        }
        std::atomic<AudioOutput*> output{nullptr};
        std::atomic<bool> sleep_once{false};
        std::atomic<long> renders{0};
    } source;
    auto output = open_pipewire_output(program_stream(), source);
    ASSERT_NE(output, nullptr);
    source.output = output.get();
    ASSERT_TRUE(renders_advance(source.renders));
    source.sleep_once = true;
    ASSERT_TRUE(poll_until([&] { return !source.sleep_once.load(); }, 10s));
    EXPECT_TRUE(renders_advance(source.renders)) << "the stream went inactive";
    EXPECT_EQ(corked(), "no");
}

// The built-in synth plays through PipeWire itself where it answers, and
// lets the sink go while it sleeps.
TEST_F(PipewireOutputTest, BuiltinSynthChoosesItAndSleepsThere) {
    const std::string soundfont = find_gm_soundfont();
    if (soundfont.empty()) {
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
    BuiltinSynth::Options options{soundfont, BuiltinSynth::Output::Audio};
    options.sleep_after_s = 1.0;
    BuiltinSynth synth(options);
    ASSERT_EQ(synth.open(), kOpenOk);
    ASSERT_TRUE(poll_until([] { return !corked().empty(); }, 10s));
    const std::string listed = sink_inputs();
    EXPECT_NE(listed.find("application.name = \"Варкелон\""), std::string::npos) << listed;
    EXPECT_EQ(listed.find("client.api = \"pipewire-pulse\""), std::string::npos)
        << "chose the PulseAudio output:\n"
        << listed;

    EXPECT_TRUE(poll_until([&] { return synth.asleep() && corked() == "yes"; }, 15s))
        << sink_inputs();
    synth.wake();
    EXPECT_TRUE(poll_until([] { return corked() == "no"; }, 10s)) << sink_inputs();
    synth.close();
}

// Where no PipeWire daemon listens, the output says so at once, and the
// synth goes on to the next.
TEST(PipewireOutput, WithoutADaemonIsNull) {
    char folder[] = "/tmp/varkelon-no-pipewire-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("PIPEWIRE_RUNTIME_DIR", folder, 1);
    unsetenv("PIPEWIRE_REMOTE");
    ToneSource source;
    EXPECT_EQ(open_pipewire_output(program_stream(), source), nullptr);
    EXPECT_EQ(source.renders.load(), 0);
    std::filesystem::remove(folder);
}

// Where a client would look for the daemon's socket decides whether one is
// tried at all; a wrong "no" would lose the native stream on a desktop.
TEST(PipewireOutput, LooksForTheSocketWhereAClientWouldConnect) {
    const char* xdg_before = std::getenv("XDG_RUNTIME_DIR");
    const std::string xdg_kept = xdg_before != nullptr ? xdg_before : "";
    char root[] = "/tmp/varkelon-pipewire-socket-XXXXXX";
    ASSERT_NE(mkdtemp(root), nullptr);
    const std::filesystem::path with = std::filesystem::path(root) / "with";
    const std::filesystem::path without = std::filesystem::path(root) / "without";
    std::filesystem::create_directories(with);
    std::filesystem::create_directories(without);
    const auto make_socket = [](const std::filesystem::path& path) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        const bool bound =
            fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) {
            close(fd); // the socket file stays
        }
        return bound;
    };
    ASSERT_TRUE(make_socket(with / "pipewire-0"));
    ASSERT_TRUE(make_socket(with / "other"));
    std::ofstream(without / "pipewire-0") << "not a socket";

    struct Case {
        const char* what;
        std::string runtime, xdg, remote;
        bool expected;
    };
    const std::vector<Case> cases{
        {"the socket in PIPEWIRE_RUNTIME_DIR", with, "", "", true},
        {"an empty runtime folder", without, "", "", false},
        {"no folder set at all", "", "", "", false},
        {"the socket in XDG_RUNTIME_DIR", "", with, "", true},
        {"either folder will do", without, with, "", true},
        {"a remote named in the folder", with, "", "other", true},
        {"a remote named that is not there", with, "", "missing", false},
        {"a remote by its path", without, "", (with / "other").string(), true},
        {"a remote by a path that is not a socket", with, "", (without / "pipewire-0").string(),
         false},
    };
    for (const Case& c : cases) {
        for (const auto& [variable, value] :
             {std::pair{"PIPEWIRE_RUNTIME_DIR", c.runtime}, std::pair{"XDG_RUNTIME_DIR", c.xdg},
              std::pair{"PIPEWIRE_REMOTE", c.remote}}) {
            if (value.empty()) {
                unsetenv(variable);
            } else {
                setenv(variable, value.c_str(), 1);
            }
        }
        unsetenv("USERPROFILE");
        if (!std::filesystem::exists("/run/pipewire/pipewire-0")) {
            EXPECT_EQ(pipewire_socket_may_exist(), c.expected) << c.what;
        }
    }
    unsetenv("PIPEWIRE_REMOTE");
    if (xdg_before != nullptr) {
        setenv("XDG_RUNTIME_DIR", xdg_kept.c_str(), 1);
    }
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace varkelon
