#include "cdelayproxy.h"

#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>

struct CDelayProxy::SLink
{
    QTcpSocket* pClient = nullptr;
    QLocalSocket* pServer = nullptr;
    QTimer* pTimer = nullptr;
    // What the server said, when it is due at the client; empty when the server closed.
    std::deque<std::pair<qint64, QByteArray>> pending;
};

CDelayProxy::CDelayProxy(const QString& strSocketPath, int nDelayMs)
    : m_strSocketPath(strSocketPath), m_nDelayMs(nDelayMs)
{
}

CDelayProxy::~CDelayProxy()
{
    m_thread.quit();
    m_thread.wait();
}

bool CDelayProxy::Start()
{
    m_clock.start();
    m_pRoot = new QObject;
    m_pRoot->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_pRoot, &QObject::deleteLater);
    m_thread.start();
    bool bListening = false;
    QMetaObject::invokeMethod(
        m_pRoot,
        [this, &bListening]
        {
            auto* pListener = new QTcpServer(m_pRoot);
            QObject::connect(pListener, &QTcpServer::newConnection, m_pRoot,
                             [this, pListener]
                             {
                                 while (QTcpSocket* pClient = pListener->nextPendingConnection())
                                     Join(pClient);
                             });
            bListening = pListener->listen(QHostAddress::LocalHost, 0);
            m_nPort = pListener->serverPort();
            m_strError = pListener->errorString();
        },
        Qt::BlockingQueuedConnection);
    return bListening;
}

void CDelayProxy::Join(QTcpSocket* pClient)
{
    auto pLink = std::make_shared<SLink>();
    pLink->pClient = pClient;
    pLink->pServer = new QLocalSocket(pClient);
    pLink->pTimer = new QTimer(pClient);
    pLink->pTimer->setSingleShot(true);
    pLink->pTimer->setTimerType(Qt::PreciseTimer);
    pLink->pServer->connectToServer(m_strSocketPath);
    if (!pLink->pServer->waitForConnected(5000))
    {
        pClient->abort();
        pClient->deleteLater();
        return;
    }
    auto toServer = [pLink] { pLink->pServer->write(pLink->pClient->readAll()); };
    auto toClient = [this, pLink](const QByteArray& data)
    {
        pLink->pending.emplace_back(m_clock.elapsed() + m_nDelayMs, data);
        if (!pLink->pTimer->isActive())
            Forward(pLink);
    };
    QObject::connect(pClient, &QTcpSocket::readyRead, pClient, toServer);
    QObject::connect(pLink->pServer, &QLocalSocket::readyRead, pClient,
                     [pLink, toClient]
                     {
                         if (const QByteArray data = pLink->pServer->readAll(); !data.isEmpty())
                             toClient(data);
                     });
    QObject::connect(pLink->pServer, &QLocalSocket::disconnected, pClient, [toClient] { toClient({}); });
    QObject::connect(pLink->pTimer, &QTimer::timeout, pClient, [this, pLink] { Forward(pLink); });
    // A client gone (killed) ends its server's session at once, as a dropped link does.
    QObject::connect(pClient, &QTcpSocket::disconnected, pClient,
                     [pLink]
                     {
                         pLink->pServer->abort();
                         pLink->pClient->deleteLater();
                     });
    if (pClient->bytesAvailable() > 0)
        toServer();
}

void CDelayProxy::Forward(const std::shared_ptr<SLink>& pLink)
{
    const qint64 nNow = m_clock.elapsed();
    while (!pLink->pending.empty() && pLink->pending.front().first <= nNow)
    {
        const QByteArray data = pLink->pending.front().second;
        pLink->pending.pop_front();
        if (data.isEmpty())
        {
            pLink->pClient->disconnectFromHost();
            return;
        }
        pLink->pClient->write(data);
    }
    if (!pLink->pending.empty())
        pLink->pTimer->start(int(pLink->pending.front().first - nNow));
}
