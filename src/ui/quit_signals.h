// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace varkelon {

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop, so
// the program unloads as "Выход" would: every channel is silenced before the
// port closes and the window positions are saved.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // A signal arrived: the event loop has been told to quit, and a loop
    // entered afterwards should not run.
    bool requested() const { return requested_; }

private:
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

} // namespace varkelon
