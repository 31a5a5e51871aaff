#pragma once

// The controller's side of a pseudo-terminal: the program under test opens
// the slave by its path, as it would a USB adapter; the test reads and writes
// the master.

#include "serial/port_catalog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMap>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

class PtyPeer {
 public:
  PtyPeer() {
    char name[256] = {};
    int slave = -1;
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    m_slavePath = QString::fromLocal8Bit(name);
    // Raw, so the line discipline passes every byte value through unchanged.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    // Non-blocking, and kept from programs the test starts: one of them
    // holding it would keep the line up after hangUp().
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
  }
  ~PtyPeer() { hangUp(); }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  [[nodiscard]] const QString& slavePath() const { return m_slavePath; }
  [[nodiscard]] int masterFd() const { return m_master; }

  // The controller answers.
  void send(const QByteArray& bytes) const {
    for (qsizetype done = 0; done < bytes.size();) {
      const auto n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
      done += std::max<qsizetype>(n, 0);
      pollfd fd{m_master, POLLOUT, 0};
      ::poll(&fd, 1, n > 0 ? 0 : 100);
    }
  }

  // Everything the program wrote, waiting up to `waitMs` for `expected`
  // bytes, while the event loop keeps running.
  [[nodiscard]] QByteArray receive(qsizetype expected = 1, int waitMs = 2000) const {
    QByteArray got;
    const QDeadlineTimer deadline(waitMs);
    char buffer[4096];
    while (true) {
      const auto n = ::read(m_master, buffer, sizeof buffer);
      if (n > 0)
        got.append(buffer, n);
      else if (got.size() >= expected || deadline.hasExpired())
        return got;
      else
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      pollfd fd{m_master, POLLIN, 0};
      ::poll(&fd, 1, n > 0 ? 0 : 5);
    }
  }

  // The controller's end goes away, as when an adapter is pulled.
  void hangUp() {
    if (m_master >= 0)
      ::close(m_master);
    m_master = -1;
  }

 private:
  int m_master = -1;
  QString m_slavePath;
};

// Every byte value once, 0x00 to 0xFF.
inline QByteArray everyByte() {
  QByteArray bytes(256, '\0');
  for (int value = 0; value < 256; ++value)
    bytes[value] = char(value);
  return bytes;
}

// Ports numbered as given, each described as the adapter of its number.
inline zelqon::PortCatalog ptyCatalog(const QMap<int, QString>& paths) {
  QMap<int, zelqon::PortDevice> devices;
  for (auto it = paths.cbegin(); it != paths.cend(); ++it)
    devices.insert(it.key(),
                   {QStringLiteral("pty%1").arg(it.key()), *it, QStringLiteral("Adaptador %1").arg(it.key())});
  return zelqon::PortCatalog(devices);
}
