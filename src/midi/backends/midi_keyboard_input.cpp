// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/midi_keyboard_input.h"

#include "midi/backends/midi_keyboard_messages.h"
#include "midi/midi_facts.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <poll.h>
#include <semaphore.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace varkelon {

namespace {

constexpr std::uint8_t data_byte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, kMaxDataValue));
}

// The sequencer counts channels from 0.
constexpr std::uint8_t seq_status(std::uint8_t kind, unsigned seq_channel) {
    return status_byte(kind, static_cast<int>(seq_channel & 0x0F) + 1);
}

} // namespace

std::optional<KeyboardMessage> keyboard_message(const snd_seq_event_t& ev) {
    switch (ev.type) {
    case SND_SEQ_EVENT_NOTEON:
    case SND_SEQ_EVENT_NOTEOFF:
        return KeyboardMessage{
            seq_status(ev.type == SND_SEQ_EVENT_NOTEON ? kNoteOn : kNoteOff, ev.data.note.channel),
            data_byte(ev.data.note.note), data_byte(ev.data.note.velocity)};
    case SND_SEQ_EVENT_CONTROLLER:
        return KeyboardMessage{seq_status(kControlChange, ev.data.control.channel),
                               data_byte(static_cast<int>(std::min(ev.data.control.param, 127U))),
                               data_byte(ev.data.control.value)};
    case SND_SEQ_EVENT_PITCHBEND: {
        // The sequencer centres the wheel on 0 (-8192 to 8191); MIDI on 8192.
        const int bend = std::clamp(ev.data.control.value + 8192, 0, 16383);
        return KeyboardMessage{seq_status(kPitchBend, ev.data.control.channel),
                               static_cast<std::uint8_t>(bend & 0x7F),
                               static_cast<std::uint8_t>(bend >> 7)};
    }
    case SND_SEQ_EVENT_CHANPRESS:
        return KeyboardMessage{seq_status(kChannelPressure, ev.data.control.channel),
                               data_byte(ev.data.control.value), 0};
    default:
        return std::nullopt;
    }
}

std::optional<KeyboardMessage> keyboard_message(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) {
        return std::nullopt;
    }
    const std::uint8_t kind = bytes[0] & 0xF0;
    if ((bytes[1] & 0x80) != 0) {
        return std::nullopt; // a data byte never has its top bit set
    }
    if (kind == kChannelPressure) {
        return KeyboardMessage{bytes[0], bytes[1], 0};
    }
    const bool three_bytes =
        kind == kNoteOff || kind == kNoteOn || kind == kControlChange || kind == kPitchBend;
    if (!three_bytes || size < 3 || (bytes[2] & 0x80) != 0) {
        return std::nullopt;
    }
    return KeyboardMessage{bytes[0], bytes[1], bytes[2]};
}

// ---------------------------------------------------------------- JACK

struct MidiKeyboardInput::Jack {
    explicit Jack(Callbacks& c) : callbacks(c) {}
    Jack(const Jack&) = delete;
    Jack& operator=(const Jack&) = delete;

    ~Jack() {
        stop.store(true);
        sem_post(&wake);
        if (reader.joinable()) {
            reader.join();
        }
        // A client whose server has gone has been freed by libjack already.
        if (client != nullptr && !gone.load()) {
            jack_client_close(client);
        }
        if (ring != nullptr) {
            jack_ringbuffer_free(ring);
        }
        sem_destroy(&wake);
    }

    bool open() {
        sem_init(&wake, 0, 0);
        jack_status_t status{};
        client = jack_client_open(kPortName, JackNoStartServer, &status);
        if (client == nullptr) {
            return false;
        }
        port = jack_port_register(client, kPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        // Room for a chord of every key many times over between two wakes.
        ring = jack_ringbuffer_create(4096);
        if (port == nullptr || ring == nullptr) {
            return false;
        }
        jack_set_process_callback(client, &Jack::on_process, this);
        jack_set_port_registration_callback(client, &Jack::on_registration, this);
        jack_on_shutdown(client, &Jack::on_shutdown, this);
        if (jack_activate(client) != 0) {
            return false;
        }
        reader = std::thread([this] { run(); });
        return true;
    }

    // The server's real-time thread: no locks, no allocation.
    static int on_process(jack_nframes_t frames, void* self) {
        auto* j = static_cast<Jack*>(self);
        void* buffer = jack_port_get_buffer(j->port, frames);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        bool any = false;
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t ev{};
            if (jack_midi_event_get(&ev, buffer, i) != 0) {
                continue;
            }
            const auto m = keyboard_message(ev.buffer, ev.size);
            if (m && jack_ringbuffer_write_space(j->ring) >= sizeof(KeyboardMessage)) {
                jack_ringbuffer_write(j->ring, reinterpret_cast<const char*>(&*m), sizeof *m);
                any = true;
            }
        }
        if (any) {
            sem_post(&j->wake);
        }
        return 0;
    }

