#pragma once

#include "serial/network_module.h"

#include <QObject>
#include <QString>

#include <variant>

namespace zelqon {

// The network module, loaded by the first call from where the program is
// installed and kept until the program ends; the loader's words when it
// cannot be loaded (not installed, or not of this program's build).
[[nodiscard]] std::variant<const NetworkModule*, QString> networkModule();

// A closed port to `address` through the network module, a child of
// `parent`. Raises LinkError (SelectPort, NetworkSupportMissing) when the
// module cannot be loaded.
[[nodiscard]] PortService* newNetworkPort(const NetworkAddress& address, SharedTlsCredentials credentials,
                                          QObject* parent);

}  // namespace zelqon
