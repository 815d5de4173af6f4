// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ports.h"

#include <QString>

#include <memory>

class QSettings;

namespace varkelon {

// The settings store on QSettings: an INI file in the user's configuration
// folder (organisation and application "Skarvelund"), group "Audio".
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& ini_path); // a file of its own, for tests
    ~QtSettingsStore() override;

    std::optional<std::string> get(const std::string& key) override;
    void set(const std::string& key, const std::string& value) override;

    QString file_name() const;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace varkelon
