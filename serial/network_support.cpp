#include "serial/network_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>

#include <memory>

namespace zelqon {

namespace {

// A network link as the engine's PortService: the link's returned failures
// raised again, its events told as signals.
class LoadedNetworkPort final : public PortService {
 public:
  LoadedNetworkPort(const NetworkModule& module, const NetworkAddress& address, SharedTlsCredentials credentials,
                    QObject* parent)
      : PortService(parent),
        m_link(module.makeLink(address, std::move(credentials),
                               {[this](PortState state) { emit stateChanged(state); },
                                [this](const LinkError& error) { emit openFailed(error); },
                                [this](const LinkError& error) { emit hungUp(error); }, [this] { emit drained(); },
                                [this](const LinkError& error) { emit drainFailed(error); }})) {}

  [[nodiscard]] PortState state() const override { return m_link->state(); }
  [[nodiscard]] QString displayName() const override { return m_link->displayName(); }
  [[nodiscard]] OpenProgress open() override { return valueOrRaise(m_link->open()); }
  void close() override { m_link->close(); }
  void writeText(const QString& text) override {
    if (auto error = m_link->writeText(text))
      throw *error;
  }
  void requestDrain() override { m_link->requestDrain(); }
  [[nodiscard]] QString readAllPending() override { return valueOrRaise(m_link->readAllPending()); }

 private:
  template <typename T>
  static T valueOrRaise(std::variant<T, LinkError> result) {
    if (auto* error = std::get_if<LinkError>(&result))
      throw *error;
    return std::get<T>(std::move(result));
  }

  std::unique_ptr<NetworkLink> m_link;
};

// Only ever the file installed with the program, never one a search path or
// the working folder offers.
QString modulePath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(ZELQON_NETWORK_MODULE));
}

}  // namespace

std::variant<const NetworkModule*, QString> networkModule() {
  // Loaded once; Qt keeps a plugin's instance until the program ends.
  static QPluginLoader loader(QDir::cleanPath(modulePath()));
  static const NetworkModule* const module = qobject_cast<NetworkModule*>(loader.instance());
  if (module)
    return module;
  return loader.errorString();
}

PortService* newNetworkPort(const NetworkAddress& address, SharedTlsCredentials credentials, QObject* parent) {
  const auto module = networkModule();
  if (const auto* reason = std::get_if<QString>(&module))
    throw LinkError(LinkStep::SelectPort, LinkFault::NetworkSupportMissing, address.text(), *reason);
  return new LoadedNetworkPort(*std::get<const NetworkModule*>(module), address, std::move(credentials), parent);
}

}  // namespace zelqon
