#pragma once

#include <QObject>

#include <csignal>
#include <functional>
#include <initializer_list>
#include <vector>

#include "UniqueFd.h"

class QSocketNotifier;

namespace varnolet {

// Turns the signals that ask a program to end (SIGTERM from a shutdown or `kill`, SIGINT
// from Ctrl+C, SIGHUP from a logout) into a call on the Qt thread, so the program can end
// the way its own Exit command does: recordings closed, threads joined, files intact.
//
// The signal handler only writes the signal number into a socket pair (all it may safely
// do); a QSocketNotifier on the other end reads it in the event loop and calls the handler
// there. One instance at a time per process; destruction restores the previous handlers.
class ExitSignalNotifier final : public QObject
{
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit ExitSignalNotifier(Handler handler,
                                std::initializer_list<int> signalNumbers = {SIGTERM, SIGINT,
                                                                            SIGHUP},
                                QObject *parent = nullptr);
    ~ExitSignalNotifier() override;
    ExitSignalNotifier(const ExitSignalNotifier &) = delete;
    ExitSignalNotifier &operator=(const ExitSignalNotifier &) = delete;

    // Whether the handlers are in place (false when the socket pair could not be made or
    // another instance is active; the signals then keep their previous effect).
    bool isActive() const { return m_active; }
    // How many signals have been handed to the handler.
    int deliveredCount() const { return m_delivered; }

private:
    void readSignals();

    Handler m_handler;
    std::vector<int> m_signalNumbers;
    std::vector<struct sigaction> m_previous;
    UniqueFd m_reader;
    QSocketNotifier *m_notifier = nullptr;
    bool m_active = false;
    int m_delivered = 0;
};

} // namespace varnolet
