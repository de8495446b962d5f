#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QThread>

#include <memory>

class QTcpSocket;

// A slow link to a PostgreSQL cluster: listens on 127.0.0.1 on a free port and hands each
// connection on to the cluster's Unix socket, holding back every answer of the server by the
// given time (each answer late, in its order; no cap on the bytes). It runs in a thread of its own
// with its own event loop, so that it goes on forwarding while the caller waits in a synchronous
// SQL call.
class CDelayProxy
{
public:
    CDelayProxy(const QString& strSocketPath, int nDelayMs);
    ~CDelayProxy();
    CDelayProxy(const CDelayProxy&) = delete;
    CDelayProxy& operator=(const CDelayProxy&) = delete;

    // Listens; false with m_strError.
    bool Start();
    quint16 Port() const { return m_nPort; }

    QString m_strError;

private:
    struct SLink;
    // In the proxy's thread: joins a client's connection to the server.
    void Join(QTcpSocket* pClient);
    // Hands on to the client what the server said long enough ago.
    void Forward(const std::shared_ptr<SLink>& pLink);

    QString m_strSocketPath;
    int m_nDelayMs;
    quint16 m_nPort = 0;
    QElapsedTimer m_clock;
    QThread m_thread;
    QObject* m_pRoot = nullptr; // lives in m_thread: the listener and the links are its children
};
