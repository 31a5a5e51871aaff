#include "engine/port_diagnosis_text.h"

#include "protocol/overloaded.h"

#include <QStringList>

namespace zelqon {

namespace {

QString modemManagerRemedy() {
  return QStringLiteral(
      "Para liberar a porta: sudo systemctl stop ModemManager\n"
      "Para que ele ignore o adaptador de vez, crie uma regra do udev com ENV{ID_MM_DEVICE_IGNORE}=\"1\" "
      "para o adaptador.");
}

QString brlttyRemedy() {
  return QStringLiteral(
      "O brltty (leitor de tela em braille) toma adaptadores CH340 e CP210x. Se não usa linha braille, "
      "remova-o com: sudo apt remove brltty\n"
      "ou desative a captura com: sudo systemctl mask brltty-udev.service");
}

}  // namespace

QString describePermission(const PermissionFacts& facts) {
  const QString user = facts.userName.isEmpty() ? QStringLiteral("$USER") : facts.userName;
  const QString& group = facts.deviceGroup;
  QStringList lines;
  if (group.isEmpty() || group == QLatin1String("root")) {
    lines << QStringLiteral("Acesso negado a %1: o usuário %2 não tem permissão para usar este dispositivo.")
                 .arg(facts.device, user)
          << (group.isEmpty() ? QStringLiteral("Não foi possível ver a que grupo o dispositivo pertence.")
                              : QStringLiteral("O dispositivo pertence ao grupo root, do administrador."))
          << QStringLiteral(
                 "Peça ao administrador que libere o acesso, por exemplo com uma regra do udev que ponha o "
                 "dispositivo no grupo dialout.");
    return lines.join(QLatin1Char('\n'));
  }

  lines << QStringLiteral("Acesso negado a %1: o dispositivo pertence ao grupo %2.").arg(facts.device, group);
  if (facts.sessionInGroup) {
    lines << QStringLiteral("O usuário %1 já está no grupo %2 nesta sessão, e mesmo assim o acesso foi negado.")
                 .arg(user, group)
          << QStringLiteral("Confira as permissões do dispositivo com: ls -l %1").arg(facts.device);
  } else if (facts.accountInGroup) {
    lines << QStringLiteral(
                 "O usuário %1 já foi incluído no grupo %2, mas esta sessão começou antes disso: "
                 "o grupo novo só vale depois de um novo login.")
                 .arg(user, group)
          << QStringLiteral("Saia e entre de novo na sessão (se não bastar, reinicie o computador).");
  } else {
    lines << QStringLiteral("O usuário %1 não faz parte do grupo %2. Para incluí-lo, execute:").arg(user, group)
          << QStringLiteral("sudo usermod -aG %1 %2").arg(group, user)
          << QStringLiteral("depois saia e entre de novo na sessão.");
  }
  return lines.join(QLatin1Char('\n'));
}

QString describeBusy(const BusyFacts& facts) {
  QStringList lines;
  bool heldByModemManager = false;
  bool heldByBrltty = false;
  int others = 0;
  for (const PortHolder& holder : facts.holders) {
    const QString program = holder.program.isEmpty() ? QStringLiteral("desconhecido") : holder.program;
    lines << QStringLiteral("A porta %1 está em uso pelo programa %2 (processo %3).")
                 .arg(facts.device, program)
                 .arg(holder.pid);
    heldByModemManager |= holder.program == kModemManagerProgram;
    heldByBrltty |= holder.program == kBrlttyProgram;
    if (holder.program != kModemManagerProgram && holder.program != kBrlttyProgram)
      ++others;
  }
  if (heldByModemManager)
    lines << QStringLiteral("O ModemManager abre adaptadores recém-conectados para ver se são modems.")
          << modemManagerRemedy();
  if (heldByBrltty)
    lines << brlttyRemedy();
  if (others == 1)
    lines << QStringLiteral("Feche esse programa e tente de novo.");
  else if (others > 1)
    lines << QStringLiteral("Feche esses programas e tente de novo.");

  if (const auto& lock = facts.staleLock) {
    QString origin = lock->pid > 0 ? QStringLiteral("pelo processo %1, que já terminou").arg(lock->pid)
                                   : QStringLiteral("por um programa que já terminou");
    if (!lock->fileOwner.isEmpty())
      origin += QStringLiteral(" (arquivo do usuário %1)").arg(lock->fileOwner);
    lines
        << QStringLiteral("O arquivo de trava %1 foi deixado %2, e impede a abertura da porta.").arg(lock->path, origin)
        << QStringLiteral("Confirme que nenhum programa está usando a porta e apague o arquivo com:")
        << QStringLiteral("sudo rm %1").arg(lock->path);
  }

  if (facts.holders.isEmpty() && !facts.staleLock) {
    if (facts.grabbersRunning.contains(kModemManagerProgram))
      lines << QStringLiteral(
                   "O ModemManager está em execução e costuma abrir adaptadores recém-conectados: aguarde alguns "
                   "segundos e tente de novo.")
            << modemManagerRemedy();
    if (facts.grabbersRunning.contains(kBrlttyProgram))
      lines << QStringLiteral("O brltty está em execução.") << brlttyRemedy();
    if (facts.grabbersRunning.isEmpty())
      lines << QStringLiteral("Outro programa pode estar usando a porta %1; não foi possível identificá-lo.")
                   .arg(facts.device)
            << QStringLiteral("Feche programas que usem portas seriais e tente de novo.");
    if (facts.othersHidden)
      lines << QStringLiteral("Para ver quem está usando a porta, execute: sudo fuser -v %1").arg(facts.device);
  }
  return lines.join(QLatin1Char('\n'));
}

QString describeRefusedOnWindows(const QString& device) {
  QString port = device;
  port.remove(QStringLiteral("\\\\.\\"));
  return QStringLiteral(
             "O Windows não abriu a porta %1: ou outro programa está com ela aberta (um terminal, outro programador, "
             "o programa do adaptador; no Windows uma porta serial atende um programa de cada vez), ou o acesso a ela "
             "não é permitido a este usuário.\n"
             "Feche o programa que usa a porta e tente de novo; se nenhum a usa, desconecte e conecte de novo o "
             "adaptador e confira-o no Gerenciador de Dispositivos.")
      .arg(port);
}

QString describeAccessDenied(const AccessDeniedFacts& facts) {
  return std::visit(
      Overloaded{[](const PermissionFacts& permission) { return describePermission(permission); },
                 [](const BusyFacts& busy) { return describeBusy(busy); },
                 [](const WindowsRefusalFacts& refusal) { return describeRefusedOnWindows(refusal.device); }},
      facts);
}

}  // namespace zelqon
