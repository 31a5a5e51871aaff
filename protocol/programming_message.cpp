#include "protocol/programming_message.h"

#include <array>

namespace zelqon {

namespace {
const QString kLineBreak = QStringLiteral("\r\n");

QChar flag(bool on) { return on ? QLatin1Char('1') : QLatin1Char('0'); }
}  // namespace

QString buildProgrammingMessage(int radio, const RadioProgram& program) {
  if (!isRadioNumber(radio))
    return {};
  QString message;
  message.reserve(70);
  message += QStringLiteral("Radio=") + QString::number(radio);
  message += QStringLiteral(";COR=") + flag(program.corLevel == CorLevel::ActiveHigh);
  message += QStringLiteral(";DelayDT=") + program.debounce.listText();
  for (int target = 1; target <= kRadioCount; ++target)
    message += QStringLiteral(";PTT%1=").arg(target) + flag(target != radio && program.keyedRadios.contains(target));
  message += QStringLiteral(";DelayHT=") + program.hang.listText();
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
  return isRadioNumber(radio) ? messages.at(std::size_t(radio - 1)) : QString();
}

QString monitorEcho(int radio, const QString& message) {
  return radio == 1 ? kLineBreak + message + kLineBreak : message + kLineBreak;
}

}  // namespace zelqon
