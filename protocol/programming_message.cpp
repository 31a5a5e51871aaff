#include "protocol/programming_message.h"

#include <array>
#include <stdexcept>

namespace zelqon {

namespace {
const QString kLineBreak = QStringLiteral("\r\n");

void requireRadio(int radio) {
  if (radio < 1 || radio > kRadioCount)
    throw std::out_of_range("radio must be 1 to 4");
}

// The value sent under PTT<target> in radio n's message.
const QString& routeValue(int radio, int target, const RadioProgram& program) {
  if (target == radio)
    return kFlagOff;
  for (int key = kFirstRouteKey; key <= kLastRouteKey; ++key) {
    if (routedRadio(radio, key) == target)
      return program.routeFlag(key);
  }
  throw std::logic_error("route table has no entry");
}
}  // namespace

QString buildProgrammingMessage(int radio, const RadioProgram& program) {
  requireRadio(radio);
  QString message;
  message.reserve(70);
  message += QStringLiteral("Radio=") + QString::number(radio);
  message += QStringLiteral(";COR=") + program.Cor;
  message += QStringLiteral(";DelayDT=") + program.Cor_Delay_DT;
  for (int target = 1; target <= kRadioCount; ++target)
    message += QStringLiteral(";PTT%1=").arg(target) + routeValue(radio, target, program);
  message += QStringLiteral(";DelayHT=") + program.Cor_Delay_HT;
  message += QLatin1Char(';');
  return message;
}

QString factoryMessage(int radio) {
  static const std::array<QString, kRadioCount> messages = {
      QStringLiteral("Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;"),
      QStringLiteral("Radio=2;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;"),
      QStringLiteral("Radio=3;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;"),
      QStringLiteral("Radio=4;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;"),
  };
  requireRadio(radio);
  return messages[static_cast<std::size_t>(radio - 1)];
}

QString monitorEcho(int radio, const QString& message) {
  requireRadio(radio);
  return radio == 1 ? kLineBreak + message + kLineBreak : message + kLineBreak;
}

}  // namespace zelqon
