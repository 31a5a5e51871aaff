#pragma once

// Debian's ser2net, run by the test itself in the foreground on 127.0.0.1,
// serving one pseudo-terminal: its configuration, pid file and output stay
// in a temporary folder, and it is stopped with the test.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

class Ser2netServer {
 public:
  static constexpr const char* kProgram = "/usr/sbin/ser2net";

  enum class Mode { Rfc2217, RawTcp };

  // `line` is ser2net's setting of the serial side, e.g. "9600e72".
  Ser2netServer(Mode mode, const QString& device, const QString& line)
      : m_mode(mode), m_device(device), m_line(line), m_port(freePort()) {}
  ~Ser2netServer() { stop(); }
  Ser2netServer(const Ser2netServer&) = delete;
  Ser2netServer& operator=(const Ser2netServer&) = delete;

  [[nodiscard]] static bool installed() { return QFileInfo(QString::fromLatin1(kProgram)).isExecutable(); }

  [[nodiscard]] quint16 port() const { return m_port; }
  [[nodiscard]] QString address() const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_mode == Mode::Rfc2217 ? "rfc2217" : "tcp").arg(m_port);
  }
  // What ser2net wrote, for a failure message.
  [[nodiscard]] QByteArray output() const { return m_output; }

  // Starts it and waits until it listens; false when it does not.
  [[nodiscard]] bool start() {
    const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
      return false;
    const QString accepter = m_mode == Mode::Rfc2217 ? QStringLiteral("telnet(rfc2217),tcp") : QStringLiteral("tcp");
    file.write(QStringLiteral("connection: &controller\n"
                              "  accepter: %1,127.0.0.1,%2\n"
                              "  connector: serialdev,%3,%4,local\n")
                   .arg(accepter)
                   .arg(m_port)
                   .arg(m_device, m_line)
                   .toUtf8());
    file.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // -n stays attached to the test, -u takes no UUCP lock, -P keeps the pid
    // file in the temporary folder.
    m_process.start(QString::fromLatin1(kProgram),
                    {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config, QStringLiteral("-P"),
                     m_dir.filePath(QStringLiteral("ser2net.pid"))});
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
  // A port nothing listens on now; ser2net takes it a moment later.
  static quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
  }

  // Listening, as the kernel tells it: a test connection would make ser2net
  // open the serial side.
  [[nodiscard]] bool listening() const {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
      return false;
    const QByteArray local = QStringLiteral("0100007F:%1").arg(m_port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QByteArray& line : table.readAll().split('\n')) {
      const QList<QByteArray> fields = line.simplified().split(' ');
      if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
        return true;
    }
    return false;
  }

  Mode m_mode;
  QString m_device;
  QString m_line;
  quint16 m_port;
  QTemporaryDir m_dir;
  QProcess m_process;
  QByteArray m_output;
};
