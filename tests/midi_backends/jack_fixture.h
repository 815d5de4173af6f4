// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A JACK world of the test's own for the tests of the program on JACK: a
// server started with the dummy driver under a name of its own (so it needs
// no sound card and disturbs no server of the user's), another program's
// MIDI input that records, and a hardware-like MIDI keyboard.

#include <RtMidi.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace varkelon::jack_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline constexpr const char* kReceiverClient = "midi-receiver-test";

// A jackd of the test's own, stopped when this object goes, and killed with
// the test process should that die first.
class JackServer {
public:
    // Null, with the reason in `why`, when jackd cannot be started here.
    static std::unique_ptr<JackServer> start(std::string& why) {
        // JACK keeps a machine-wide table of a few servers, and only a server
        // of the same name takes over the entry of one that was killed: so
        // the names come from a small pool. A lock file gives each name to
        // one test process at a time.
        for (int slot = 0; slot < 4; ++slot) {
            const std::string name =
                "varkelon-test-" + std::to_string(getuid()) + "-" + std::to_string(slot);
            auto server = std::unique_ptr<JackServer>(new JackServer(name));
            if (!server->lock_name()) {
                why = "every server name is in use by other tests";
                continue;
            }
            if (server->launch(why)) {
                // Every JACK client of this process now talks to this server.
                setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
                setenv("JACK_NO_START_SERVER", "1", 1);
                return server;
            }
        }
        return nullptr;
    }

    ~JackServer() {
        stop();
        std::remove(log_path().c_str());
        if (lock_fd_ >= 0) {
            ::close(lock_fd_); // releases the name
        }
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // The server shuts down as when its user quits it: its clients are told.
    void stop() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + 5s;
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        pid_ = -1;
    }

private:
    explicit JackServer(std::string name) : name_(std::move(name)) {}

    bool lock_name() {
        const auto path = std::filesystem::temp_directory_path() / (name_ + ".lock");
        lock_fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        return lock_fd_ >= 0 && flock(lock_fd_, LOCK_EX | LOCK_NB) == 0;
    }

    std::string log_path() const {
        return (std::filesystem::temp_directory_path() / (name_ + ".log")).string();
    }

    bool launch(std::string& why) {
        const std::string log = log_path();
        pid_ = fork();
        if (pid_ < 0) {
            why = "fork failed";
            return false;
        }
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int log_fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(log_fd, STDOUT_FILENO);
            dup2(log_fd, STDERR_FILENO);
            // -r before -d: no realtime scheduling; after it: the sample rate.
            execlp("jackd", "jackd", "-n", name_.c_str(), "-r", "-d", "dummy", "-r", "48000", "-p",
                   "256", static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = Clock::now() + 10s;
        while (Clock::now() < deadline) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                std::ifstream in(log);
                why = "jackd exited at once (is jackd2 installed?): " +
                      std::string(std::istreambuf_iterator<char>(in), {});
                return false;
            }
            jack_status_t status{};
            const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
            if (jack_client_t* probe = jack_client_open("probe", options, &status, name_.c_str())) {
                jack_client_close(probe);
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        stop();
        why = "jackd did not answer within 10 s";
        return false;
    }

    pid_t pid_ = -1;
    int lock_fd_ = -1;
    std::string name_;
};

// Another program's MIDI input: a JACK client with one input port "in".
class Receiver {
public:
    Receiver() : in_(RtMidi::UNIX_JACK, kReceiverClient, 8192) {
        in_.setCallback(&Receiver::on_message, this);
        in_.openVirtualPort("in");
    }

    // What has arrived, once `count` messages have or the time is up.
    std::vector<std::uint32_t> wait_for(std::size_t count, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline && received().size() < count) {
            std::this_thread::sleep_for(5ms);
        }
        std::this_thread::sleep_for(50ms); // anything extra shows up too
        return received();
    }

    std::vector<std::uint32_t> received() {
        const std::lock_guard lock(mutex_);
        return messages_;
    }
    // When each message arrived, in the same order.
    std::vector<Clock::time_point> arrival_times() {
        const std::lock_guard lock(mutex_);
        return times_;
    }

private:
    static void on_message(double /*delta_s*/, std::vector<unsigned char>* bytes, void* self) {
        auto& r = *static_cast<Receiver*>(self);
        std::uint32_t packed = 0;
        for (std::size_t i = 0; i < bytes->size() && i < 3; ++i) {
            packed |= static_cast<std::uint32_t>((*bytes)[i]) << (8 * i);
        }
        const std::lock_guard lock(r.mutex_);
        r.messages_.push_back(packed);
        r.times_.push_back(Clock::now());
    }

    RtMidiIn in_;
    std::mutex mutex_;
    std::vector<std::uint32_t> messages_;
    std::vector<Clock::time_point> times_;
};

// A MIDI keyboard as JACK shows a hardware one: a client with one physical
// output port, which plays the messages it is given at its next cycle.
class FakeKeyboard {
public:
    explicit FakeKeyboard(const std::string& client_name, bool physical = true) {
        jack_status_t status{};
        client_ = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
        if (client_ == nullptr) {
            return;
        }
        const unsigned long flags =
            JackPortIsOutput | (physical ? JackPortIsPhysical | JackPortIsTerminal : 0);
        port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, flags, 0);
        ring_ = jack_ringbuffer_create(1024);
        jack_set_process_callback(client_, &FakeKeyboard::on_process, this);
        if (port_ == nullptr || jack_activate(client_) != 0) {
            port_ = nullptr;
        }
    }
    ~FakeKeyboard() { unplug(); }
    FakeKeyboard(const FakeKeyboard&) = delete;
    FakeKeyboard& operator=(const FakeKeyboard&) = delete;

    bool ok() const { return port_ != nullptr; }
    std::string port_name() const { return jack_port_name(port_); }
    bool connected_to(const std::string& port) const {
        return jack_port_connected_to(port_, port.c_str()) != 0;
    }
    void play(std::uint8_t status, std::uint8_t note, std::uint8_t velocity) {
        const std::uint8_t bytes[3] = {status, note, velocity};
        jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    void unplug() {
        if (client_ != nullptr) {
            jack_client_close(client_);
            client_ = nullptr;
        }
        if (ring_ != nullptr) {
            jack_ringbuffer_free(ring_);
            ring_ = nullptr;
        }
    }

private:
    static int on_process(jack_nframes_t frames, void* self) {
        auto* k = static_cast<FakeKeyboard*>(self);
        void* buffer = jack_port_get_buffer(k->port_, frames);
        jack_midi_clear_buffer(buffer);
        std::uint8_t bytes[3];
        while (jack_ringbuffer_read_space(k->ring_) >= sizeof bytes) {
            jack_ringbuffer_read(k->ring_, reinterpret_cast<char*>(bytes), sizeof bytes);
            jack_midi_event_write(buffer, 0, bytes, sizeof bytes);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
};

} // namespace varkelon::jack_test
