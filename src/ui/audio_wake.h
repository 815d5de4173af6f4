// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tells the audio output that the user is about to play: the window
// activated, the pointer entering it, any key. An output that has gone to
// sleep after a long silence then asks for audio again, so the first note
// sounds at the usual latency instead of waiting for the device to resume.

#include <QEvent>
#include <QObject>

#include <functional>
#include <utility>

namespace varkelon {

class AudioWakeFilter final : public QObject {
public:
    explicit AudioWakeFilter(std::function<void()> wake) : wake_(std::move(wake)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ApplicationActivate:
        case QEvent::WindowActivate:
        case QEvent::Enter:
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
            wake_();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> wake_;
};

} // namespace varkelon
