#pragma once

#include "protocol/radio_program.h"

#include <QString>

namespace zelqon {

// "Radio=n;COR=c;DelayDT=ddddd;PTT1=a;PTT2=b;PTT3=c;PTT4=d;DelayHT=hhhhh;"
// with "0" under the radio's own PTT key. No terminator follows the last ';'.
[[nodiscard]] QString buildProgrammingMessage(int radio, const RadioProgram& program);

// The fixed message of the factory programming for radio n (1..4); it equals
// what radio n's start-up defaults produce.
[[nodiscard]] QString factoryMessage(int radio);

inline const QString kAtualizarCommand = QStringLiteral("Atualizar");

// What a send of radio n adds to the monitor: radio 1's echo opens with a line
// break of its own, the others start right after the old text.
[[nodiscard]] QString monitorEcho(int radio, const QString& message);

}  // namespace zelqon
