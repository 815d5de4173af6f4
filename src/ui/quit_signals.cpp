// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/quit_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace varkelon {

namespace {

// A signal handler may only write to a descriptor; the event loop reads the
// other end. The pair outlives every QuitSignals, as the handlers do.
std::array<int, 2> signal_pipe{-1, -1}; // NOLINT: shared with the signal handler

void on_signal(int /*signo*/) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signal_pipe[0], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (signal_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signal_pipe.data()) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(signal_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        notifier_->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(signal_pipe[1], &byte, 1);
        requested_ = true;
        QCoreApplication::exit(0); // leaves every loop, an open message box's too
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signo, &action, nullptr);
    }
}

QuitSignals::~QuitSignals() {
    for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signo, SIG_DFL);
    }
}

} // namespace varkelon
