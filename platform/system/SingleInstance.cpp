#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace varnolet {

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kReplyTimeoutMs = 2000;
const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaiseReply = "raised\n";

} // namespace

SingleInstance::SingleInstance(std::string instanceName, std::string folder, QObject *parent)
    : QObject(parent)
    , m_name(std::move(instanceName))
    , m_folder(std::move(folder))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

std::string SingleInstance::lockPath() const
{
    return m_folder + "/" + m_name + ".lock";
}

std::string SingleInstance::socketPath() const
{
    return m_folder + "/" + m_name + ".socket";
}

SingleInstance::Outcome SingleInstance::acquire()
{
    if (m_lock)
        return Outcome::First;

    UniqueFd lock(::open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock)
        return Outcome::First;
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) {
        m_lock = std::move(lock);
        return Outcome::First;
    }
    lock.reset();

    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath()));
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return Outcome::RunningNoWindow;
    socket.write(kRaiseRequest);
    socket.flush();
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(kReplyTimeoutMs))
        reply += socket.readAll();
    return reply == kRaiseReply ? Outcome::RaisedRunning : Outcome::RunningNoWindow;
}

bool SingleInstance::listen(std::function<void()> onRaise)
{
    m_onRaise = std::move(onRaise);
    if (m_server)
        return true;
    // We hold the lock, so a socket file left behind is a crashed copy's.
    QLocalServer::removeServer(QString::fromStdString(socketPath()));
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(QString::fromStdString(socketPath()))) {
        m_server.reset();
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->readAll().contains('\n'))
                    return;
                if (m_onRaise)
                    m_onRaise();
                client->write(kRaiseReply);
                client->flush();
                client->disconnectFromServer();
            });
        }
    });
    return true;
}

} // namespace varnolet
