// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/jack_watch.h"

namespace varkelon {

bool CycleBudget::take(std::uint64_t cycle, std::size_t bytes) {
    // Bytes written while the count stood at c are gone once cycle c + 1 has
    // run from start to end, which c + 3 proves.
    while (!by_cycle_.empty() && by_cycle_.front().first + 3 <= cycle) {
        pending_ -= by_cycle_.front().second;
        by_cycle_.pop_front();
    }
    if (pending_ + bytes > kBudgetBytes) {
        return false;
    }
    if (by_cycle_.empty() || by_cycle_.back().first != cycle) {
        by_cycle_.emplace_back(cycle, 0);
    }
    by_cycle_.back().second += bytes;
    pending_ += bytes;
    return true;
}

std::optional<std::vector<std::string>> jack_midi_input_ports(const std::string& client_name) {
    jack_status_t status{};
    jack_client_t* client = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
    if (client == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    for (std::size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i) {
        names.emplace_back(ports[i]);
    }
    jack_free(static_cast<void*>(ports));
    jack_client_close(client);
    return names;
}

std::unique_ptr<JackWatch> JackWatch::start(const std::string& client_name) {
    auto watch = std::unique_ptr<JackWatch>(new JackWatch());
    jack_status_t status{};
    watch->client_ = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
    if (watch->client_ == nullptr) {
        return nullptr;
    }
    jack_set_process_callback(watch->client_, &JackWatch::on_process, watch.get());
    jack_on_shutdown(watch->client_, &JackWatch::on_shutdown, watch.get());
    if (jack_activate(watch->client_) != 0) {
        return nullptr; // the destructor closes the client
    }
    return watch;
}

std::size_t JackWatch::connections(const std::string& port) const {
    const jack_port_t* p = jack_port_by_name(client_, port.c_str());
    if (p == nullptr) {
        return 0;
    }
    const char** names = jack_port_get_all_connections(client_, p);
    std::size_t count = 0;
    while (names != nullptr && names[count] != nullptr) {
        ++count;
    }
    jack_free(static_cast<void*>(names));
    return count;
}

JackWatch::~JackWatch() {
    if (client_ != nullptr) {
        jack_client_close(client_);
    }
}

int JackWatch::on_process(jack_nframes_t /*frames*/, void* self) {
    static_cast<JackWatch*>(self)->cycles_.fetch_add(1, std::memory_order_release);
    return 0;
}

void JackWatch::on_shutdown(void* self) {
    static_cast<JackWatch*>(self)->gone_.store(true, std::memory_order_release);
}

} // namespace varkelon
