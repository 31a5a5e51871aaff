#pragma once

// Debian's ser2net, started by the test in the foreground on 127.0.0.1 and a
// port that was free a moment ago, serving one pseudo-terminal; its
// configuration goes on the command line, so it leaves no file behind, and it
// is stopped with the test.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

class Ser2netServer {
 public:
  static constexpr const char* kProgram = "/usr/sbin/ser2net";
  enum class Mode { Rfc2217, RawTcp };

  // `line` is ser2net's own setting of the serial side, e.g. "9600e72".
  Ser2netServer(Mode mode, const QString& device, const QString& line) {
    QTcpServer probe;
    m_port = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
    m_address = QStringLiteral("%1://127.0.0.1:%2").arg(mode == Mode::Rfc2217 ? "rfc2217" : "tcp").arg(m_port);
    // -n: in the foreground; -u: no UUCP lock; -Y: the configuration, '#' for a new line.
    m_arguments =
        QStringList{"-n", "-u", "-Y",
                    QStringLiteral("connection: &c#  accepter: %1,127.0.0.1,%2#  connector: serialdev,%3,%4,local")
                        .arg(mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp")
                        .arg(m_port)
                        .arg(device, line)};
    m_process.setProcessChannelMode(QProcess::MergedChannels);
  }
  ~Ser2netServer() { stop(); }

  [[nodiscard]] const QString& address() const { return m_address; }
  [[nodiscard]] quint16 port() const { return m_port; }
  // Why it did not start, when it did not.
  [[nodiscard]] const QByteArray& output() const { return m_output; }

  // Started and listening, as the kernel tells: a test connection would make
  // ser2net open the line.
  [[nodiscard]] bool start() {
    m_process.start(QString::fromLatin1(kProgram), m_arguments);
    const QByteArray listening =
        QStringLiteral(" 0100007F:%1 00000000:0000 0A ").arg(m_port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QDeadlineTimer deadline(5000); m_process.waitForStarted(3000) && !deadline.hasExpired();) {
      QFile table(QStringLiteral("/proc/net/tcp"));
      if (table.open(QIODevice::ReadOnly) && table.readAll().contains(listening))
        return true;
      QThread::msleep(10);
    }
    m_output =
        "ser2net (Debian package ser2net) does not listen: " + m_process.errorString().toUtf8() + m_process.readAll();
    return false;
  }
  void stop() {
    if (m_process.state() == QProcess::NotRunning)
      return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
      m_process.kill();
      m_process.waitForFinished(3000);
    }
  }

 private:
  quint16 m_port = 0;
  QString m_address;
  QStringList m_arguments;
  QProcess m_process;
  QByteArray m_output;
};
