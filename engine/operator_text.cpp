#include "engine/operator_text.h"

#include "engine/port_diagnosis_text.h"

#include "engine/profile_text.h"
#include "engine/tls_text.h"
#include "protocol/line_settings.h"
#include "protocol/port_choice.h"
#include "serial/rfc2217_codec.h"

#include <algorithm>

namespace zelqon {

namespace {

QString operationText(const OperationFailure& failure) {
  switch (failure.operation) {
    case Operation::SendRadio:
      return QStringLiteral("A programação do RÁDIO %1 não foi enviada.").arg(failure.radio);
    case Operation::SendAllRadios:
      return QStringLiteral("O padrão de programação do RÁDIO %1 não foi enviado.").arg(failure.radio);
    case Operation::FactoryProgramming:
      return QStringLiteral("A programação de fábrica não foi concluída.");
    case Operation::Atualizar:
      return QStringLiteral("O comando Atualizar não foi enviado.");
    case Operation::ChangePort:
      return QStringLiteral("A porta não foi trocada.");
    case Operation::OpenPort:
      return QStringLiteral("A porta não foi aberta.");
  }
  return {};
}

QString stepText(const LinkError& error) {
  const QString& port = error.port();
  switch (error.step()) {
    case LinkStep::SelectPort:
      return QStringLiteral("Falha ao escolher a porta %1.").arg(port);
    case LinkStep::Open:
      return QStringLiteral("Falha ao abrir a porta %1.").arg(port);
    case LinkStep::Write:
      return QStringLiteral("Falha ao escrever na porta %1.").arg(port);
    case LinkStep::Read:
      return QStringLiteral("Falha ao ler a porta %1.").arg(port);
  }
  return {};
}

QString faultText(LinkFault fault) {
  switch (fault) {
    case LinkFault::InvalidNumber:
      return QStringLiteral("O número da porta não é válido: use um dos números da lista.");
    case LinkFault::NoSuchPort:
      return QStringLiteral("Não há porta serial com este número neste computador.");
    case LinkFault::AccessDenied:
#ifdef Q_OS_LINUX
      return QStringLiteral(
          "Acesso negado. Ou o seu usuário não tem permissão para usar portas seriais (inclua-o no grupo "
          "dialout e entre de novo na sessão), ou outro programa está usando esta porta.");
#else
      return QStringLiteral("Acesso negado: outro programa pode estar usando esta porta.");
#endif
    case LinkFault::NotOpen:
      return QStringLiteral("A porta não está aberta.");
    case LinkFault::DeviceGone:
      return QStringLiteral("O dispositivo foi desconectado.");
    case LinkFault::Timeout:
      return QStringLiteral("O sistema não aceitou os dados a tempo.");
    case LinkFault::Interrupted:
      return QStringLiteral("Interrompida pelo operador; a mensagem em andamento foi concluída.");
    case LinkFault::Internal:
      return QStringLiteral(
          "Erro interno do programa; nada mais foi enviado. Informe o suporte com o registro da sessão.");
    case LinkFault::HostNotFound:
      return QStringLiteral(
          "O nome do servidor não foi encontrado. Confira o endereço digitado e a conexão desta máquina com a rede.");
    case LinkFault::ConnectionRefused:
      return QStringLiteral(
          "O servidor recusou a conexão: nada atende nesta porta de rede. Confira o número da porta no endereço e "
          "se o servidor serial (ser2net ou outro) está em execução.");
    case LinkFault::NoAnswer:
      return QStringLiteral(
          "O servidor não respondeu a tempo. Confira o endereço e se a rede até o site da repetidora está no ar.");
    case LinkFault::ClosedAtOnce:
      return QStringLiteral(
          "O servidor encerrou a conexão logo ao abri-la. Outro cliente pode estar usando a porta serial do "
          "servidor: feche-o e tente de novo. Se a porta do servidor for cifrada, use o endereço rfc2217+tls:// "
          "ou tcp+tls://.");
    case LinkFault::PortInUse:
      return QStringLiteral(
          "A porta serial do servidor está em uso por outro cliente. Feche o outro cliente e tente de novo; uma "
          "conexão que caiu sem ser fechada só é liberada quando o servidor desiste dela.");
    case LinkFault::ServerHung:
      return QStringLiteral(
          "O servidor aceitou o RFC 2217, mas parou de responder antes de confirmar os ajustes da linha serial. "
          "Confira se a rede até o site está no ar e, se estiver, reinicie o servidor serial (ser2net ou outro).");
    case LinkFault::NotConfirmed:
      return QStringLiteral(
          "O servidor não confirmou a tempo que recebeu a mensagem; ela pode não ter chegado à controladora. "
          "Confira a rede até o site da repetidora e envie de novo.");
    case LinkFault::LinkSilent:
      return QStringLiteral(
          "A conexão com o servidor parou de responder: a rede até o site caiu ou o servidor travou.");
    case LinkFault::NotRfc2217:
      return QStringLiteral(
                 "O servidor não fala RFC 2217 nesta porta, por isso o programa não consegue ajustar a linha serial. "
                 "A alternativa é o endereço tcp:// com a porta do servidor configurada para %1n81.")
          .arg(kLineBitRate);
    case LinkFault::SettingsRefused:
      return QStringLiteral(
                 "O servidor recusou ou alterou os ajustes da linha serial (%1 bit/s, 8 bits, sem paridade, 1 bit de "
                 "parada). Confira a configuração da porta no servidor.")
          .arg(kLineBitRate);
    case LinkFault::ConnectionLost:
      return QStringLiteral("A conexão com o servidor foi perdida.");
    case LinkFault::NotTls:
      return QStringLiteral(
          "O servidor não fala TLS nesta porta de rede: confira a porta ou, se o servidor não cifra a conexão, use "
          "o endereço sem \"+tls\".");
    case LinkFault::ServerNotProven:
      return QStringLiteral("O servidor não provou ser o servidor indicado; nada foi enviado a ele.");
    case LinkFault::ClientCertificateRequired:
      return QStringLiteral(
          "O servidor exige um certificado deste computador e encerrou a conexão: indique-o com --client-cert "
          "ARQUIVO e --client-key ARQUIVO (ou certificado e chave no perfil), e inclua-o entre os aceitos pelo "
          "servidor.");
    case LinkFault::ClientCertificateUnusable:
      return QStringLiteral(
          "O TLS deste sistema não conseguiu usar o certificado deste computador para se apresentar ao servidor; "
          "nada foi enviado. Confira se o certificado serve para autenticar um cliente (clientAuth).");
    case LinkFault::ClientCertificateRefused:
      return QStringLiteral(
          "O servidor não aceitou o certificado deste computador e encerrou a conexão: inclua-o entre os aceitos "
          "pelo servidor (allowed_certs, no ser2net).");
    case LinkFault::NetworkSupportMissing:
      return describeNetworkSupportMissing();
    case LinkFault::Other:
      break;
  }
  return {};
}

QString settingName(ComPortSetting setting) {
  switch (setting) {
    case ComPortSetting::BaudRate:
      return QStringLiteral("velocidade");
    case ComPortSetting::DataSize:
      return QStringLiteral("bits de dados");
    case ComPortSetting::Parity:
      return QStringLiteral("paridade");
    case ComPortSetting::StopSize:
      return QStringLiteral("bits de parada");
    case ComPortSetting::Control:
      return QStringLiteral("controle de fluxo");
  }
  return {};
}

// The settings a server did not confirm, each with what it answered.
QString settingsText(const QList<LineSettingAnswer>& settings) {
  QStringList parts;
  for (const LineSettingAnswer& answer : settings) {
    const auto* record = std::find_if(kComPortSettings.cbegin(), kComPortSettings.cend(),
                                      [&](const ComPortSettingRecord& known) { return known.code == answer.code; });
    if (record == kComPortSettings.cend())
      continue;
    parts.append(answer.answered ? QStringLiteral("%1 %2 em vez de %3")
                                       .arg(settingName(record->setting))
                                       .arg(*answer.answered)
                                       .arg(answer.wanted)
                                 : QStringLiteral("%1 sem confirmação").arg(settingName(record->setting)));
  }
  return parts.isEmpty() ? QString()
                         : QStringLiteral("Resposta do servidor: %1.").arg(parts.join(QStringLiteral(", ")));
}

QString reasonText(const QString& reason) {
  return reason.isEmpty() ? QString() : QStringLiteral("Motivo informado pelo sistema: \u201C%1\u201D").arg(reason);
}

QString joinLines(const QStringList& lines) {
  QStringList kept;
  for (const QString& line : lines)
    if (!line.isEmpty())
      kept.append(line);
  return kept.join(QLatin1Char('\n'));
}

// A sequence that stopped part-way says how far it got.
QString progressText(const OperationFailure& failure) {
  if (failure.total <= 1 || failure.operation == Operation::SendAllRadios)
    return {};
  return QStringLiteral("Comandos enviados: %1 de %2.").arg(failure.written).arg(failure.total);
}

}  // namespace

QString describeNetworkSupportMissing() {
  return QStringLiteral(
      "O suporte a portas de rede do programa não pôde ser carregado, por isso só as portas seriais deste "
      "computador funcionam. Reinstale o programa.");
}

QString describeFailure(const OperationFailure& failure) {
  // An interruption is no failure of the port: no step to blame.
  const bool interrupted = failure.error.fault() == LinkFault::Interrupted;
  QString why = failure.accessDenied ? describeAccessDenied(*failure.accessDenied) : faultText(failure.error.fault());
  if (const auto& refused = failure.error.serverRefused())
    why = describeServerRefusal(*refused, failure.error.port());
  if (failure.error.fault() == LinkFault::InvalidNumber && looksLikeNetworkAddress(failure.error.port()))
    why = QStringLiteral("O endereço não é válido: use %1, com um endereço IPv6 entre colchetes.")
              .arg(describeNetworkPortForms());
  // A device given by its path has no number to blame.
  if (failure.error.fault() == LinkFault::NoSuchPort && failure.error.port().startsWith(QLatin1Char('/')))
    why = QStringLiteral("Não há dispositivo com este caminho neste computador.");
  QString present;
  if (failure.presentPorts) {
    // The operator's next move is to pick a port that is there now.
    present = failure.presentPorts->isEmpty()
                  ? QStringLiteral("Nenhuma porta serial presente agora.")
                  : QStringLiteral("Portas presentes agora: %1.").arg(failure.presentPorts->join(QStringLiteral(", ")));
  }
  return joinLines({operationText(failure), progressText(failure), interrupted ? QString() : stepText(failure.error),
                    why, settingsText(failure.error.settings()), reasonText(failure.error.reason()), present});
}

QString describeConnectionLost(const LinkError& error, AfterLoss afterLoss) {
  const bool reopens = afterLoss == AfterLoss::ReopenOnNextUse;
  return joinLines(
      {QStringLiteral("A porta %1 foi desconectada e fechada.").arg(error.port()),
       error.fault() == LinkFault::LinkSilent ? faultText(error.fault()) : QString(),
       reopens ? QStringLiteral("Ela será aberta de novo no próximo envio ou leitura, assim que o dispositivo voltar.")
               : QString(),
       reasonText(error.reason())});
}

QString describeProgress(const SequenceProgress& progress, std::chrono::milliseconds nextIn) {
  QString name;
  switch (progress.operation) {
    case Operation::SendAllRadios:
      name = QStringLiteral("Padrão de programação");
      break;
    case Operation::FactoryProgramming:
      name = QStringLiteral("Programação de fábrica");
      break;
    default:
      name = QStringLiteral("Envio");
      break;
  }
  QString text = QStringLiteral("%1: comando %2 de %3").arg(name).arg(progress.step).arg(progress.count);
  if (progress.radio > 0)
    text += QStringLiteral(" (RÁDIO %1)").arg(progress.radio);
  text += progress.written ? QStringLiteral(" enviado") : QStringLiteral(" não enviado");
  if (progress.step < progress.count) {
    const auto seconds = (std::max<qint64>(nextIn.count(), 0) + 999) / 1000;
    text += QStringLiteral("; próximo em %1 s").arg(seconds);
  }
  return text;
}

}  // namespace zelqon

namespace zelqon {

QString describeConnecting(PortState state, const QString& port) {
  switch (state) {
    case PortState::Connecting:
      return QStringLiteral("Conectando a %1…").arg(port);
    case PortState::Securing:
      return QStringLiteral("Conferindo a identidade do servidor %1…").arg(port);
    case PortState::Negotiating:
      return QStringLiteral("Ajustando a linha serial em %1…").arg(port);
    case PortState::Closed:
    case PortState::Open:
    case PortState::HungUp:
      break;
  }
  return {};
}

}  // namespace zelqon
