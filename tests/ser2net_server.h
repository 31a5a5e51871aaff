#pragma once

// Debian's ser2net, started by the test in the foreground on 127.0.0.1 and a
// port that was free a moment ago, serving one pseudo-terminal; its
// configuration goes on the command line, so it leaves no file behind, and it
// is stopped with the test.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

// A certificate and its key, `name`.crt and `name`.key in `dir`, made by the
// openssl command, the key readable by its owner alone: self-signed, or
// signed by `signer` (a name made before) for the address 127.0.0.1.
inline bool makeCertificate(const QTemporaryDir& dir, const QString& name, const QString& commonName,
                            const QString& signer = {}) {
  const QString key = dir.filePath(name + ".key");
  QStringList arguments{"req",
                        "-x509",
                        "-newkey",
                        "ec",
                        "-pkeyopt",
                        "ec_paramgen_curve:P-256",
                        "-nodes",
                        "-keyout",
                        key,
                        "-out",
                        dir.filePath(name + ".crt"),
                        "-days",
                        "2",
                        "-subj",
                        "/CN=" + commonName};
  if (!signer.isEmpty())
    arguments << "-addext"
              << "subjectAltName=IP:127.0.0.1"
              << "-CA" << dir.filePath(signer + ".crt") << "-CAkey" << dir.filePath(signer + ".key");
  QProcess openssl;
  openssl.start("openssl", arguments);
  return openssl.waitForFinished(10000) && openssl.exitCode() == 0 &&
         QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
}

class Ser2netServer {
 public:
  static constexpr const char* kProgram = "/usr/sbin/ser2net";
  enum class Mode { Rfc2217, RawTcp };

  // `line` is ser2net's own setting of the serial side, e.g. "9600e72".
  // `tls`, when given, is what ser2net's ssl takes: "key=K,cert=C", with
  // ",clientauth" the client's certificate must be one of
  // `authdir`/<its common name>/allowed_certs.
  Ser2netServer(Mode mode, const QString& device, const QString& line, const QString& tls = {},
                const QString& authdir = {}) {
    QTcpServer probe;
    m_port = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
    const QString security = tls.isEmpty() ? QString() : QStringLiteral("+tls");
    m_address =
        QStringLiteral("%1%2://127.0.0.1:%3").arg(mode == Mode::Rfc2217 ? "rfc2217" : "tcp", security).arg(m_port);
    const QString layers =
        QStringLiteral("%1%2tcp").arg(mode == Mode::Rfc2217 ? "telnet(rfc2217)," : "",
                                      tls.isEmpty() ? QString() : QStringLiteral("ssl(%1),").arg(tls));
    // -n: in the foreground; -u: no UUCP lock; -Y: the configuration, '#' for a new line.
    m_arguments = QStringList{
        "-n", "-u", "-Y",
        QStringLiteral("connection: &c#  accepter: %1,127.0.0.1,%2#  connector: serialdev,%3,%4,local%5")
            .arg(layers)
            .arg(m_port)
            .arg(device, line,
                 authdir.isEmpty() ? QString() : QStringLiteral("#  options:#    authdir: %1").arg(authdir))};
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

// The certificates of a TLS site in `dir`: the server's "s" (self-signed, as
// ser2net's gtlssh-keygen names it), this computer's "c", allowed by the
// server, and another "o" it does not allow; ser2net's ssl() settings for it.
inline bool makeTlsSite(const QTemporaryDir& dir) {
  if (!makeCertificate(dir, "s", "host-ser2net") || !makeCertificate(dir, "c", "operador") ||
      !makeCertificate(dir, "o", "operador"))
    return false;
  const QString allowed = dir.filePath("auth/operador/allowed_certs");
  return QDir().mkpath(allowed) && QFile::copy(dir.filePath("c.crt"), allowed + "/c.crt") &&
         QProcess::execute("openssl", {"rehash", allowed}) == 0;
}
inline QString tlsSiteAccepter(const QTemporaryDir& dir, bool clientAuth) {
  return QStringLiteral("key=%1,cert=%2%3")
      .arg(dir.filePath("s.key"), dir.filePath("s.crt"), clientAuth ? QStringLiteral(",clientauth") : QString());
}