    // JACK's notification thread may not change the graph: the reader does.
    static void on_registration(jack_port_id_t /*port*/, int /*registered*/, void* self) {
        auto* j = static_cast<Jack*>(self);
        j->rescan.store(true);
        sem_post(&j->wake);
    }

    static void on_shutdown(void* self) {
        auto* j = static_cast<Jack*>(self);
        j->gone.store(true);
        sem_post(&j->wake);
    }

    void run() {
        while (!stop.load()) {
            if (look_again) {
                timespec until{};
                clock_gettime(CLOCK_REALTIME, &until);
                until.tv_nsec += 50'000'000;
                if (until.tv_nsec >= 1'000'000'000) {
                    until.tv_sec += 1;
                    until.tv_nsec -= 1'000'000'000;
                }
                sem_timedwait(&wake, &until);
            } else {
                sem_wait(&wake); // idle until a note, a notice or the end
            }
            KeyboardMessage m{};
            while (jack_ringbuffer_read_space(ring) >= sizeof m) {
                jack_ringbuffer_read(ring, reinterpret_cast<char*>(&m), sizeof m);
                callbacks.message(m.status, m.data1, m.data2);
            }
            if (gone.load()) {
                if (!connected.empty()) {
                    connected.clear();
                    callbacks.keyboard_gone();
                }
                return; // nothing of the client may be touched any more
            }
            // A notice may come while the port it tells of is still listed
            // (a client going): look again a little later as well.
            const auto now = std::chrono::steady_clock::now();
            if (rescan.exchange(false)) {
                connect_keyboards();
                look_again = now + std::chrono::milliseconds(100);
            } else if (look_again && now >= *look_again) {
                look_again.reset();
                connect_keyboards();
            }
        }
    }

    // Every physical MIDI output: a keyboard, or a bridge of one.
    void connect_keyboards() {
        const char** names = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                            JackPortIsOutput | JackPortIsPhysical);
        std::set<std::string> present;
        for (std::size_t i = 0; names != nullptr && names[i] != nullptr; ++i) {
            present.insert(names[i]);
            if (jack_port_connected_to(port, names[i]) == 0) {
                jack_connect(client, names[i], ::jack_port_name(port));
            }
        }
        jack_free(static_cast<void*>(names));
        bool lost = false;
        for (const std::string& name : connected) {
            lost = lost || present.count(name) == 0;
        }
        connected = std::move(present);
        if (lost) {
            callbacks.keyboard_gone();
        }
    }

    Callbacks& callbacks;
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring = nullptr;
    sem_t wake{};
    std::atomic<bool> rescan{true};
    std::atomic<bool> gone{false};
    std::atomic<bool> stop{false};
    std::set<std::string> connected;                                 // reader thread only
    std::optional<std::chrono::steady_clock::time_point> look_again; // reader thread only
    std::thread reader;
};

// ---------------------------------------------------------------- ALSA

struct MidiKeyboardInput::Alsa {
    explicit Alsa(Callbacks& c) : callbacks(c) {}
    Alsa(const Alsa&) = delete;
    Alsa& operator=(const Alsa&) = delete;

    ~Alsa() {
        if (reader.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = write(stop_fd, &one, sizeof one);
            reader.join();
        }
        if (stop_fd >= 0) {
            close(stop_fd);
        }
        if (seq != nullptr) {
            snd_seq_close(seq);
        }
    }

    bool open() {
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
            seq = nullptr;
            return false; // no sequencer on this machine
        }
        snd_seq_set_client_name(seq, kPortName);
        self = snd_seq_client_id(seq);
        port = snd_seq_create_simple_port(
            seq, kPortName, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        stop_fd = eventfd(0, EFD_CLOEXEC);
        if (port < 0 || stop_fd < 0) {
            return false;
        }
        // The system's announcements tell of ports that appear and go.
        snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        connect_present_keyboards();
        reader = std::thread([this] { run(); });
        return true;
    }

