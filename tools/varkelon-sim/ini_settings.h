// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ports.h"

#include <filesystem>
#include <map>
#include <string>

namespace varkelon {

// The settings store of varkelon-sim: an INI file with one [Audio] section,
// read at start and written back on every change.
class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::filesystem::path path);
    std::optional<std::string> get(const std::string& key) override;
    void set(const std::string& key, const std::string& value) override;

private:
    void save() const;
    std::filesystem::path path_;
    std::map<std::string, std::string> values_;
};

} // namespace varkelon
