#include "cli/exit_status.h"

namespace zelqon::cli {

ExitStatus exitStatusOf(LinkFault fault) {
  switch (fault) {
    case LinkFault::InvalidNumber:
      return ExitStatus::Usage;
    case LinkFault::NoSuchPort:
    case LinkFault::HostNotFound:
    case LinkFault::ConnectionRefused:
      return ExitStatus::NoSuchPort;
    case LinkFault::AccessDenied:
    case LinkFault::ClosedAtOnce:
    case LinkFault::PortInUse:
    case LinkFault::ClientCertificateRequired:
    case LinkFault::ClientCertificateRefused:
    case LinkFault::ClientCertificateUnusable:
      return ExitStatus::AccessDenied;
    case LinkFault::ServerNotProven:
      return ExitStatus::ServerNotProven;
    case LinkFault::DeviceGone:
    case LinkFault::ConnectionLost:
    case LinkFault::LinkSilent:
      return ExitStatus::ConnectionLost;
    case LinkFault::Interrupted:
      return ExitStatus::Interrupted;
    case LinkFault::NotOpen:
    case LinkFault::Internal:
    case LinkFault::Timeout:
    case LinkFault::NoAnswer:
    case LinkFault::NotRfc2217:
    case LinkFault::ServerHung:
    case LinkFault::SettingsRefused:
    case LinkFault::NotConfirmed:
    case LinkFault::NotTls:
    case LinkFault::NetworkSupportMissing:
    case LinkFault::Other:
      break;
  }
  return ExitStatus::IoFailure;
}

}  // namespace zelqon::cli
