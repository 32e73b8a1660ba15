#pragma once

#include <QObject>

class QSocketNotifier;

namespace korvane {

// Turns SIGTERM and SIGINT into a clean QCoreApplication::quit(). The handler only writes a byte
// to a socket pair (async-signal-safe); the event loop reads it and quits.
class SignalQuitter final : public QObject {
public:
    SignalQuitter();
    ~SignalQuitter() override;

    SignalQuitter(const SignalQuitter&) = delete;
    SignalQuitter& operator=(const SignalQuitter&) = delete;

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace korvane
