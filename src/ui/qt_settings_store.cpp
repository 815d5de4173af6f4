// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_settings_store.h"

#include <QSettings>

namespace varkelon {

namespace {

constexpr const char* kOrganisation = "Skarvelund";
constexpr const char* kApplication = "Skarvelund";

QString key_in_group(const std::string& key) {
    return QStringLiteral("Audio/") + QString::fromStdString(key);
}

} // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(kOrganisation),
                                            QString::fromLatin1(kApplication))) {}

QtSettingsStore::QtSettingsStore(const QString& ini_path)
    : settings_(std::make_unique<QSettings>(ini_path, QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

std::optional<std::string> QtSettingsStore::get(const std::string& key) {
    const QString k = key_in_group(key);
    if (!settings_->contains(k)) {
        return std::nullopt;
    }
    return settings_->value(k).toString().toStdString();
}

void QtSettingsStore::set(const std::string& key, const std::string& value) {
    settings_->setValue(key_in_group(key), QString::fromStdString(value));
    // On disk at once: a crash later must not lose a saved position.
    settings_->sync();
}

QString QtSettingsStore::file_name() const {
    return settings_->fileName();
}

} // namespace varkelon
