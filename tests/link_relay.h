#pragma once

// A link between the program and a network serial server, on 127.0.0.1, as a
// site's real link behaves: it can delay each chunk toward the server by a
// random 0..maxDelay ms (seeded, order kept, as a cellular link does), go
// silent both ways while both TCP connections stay up (a cut cable behind a
// VPN endpoint), or close both connections at once.

#include <QDeadlineTimer>
#include <QList>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

class LinkRelay {
 public:
  LinkRelay(quint16 serverPort, quint32 seed, int maxDelayMs = 0)
      : m_serverPort(serverPort), m_random(seed), m_maxDelayMs(maxDelayMs) {
    m_listener.listen(QHostAddress::LocalHost);
    QObject::connect(&m_listener, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* client = m_listener.nextPendingConnection())
        join(client);
    });
  }
  // The sockets outlive the pairs (the listener owns them and goes last), and
  // a socket's destructor still says it disconnected: nothing may answer then.
  ~LinkRelay() {
    for (const auto& pair : m_pairs) {
      if (pair->client)
        QObject::disconnect(pair->client, nullptr, nullptr, nullptr);
      if (pair->server)
        QObject::disconnect(pair->server, nullptr, nullptr, nullptr);
    }
  }
  LinkRelay(const LinkRelay&) = delete;
  LinkRelay& operator=(const LinkRelay&) = delete;
  // "rfc2217://127.0.0.1:PORT" or "tcp://..." through the relay.
  [[nodiscard]] QString address(const char* scheme) const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(m_listener.serverPort());
  }
  // From now on every byte either way is read and dropped.
  void goSilent() { m_silent = true; }
  void closeAll() {
    for (const auto& pair : m_pairs) {
      if (pair->client)
        pair->client->abort();
      if (pair->server)
        pair->server->abort();
    }
  }

 private:
  struct Pair {
    QPointer<QTcpSocket> client, server;
    QList<std::pair<QDeadlineTimer, QByteArray>> towardServer;  // due times never decrease
    QTimer timer;
    bool clientGone = false;  // the server's side closes once the queue is out
  };

  void join(QTcpSocket* client) {
    auto& pair = *m_pairs.emplace_back(std::make_unique<Pair>());
    pair.client = client;
    pair.server = new QTcpSocket(client);
    pair.server->connectToHost(QHostAddress::LocalHost, m_serverPort);
    pair.timer.setSingleShot(true);
    pair.timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pair.timer, &QTimer::timeout, [this, &pair] { deliver(pair); });
    QObject::connect(client, &QTcpSocket::readyRead, [this, &pair] {
      QByteArray bytes = pair.client->readAll();
      if (m_silent)
        return;
      const qint64 delay = m_maxDelayMs > 0 ? m_random.bounded(m_maxDelayMs + 1) : 0;
      QDeadlineTimer due(delay, Qt::PreciseTimer);
      if (!pair.towardServer.isEmpty() && pair.towardServer.back().first.deadline() > due.deadline())
        due = pair.towardServer.back().first;
      pair.towardServer.append({due, std::move(bytes)});
      deliver(pair);
    });
    QObject::connect(pair.server, &QTcpSocket::readyRead, [this, &pair] {
      const QByteArray bytes = pair.server->readAll();
      if (!m_silent && pair.client)
        pair.client->write(bytes);
    });
    QObject::connect(pair.server, &QTcpSocket::connected, [this, &pair] { deliver(pair); });
    QObject::connect(pair.server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    QObject::connect(client, &QTcpSocket::disconnected, [this, &pair] {
      pair.clientGone = true;
      deliver(pair);
    });
  }

  void deliver(Pair& pair) {
    if (!pair.server || pair.server->state() != QAbstractSocket::ConnectedState)
      return;
    while (!pair.towardServer.isEmpty() && pair.towardServer.front().first.hasExpired())
      pair.server->write(pair.towardServer.takeFirst().second);
    if (!pair.towardServer.isEmpty())
      pair.timer.start(std::max<qint64>(pair.towardServer.front().first.remainingTime(), 0));
    else if (pair.clientGone)
      pair.server->disconnectFromHost();
  }

  QTcpServer m_listener;
  quint16 m_serverPort;
  QRandomGenerator m_random;
  int m_maxDelayMs;
  bool m_silent = false;
  std::vector<std::unique_ptr<Pair>> m_pairs;
};
