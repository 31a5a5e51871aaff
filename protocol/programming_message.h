#pragma once

#include "protocol/radio_program.h"

#include <QString>

namespace zelqon {

// "Radio=n;COR=c;DelayDT=ddddd;PTT1=a;PTT2=b;PTT3=c;PTT4=d;DelayHT=hhhhh;",
// 70 ASCII characters: COR 1 for active high, PTTm 1 for each radio m that
// radio n keys and always 0 under its own key. No terminator follows the last
// ';'. Empty when `radio` is not 1..4.
[[nodiscard]] QString buildProgrammingMessage(int radio, const RadioProgram& program);

// The fixed message of the factory programming for radio n (1..4); it equals
// what radio n's start-up values produce. Empty for any other number.
[[nodiscard]] QString factoryMessage(int radio);

inline const QString kAtualizarCommand = QStringLiteral("Atualizar");

// What a send of radio n adds to the monitor: radio 1's echo opens with a line
// break of its own, the others start right after the old text.
[[nodiscard]] QString monitorEcho(int radio, const QString& message);

}  // namespace zelqon