    // A hardware port (a kernel client's, not the "Midi Through" loopback)
    // that can be read from.
    bool is_keyboard(int client, int p) {
        if (client == self || client == SND_SEQ_CLIENT_SYSTEM) {
            return false;
        }
        snd_seq_client_info_t* ci = nullptr;
        snd_seq_port_info_t* pi = nullptr;
        snd_seq_client_info_alloca(&ci);
        snd_seq_port_info_alloca(&pi);
        if (snd_seq_get_any_client_info(seq, client, ci) < 0 ||
            snd_seq_get_any_port_info(seq, client, p, pi) < 0) {
            return false;
        }
        const unsigned caps = snd_seq_port_info_get_capability(pi);
        const unsigned type = snd_seq_port_info_get_type(pi);
        const std::string name = snd_seq_client_info_get_name(ci);
        const unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
        return snd_seq_client_info_get_type(ci) == SND_SEQ_KERNEL_CLIENT &&
               (caps & readable) == readable && (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0 &&
               (type & (SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT)) != 0 &&
               name.rfind("Midi Through", 0) != 0;
    }

    void connect(int client, int p) {
        if (is_keyboard(client, p) && snd_seq_connect_from(seq, port, client, p) == 0) {
            connected.insert({client, p});
        }
    }

    void connect_present_keyboards() {
        snd_seq_client_info_t* ci = nullptr;
        snd_seq_port_info_t* pi = nullptr;
        snd_seq_client_info_alloca(&ci);
        snd_seq_port_info_alloca(&pi);
        snd_seq_client_info_set_client(ci, -1);
        while (snd_seq_query_next_client(seq, ci) >= 0) {
            const int client = snd_seq_client_info_get_client(ci);
            snd_seq_port_info_set_client(pi, client);
            snd_seq_port_info_set_port(pi, -1);
            while (snd_seq_query_next_port(seq, pi) >= 0) {
                connect(client, snd_seq_port_info_get_port(pi));
            }
        }
    }

    void lose(int client, int p) {
        bool lost = false;
        for (auto it = connected.begin(); it != connected.end();) {
            if (it->first == client && (p < 0 || it->second == p)) {
                it = connected.erase(it);
                lost = true;
            } else {
                ++it;
            }
        }
        if (lost) {
            callbacks.keyboard_gone();
        }
    }

    void handle(const snd_seq_event_t& ev) {
        if (const auto m = keyboard_message(ev)) {
            callbacks.message(m->status, m->data1, m->data2);
            return;
        }
        switch (ev.type) {
        case SND_SEQ_EVENT_PORT_START:
            connect(ev.data.addr.client, ev.data.addr.port);
            break;
        case SND_SEQ_EVENT_PORT_EXIT:
            lose(ev.data.addr.client, ev.data.addr.port);
            break;
        case SND_SEQ_EVENT_CLIENT_EXIT:
            lose(ev.data.addr.client, -1);
            break;
        default:
            break;
        }
    }

    void run() {
        const int count = snd_seq_poll_descriptors_count(seq, POLLIN);
        std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
        snd_seq_poll_descriptors(seq, fds.data() + 1, static_cast<unsigned>(count), POLLIN);
        fds[0] = {stop_fd, POLLIN, 0};
        for (;;) {
            if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                return;
            }
            snd_seq_event_t* ev = nullptr;
            while (snd_seq_event_input(seq, &ev) >= 0 && ev != nullptr) {
                handle(*ev);
            }
        }
    }

    Callbacks& callbacks;
    snd_seq_t* seq = nullptr;
    int self = -1;
    int port = -1;
    int stop_fd = -1;
    std::set<std::pair<int, int>> connected; // reader thread only, after open
    std::thread reader;
};

// ---------------------------------------------------------------- the port

MidiKeyboardInput::MidiKeyboardInput(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}

std::unique_ptr<MidiKeyboardInput> MidiKeyboardInput::start(Callbacks callbacks) {
    auto input = std::unique_ptr<MidiKeyboardInput>(new MidiKeyboardInput(std::move(callbacks)));
    input->alsa_ = std::make_unique<Alsa>(input->callbacks_);
    if (!input->alsa_->open()) {
        input->alsa_.reset();
    }
    input->jack_ = std::make_unique<Jack>(input->callbacks_);
    if (!input->jack_->open()) {
        input->jack_.reset();
    }
    if (!input->alsa_ && !input->jack_) {
        return nullptr;
    }
    return input;
}

MidiKeyboardInput::~MidiKeyboardInput() = default;

bool MidiKeyboardInput::on_alsa() const {
    return alsa_ != nullptr;
}

bool MidiKeyboardInput::on_jack() const {
    return jack_ != nullptr;
}

std::string MidiKeyboardInput::jack_port_name() const {
    return jack_ ? std::string(::jack_port_name(jack_->port)) : std::string();
}

} // namespace varkelon
