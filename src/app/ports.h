// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The small interfaces through which the core reaches the outside world. The
// program entry creates the real ones and hands them in; tests and
// varkelon-sim use scriptable ones.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varkelon {

// Per-user settings, application "Skarvelund", section "Audio"; text values.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<std::string> get(const std::string& key) = 0;
    virtual void set(const std::string& key, const std::string& value) = 0;
};

// Reads a window coordinate: a missing or non-numeric value gives the default.
int read_position(SettingsStore& store, const std::string& key, int default_twips);
void write_position(SettingsStore& store, const std::string& key, int twips);

// The style data file, read whole: it is small and never written.
class StyleFileSource {
public:
    enum class Status : std::uint8_t { Ok, Missing, Unreadable };
    struct Result {
        Status status = Status::Missing;
        std::vector<std::uint8_t> bytes;
    };
    virtual ~StyleFileSource() = default;
    virtual Result read() = 0;
};

enum class MessageIcon : std::uint8_t { None, Critical, Exclamation };

// Modal message boxes with a single OK button; returns when it is closed.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void message_box(MessageIcon icon, const std::string& title,
                             const std::string& text) = 0;
};

} // namespace varkelon
