#include "cli/exit_status.h"

#include <QStringList>

#include <cstdio>

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
      return ExitStatus::AccessDenied;
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
    case LinkFault::Other:
      break;
  }
  return ExitStatus::IoFailure;
}

QString oneLine(const QString& text) {
  QStringList parts;
  for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty())
      parts.append(trimmed);
  }
  return parts.join(QLatin1Char(' '));
}

void printNotice(const QString& text) {
  const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
  std::fflush(stderr);
}

void printError(const QString& text) { printNotice(QStringLiteral("zelqon-cli: ") + text); }

}  // namespace zelqon::cli
