// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// In-memory ports for tests and varkelon-sim.

#include "app/ports.h"

#include <functional>
#include <map>
#include <string>
#include <utility>

namespace varkelon {

class MemorySettingsStore final : public SettingsStore {
public:
    std::map<std::string, std::string> values;
    std::optional<std::string> get(const std::string& key) override {
        const auto it = values.find(key);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    void set(const std::string& key, const std::string& value) override { values[key] = value; }
};

class MemoryStyleFile final : public StyleFileSource {
public:
    Result file;
    explicit MemoryStyleFile(Result r = {}) : file(std::move(r)) {}
    Result read() override { return file; }
};

// Answers every message box with OK at once and reports it.
class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        MessageIcon icon;
        std::string title;
        std::string text;
    };
    std::function<void(const Shown&)> on_shown;
    std::vector<Shown> shown;
    void message_box(MessageIcon icon, const std::string& title, const std::string& text) override {
        shown.push_back({icon, title, text});
        if (on_shown) {
            on_shown(shown.back());
        }
    }
};

} // namespace varkelon
