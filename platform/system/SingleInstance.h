#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "UniqueFd.h"

class QLocalServer;

namespace varnolet {

// Keeps one copy of a program running per user. The first copy holds an exclusive lock
// named after the instance under the runtime folder for its whole life; once its main
// window exists it also listens on a local socket of the same name, through which a later
// copy asks it to raise that window.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        First,          // this process holds the lock
        RaisedRunning,  // another copy runs and was asked to raise its window
        RunningNoWindow // another copy runs but has no window yet (not listening)
    };

    // folder: where the lock and the socket live (the runtime folder in the programs).
    SingleInstance(std::string instanceName, std::string folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, or talks to the copy that holds it. A lock that cannot even be
    // created (folder missing, no permission) is taken as "first": the program then runs
    // without the guard rather than not at all.
    Outcome acquire();

    // Starts answering raise requests; call once the main window exists. onRaise runs on
    // the thread that owns this object. Returns false when the socket cannot listen.
    bool listen(std::function<void()> onRaise);

    std::string lockPath() const;
    std::string socketPath() const;

private:
    std::string m_name;
    std::string m_folder;
    UniqueFd m_lock;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_onRaise;
};

} // namespace varnolet
