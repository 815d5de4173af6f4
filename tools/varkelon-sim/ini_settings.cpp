// SPDX-License-Identifier: GPL-3.0-or-later
#include "ini_settings.h"

#include <fstream>

namespace varkelon {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return "";
    }
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

} // namespace

IniSettingsStore::IniSettingsStore(std::filesystem::path path) : path_(std::move(path)) {
    std::ifstream in(path_);
    std::string line;
    bool in_audio = false;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            in_audio = line == "[Audio]";
            continue;
        }
        const auto eq = line.find('=');
        if (in_audio && eq != std::string::npos) {
            values_[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
        }
    }
}

std::optional<std::string> IniSettingsStore::get(const std::string& key) {
    const auto it = values_.find(key);
    return it == values_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

void IniSettingsStore::set(const std::string& key, const std::string& value) {
    values_[key] = value;
    save();
}

void IniSettingsStore::save() const {
    std::ofstream out(path_, std::ios::trunc);
    out << "[Audio]\n";
    for (const auto& [k, v] : values_) {
        out << k << '=' << v << '\n';
    }
}

} // namespace varkelon
