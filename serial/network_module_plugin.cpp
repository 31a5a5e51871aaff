// The network module itself: built as a Qt plugin of its own, the one part
// of the program that links Qt Network and OpenSSL.

#include "serial/network_module.h"
#include "serial/network_port_service.h"
#include "serial/server_trust.h"
#include "serial/tls_credentials.h"

#include <QObject>

namespace zelqon {

namespace {

// A NetworkPortService behind the module's boundary: its signals become the
// events, its raised failures returned values.
class PortLink final : public NetworkLink {
 public:
  PortLink(const NetworkAddress& address, const SharedTlsCredentials& credentials, NetworkLinkEvents events)
      : m_port(address, credentials ? *credentials : TlsCredentials{}, NetworkPortService::Timeouts{}),
        m_events(std::move(events)) {
    QObject::connect(&m_port, &PortService::stateChanged, &m_port,
                     [this](PortState state) { m_events.stateChanged(state); });
    QObject::connect(&m_port, &PortService::openFailed, &m_port,
                     [this](const LinkError& error) { m_events.openFailed(error); });
    QObject::connect(&m_port, &PortService::hungUp, &m_port,
                     [this](const LinkError& error) { m_events.hungUp(error); });
    QObject::connect(&m_port, &PortService::drained, &m_port, [this] { m_events.drained(); });
    QObject::connect(&m_port, &PortService::drainFailed, &m_port,
                     [this](const LinkError& error) { m_events.drainFailed(error); });
  }

  [[nodiscard]] PortState state() const override { return m_port.state(); }
  [[nodiscard]] QString displayName() const override { return m_port.displayName(); }
  [[nodiscard]] std::variant<OpenProgress, LinkError> open() override {
    try {
      return m_port.open();
    } catch (const LinkError& error) {
      return error;
    }
  }
  void close() override { m_port.close(); }
  [[nodiscard]] std::optional<LinkError> writeText(const QString& text) override {
    try {
      m_port.writeText(text);
      return std::nullopt;
    } catch (const LinkError& error) {
      return error;
    }
  }
  void requestDrain() override { m_port.requestDrain(); }
  [[nodiscard]] std::variant<QString, LinkError> readAllPending() override {
    try {
      return m_port.readAllPending();
    } catch (const LinkError& error) {
      return error;
    }
  }

 private:
  NetworkPortService m_port;
  NetworkLinkEvents m_events;
};

}  // namespace

class NetworkModulePlugin final : public QObject, public NetworkModule {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID ZELQON_NETWORK_MODULE_IID)
  Q_INTERFACES(zelqon::NetworkModule)

 public:
  [[nodiscard]] std::unique_ptr<NetworkLink> makeLink(const NetworkAddress& address, SharedTlsCredentials credentials,
                                                      NetworkLinkEvents events) const override {
    return std::make_unique<PortLink>(address, credentials, std::move(events));
  }

  [[nodiscard]] std::variant<SharedTlsCredentials, TlsFilesRefusal> readTlsCredentials(
      const TlsFiles& files) const override {
    auto read = zelqon::readTlsCredentials(files);
    if (auto* refusal = std::get_if<TlsFilesRefusal>(&read))
      return std::move(*refusal);
    return std::make_shared<const TlsCredentials>(std::get<TlsCredentials>(std::move(read)));
  }

  [[nodiscard]] std::variant<CertificateFacts, QString> fetchServerCertificate(
      const NetworkAddress& address, std::chrono::milliseconds timeout) const override {
    auto chain = fetchServerChain(address.host, address.port, timeout);
    if (auto* reason = std::get_if<QString>(&chain))
      return std::move(*reason);
    return certificateFacts(std::get<QList<QSslCertificate>>(chain).constFirst());
  }

  [[nodiscard]] std::variant<QString, KeepFailure> keepServerCertificate(const QString& folder, const QString& host,
                                                                         quint16 port,
                                                                         const QByteArray& pem) const override {
    const TrustedServers store(folder);
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(pem, QSsl::Pem);
    const QString path = store.pathFor(host, port);
    if (certificates.size() != 1)
      return KeepFailure{path, QStringLiteral("não é um certificado PEM")};
    if (auto failure = store.keep(host, port, certificates.first()))
      return std::move(*failure);
    return path;
  }
};

}  // namespace zelqon

#include "network_module_plugin.moc"
