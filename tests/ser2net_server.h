#pragma once

// Debian's ser2net, started by the test in the foreground on 127.0.0.1 and
// serving one pseudo-terminal; its configuration and pid file stay in a
// temporary folder, and it is stopped with the test.

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

class Ser2netServer {
 public:
  static constexpr const char* kProgram = "/usr/sbin/ser2net";
  enum class Mode { Rfc2217, RawTcp };

  // `line` is ser2net's setting of the serial side, e.g. "9600e72".
  Ser2netServer(Mode mode, const QString& device, const QString& line) {
    QTcpServer probe;  // a port free now, for ser2net to take a moment later
    m_port = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
    m_address = QStringLiteral("%1://127.0.0.1:%2").arg(mode == Mode::Rfc2217 ? "rfc2217" : "tcp").arg(m_port);
    m_config = QStringLiteral(
                   "connection: &controller\n  accepter: %1,127.0.0.1,%2\n"
                   "  connector: serialdev,%3,%4,local\n")
                   .arg(mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp")
                   .arg(m_port)
                   .arg(device, line);
  }
  ~Ser2netServer() { stop(); }

  [[nodiscard]] static bool installed() { return QFileInfo(QString::fromLatin1(kProgram)).isExecutable(); }
  [[nodiscard]] const QString& address() const { return m_address; }
  [[nodiscard]] const QByteArray& output() const { return m_output; }

  // Starts it (-n: attached to the test; -u: no UUCP lock) and waits until it
  // listens; false when it does not.
  [[nodiscard]] bool start() {
    QFile file(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(m_config.toUtf8()) < 0)
      return false;
    file.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QString::fromLatin1(kProgram),
                    {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), file.fileName(),
                     QStringLiteral("-P"), m_dir.filePath(QStringLiteral("ser2net.pid"))});
    if (!m_process.waitForStarted(3000))
      return false;
    const QDeadlineTimer deadline(5000);
    while (!listening()) {
      m_output += m_process.readAll();
      if (deadline.hasExpired() || m_process.state() != QProcess::Running)
        return false;
      QThread::msleep(10);
    }
    return true;
  }

  void stop() {
    if (m_process.state() == QProcess::NotRunning)
      return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
      m_process.kill();
      m_process.waitForFinished(3000);
    }
    m_output += m_process.readAll();
  }

 private:
  // Asked of the kernel: a test connection would make ser2net open the line.
  [[nodiscard]] bool listening() const {
    QFile table(QStringLiteral("/proc/net/tcp"));
    const QByteArray local = QStringLiteral("0100007F:%1").arg(m_port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QByteArray& line : table.open(QIODevice::ReadOnly) ? table.readAll().split('\n') : QByteArrayList()) {
      const QList<QByteArray> fields = line.simplified().split(' ');
      if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")  // 0A: listening
        return true;
    }
    return false;
  }

  quint16 m_port = 0;
  QString m_address;
  QString m_config;
  QTemporaryDir m_dir;
  QProcess m_process;
  QByteArray m_output;
};
