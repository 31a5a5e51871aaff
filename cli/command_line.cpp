#include "cli/command_line.h"

#include "engine/profile_text.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace zelqon::cli {

namespace {

const QString kCommandsText = QStringLiteral(
    "Programa a controladora de interligação de rádios ZELQON pela porta serial\n"
    "(19200 bit/s, 8N1), sem janela: para bancadas e scripts.\n"
    "\n"
    "Comandos:\n"
    "  ports         Lista as portas seriais com a numeração da lista da janela:\n"
    "                número, dispositivo e descrição, separados por tabulação.\n"
    "  send RÁDIO    Envia a programação do RÁDIO (1 a 4). Sem opções, os valores\n"
    "                de partida da janela: COR ATIVO ALTO, nenhum PTT, debounce e\n"
    "                hang de 100 ms.\n"
    "  factory       Envia a programação de fábrica: as quatro mensagens fixas,\n"
    "                3 s entre uma e outra, cada passo informado na saída de erro.\n"
    "  monitor       Copia para a saída padrão, byte a byte, o que a controladora\n"
    "                envia, até o fim de --seconds ou Ctrl+C.\n"
    "  apply PERFIL  Envia os quatro rádios de um perfil de site (.zelqon), em ordem,\n"
    "                3 s entre um e outro, cada passo na saída de erro. A porta é a\n"
    "                do perfil, a menos que --port diga outra.\n"
    "  check PERFIL  Confere um perfil: nada na saída quando está certo (código 0),\n"
    "                ou uma linha com arquivo:linha:coluna e o motivo (código 2).\n"
    "\n"
    "Perfil de site: texto TOML em UTF-8, editável à mão, por exemplo:\n"
    "  versao = 1\n"
    "  [site]                      # opcional\n"
    "  nome = \"Pico do Jaraguá\"\n"
    "  porta = \"rfc2217://10.8.0.5:2217\"   # ou \"1\", \"/dev/ttyUSB0\", tcp://...\n"
    "  [radio1]                    # radio1 a radio4, todos obrigatórios\n"
    "  cor = \"alto\"                # ou \"baixo\"\n"
    "  aciona = [2, 4]             # rádios acionados (PTT); [] nenhum\n"
    "  debounce_ms = 100           # 0 a 10000, de 100 em 100\n"
    "  hang_ms = 100\n"
    "\n"
    "Registro da sessão: send, factory, monitor e apply anotam cada mensagem enviada\n"
    "e cada byte recebido, com data e hora, em um arquivo por dia na pasta\n"
    "$XDG_STATE_HOME/zelqon (~/.local/state/zelqon), a mesma da janela.");

const QString kExitStatusText = QStringLiteral(
    "\n"
    "Códigos de saída:\n"
    "  0  concluído\n"
    "  2  uso incorreto (comando, opção ou valor recusado); nenhuma porta aberta\n"
    "  3  porta inexistente; na rede: servidor não encontrado ou nada atende na porta\n"
    "  4  acesso à porta negado; na rede: o servidor fechou a conexão logo ao abri-la\n"
    "      (outro cliente usa a porta serial dele)\n"
    "  5  falha de escrita ou outra falha de entrada e saída; na rede: sem resposta a\n"
    "      tempo, servidor sem RFC 2217 ou que recusou 19200 8N1\n"
    "  6  conexão perdida: o dispositivo foi desconectado ou o servidor caiu\n"
    "     (apply: o código da primeira falha)\n"
    "130  interrompido com Ctrl+C; a mensagem em andamento é concluída\n");

// Decimal digits alone, no sign or blanks, up to `highest`.
std::optional<int> plainNumber(const QString& text, int highest) {
  if (text.isEmpty() || text.size() > 9)
    return std::nullopt;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      return std::nullopt;
  }
  const int value = text.toInt();
  return value <= highest ? std::optional<int>(value) : std::nullopt;
}

std::optional<int> radioNumber(const QString& text) {
  const auto radio = plainNumber(text, kRadioCount);
  return radio && *radio >= 1 ? radio : std::nullopt;
}

QString commandName(Command command) {
  switch (command) {
    case Command::Ports:
      return QStringLiteral("ports");
    case Command::Send:
      return QStringLiteral("send");
    case Command::Factory:
      return QStringLiteral("factory");
    case Command::Monitor:
      return QStringLiteral("monitor");
    case Command::Apply:
      return QStringLiteral("apply");
    case Command::Check:
      return QStringLiteral("check");
  }
  return {};
}

}  // namespace

std::optional<DelayTime> delayEntry(const QString& text) {
  if (const auto entry = DelayTime::fromListText(text))
    return entry;
  const auto milliseconds = plainNumber(text, DelayTime::kLongestMs);
  return milliseconds ? DelayTime::fromMilliseconds(*milliseconds) : std::nullopt;
}

std::optional<PortChoice> portChoice(const QString& text) {
  if (looksLikeNetworkAddress(text)) {
    const auto address = parseNetworkAddress(text);
    return address ? std::optional<PortChoice>(PortChoice{1, {}, *address}) : std::nullopt;
  }
  if (text.contains(QLatin1Char('/')))
    return PortChoice{1, text, {}};
  const auto number = plainNumber(text, std::numeric_limits<qint16>::max());
  if (!number || *number < 1)
    return std::nullopt;
  return PortChoice{qint16(*number), {}, {}};
}

CommandLine::CommandLine()
    : m_help(m_parser.addHelpOption()),
      m_version(m_parser.addVersionOption()),
      m_port({QStringLiteral("p"), QStringLiteral("port")},
             QStringLiteral("Número da porta, como na lista da janela (padrão: 1), caminho do "
                            "dispositivo, como /dev/ttyUSB0, ou servidor serial de rede: "
                            "rfc2217://SERVIDOR:PORTA (o programa ajusta a linha para 19200 8N1) ou "
                            "tcp://SERVIDOR:PORTA (a linha é a configurada no servidor)."),
             QStringLiteral("porta")),
      m_cor(QStringLiteral("cor"),
            QStringLiteral("send: nível ativo da entrada COR do rádio, alto ou baixo (ou 1 e 0). "
                           "Padrão: alto."),
            QStringLiteral("nível")),
      m_ptt(QStringLiteral("ptt"),
            QStringLiteral("send: os rádios que o RÁDIO aciona, separados por vírgula, como 1,3; "
                           "nunca ele mesmo. Padrão: nenhum."),
            QStringLiteral("rádios")),
      m_debounce(QStringLiteral("debounce"),
                 QStringLiteral("send: tempo de debounce (DelayDT) em ms, de 0 a 10000 de 100 em 100, "
                                "ou como na lista da janela (00100). Padrão: 100."),
                 QStringLiteral("ms")),
      m_hang(QStringLiteral("hang"),
             QStringLiteral("send: tempo de hang (DelayHT), nos mesmos valores de --debounce. Padrão: 100."),
             QStringLiteral("ms")),
      m_seconds(QStringLiteral("seconds"),
                QStringLiteral("monitor: encerra depois de tantos segundos. Padrão: só com Ctrl+C."),
                QStringLiteral("segundos")),
      m_dryRun({QStringLiteral("n"), QStringLiteral("dry-run")},
               QStringLiteral("send, factory, apply: mostra o que seria escrito, uma mensagem por linha, sem "
                              "abrir a porta.")),
      m_noRecord(QStringLiteral("no-record"), QStringLiteral("Não grava o registro da sessão.")),
      m_record(QStringLiteral("record"),
               QStringLiteral("Grava o registro da sessão neste arquivo (acrescenta ao fim) em vez da pasta "
                              "por usuário."),
               QStringLiteral("arquivo")) {
  m_parser.setApplicationDescription(kCommandsText);
  m_parser.addOptions({m_port, m_cor, m_ptt, m_debounce, m_hang, m_seconds, m_dryRun, m_noRecord, m_record});
  m_parser.addPositionalArgument(QStringLiteral("comando"),
                                 QStringLiteral("ports, send, factory, monitor, apply ou check."),
                                 QStringLiteral("comando"));
  m_parser.addPositionalArgument(QStringLiteral("argumento"),
                                 QStringLiteral("send: o rádio programado, de 1 a 4; apply, check: o perfil."),
                                 QStringLiteral("[RÁDIO|PERFIL]"));
}

Request CommandLine::parse(const QStringList& arguments) {
  if (!m_parser.parse(arguments))
    throw UsageError(m_parser.errorText());
  if (m_parser.isSet(m_help)) {
    const QByteArray text = (m_parser.helpText() + kExitStatusText).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::exit(0);
  }
  if (m_parser.isSet(m_version))
    m_parser.showVersion();
  return readRequest();
}

Request CommandLine::readRequest() const {
  const QStringList positional = m_parser.positionalArguments();
  if (positional.isEmpty())
    throw UsageError(QStringLiteral("falta o comando: ports, send, factory, monitor, apply ou check (veja --help)."));

  Request request;
  const QString& name = positional.first();
  qsizetype expectedArguments = 1;
  if (name == QLatin1String("ports")) {
    request.command = Command::Ports;
    requireOnly(Command::Ports, {});
  } else if (name == QLatin1String("send")) {
    request.command = Command::Send;
    requireOnly(Command::Send, {&m_port, &m_cor, &m_ptt, &m_debounce, &m_hang, &m_dryRun, &m_noRecord, &m_record});
    expectedArguments = 2;
    if (positional.size() < 2)
      throw UsageError(QStringLiteral("send precisa do número do rádio, de 1 a 4."));
    const auto radio = radioNumber(positional.at(1));
    if (!radio)
      throw UsageError(QStringLiteral("rádio inválido: \"%1\"; os rádios são 1, 2, 3 e 4.").arg(positional.at(1)));
    request.radio = *radio;
    readProgram(request);
  } else if (name == QLatin1String("factory")) {
    request.command = Command::Factory;
    requireOnly(Command::Factory, {&m_port, &m_dryRun, &m_noRecord, &m_record});
  } else if (name == QLatin1String("monitor")) {
    request.command = Command::Monitor;
    requireOnly(Command::Monitor, {&m_port, &m_seconds, &m_noRecord, &m_record});
    if (m_parser.isSet(m_seconds)) {
      const auto seconds = plainNumber(m_parser.value(m_seconds), std::numeric_limits<int>::max() / 1000);
      if (!seconds || *seconds < 1)
        throw UsageError(QStringLiteral("--seconds: use um número inteiro de segundos maior que zero, não \"%1\".")
                             .arg(m_parser.value(m_seconds)));
      request.seconds = *seconds;
    }
  } else if (name == QLatin1String("apply") || name == QLatin1String("check")) {
    const bool apply = name == QLatin1String("apply");
    request.command = apply ? Command::Apply : Command::Check;
    if (apply)
      requireOnly(Command::Apply, {&m_port, &m_dryRun, &m_noRecord, &m_record});
    else
      requireOnly(Command::Check, {});
    expectedArguments = 2;
    readProfile(request, positional);
  } else {
    throw UsageError(
        QStringLiteral("comando desconhecido: \"%1\"; os comandos são ports, send, factory, monitor, apply e check.")
            .arg(name));
  }
  if (positional.size() > expectedArguments)
    throw UsageError(QStringLiteral("argumento a mais: \"%1\".").arg(positional.at(expectedArguments)));

  if (m_parser.isSet(m_port)) {
    const auto port = portChoice(m_parser.value(m_port));
    if (!port)
      throw UsageError(QStringLiteral("--port: use o número da porta (1, 2, ...), o caminho do dispositivo "
                                      "(/dev/ttyUSB0) ou rfc2217://SERVIDOR:PORTA ou tcp://SERVIDOR:PORTA, não \"%1\".")
                           .arg(m_parser.value(m_port)));
    request.port = *port;
  }
  request.dryRun = m_parser.isSet(m_dryRun);
  readRecord(request);
  return request;
}

void CommandLine::readProfile(Request& request, const QStringList& positional) const {
  const QString command = commandName(request.command);
  if (positional.size() < 2)
    throw UsageError(QStringLiteral("%1 precisa do arquivo do perfil (.zelqon).").arg(command));
  const ProfileReadResult read = readSiteProfile(positional.at(1));
  if (!read.profile)
    throw UsageError(describeProfileProblem(read.problem));
  request.profile = *read.profile;
  // The profile's port, unless --port names another.
  if (request.command == Command::Apply && !request.profile.port.isEmpty() && !m_parser.isSet(m_port)) {
    const auto port = portChoice(request.profile.port);
    if (!port)
      throw UsageError(QStringLiteral("%1: a porta \"%2\" do perfil não é uma que este programa abra aqui; "
                                      "use --port.")
                           .arg(positional.at(1), request.profile.port));
    request.port = *port;
  }
}

void CommandLine::readRecord(Request& request) const {
  if (m_parser.isSet(m_noRecord) && m_parser.isSet(m_record))
    throw UsageError(QStringLiteral("use --no-record ou --record, não os dois."));
  if (m_parser.isSet(m_noRecord)) {
    request.record = RecordMode::Off;
  } else if (m_parser.isSet(m_record)) {
    if (m_parser.value(m_record).isEmpty())
      throw UsageError(QStringLiteral("--record precisa do nome do arquivo."));
    request.record = RecordMode::OneFile;
    request.recordFile = m_parser.value(m_record);
  }
}

void CommandLine::requireOnly(Command command, const QList<const QCommandLineOption*>& allowed) const {
  for (const QCommandLineOption* option :
       {&m_port, &m_cor, &m_ptt, &m_debounce, &m_hang, &m_seconds, &m_dryRun, &m_noRecord, &m_record}) {
    if (m_parser.isSet(*option) && !allowed.contains(option))
      throw UsageError(QStringLiteral("a opção --%1 não se aplica ao comando %2.")
                           .arg(option->names().constLast(), commandName(command)));
  }
}

void CommandLine::readProgram(Request& request) const {
  RadioProgram& program = request.program;
  if (m_parser.isSet(m_cor)) {
    const QString level = m_parser.value(m_cor).toLower();
    if (level == QLatin1String("alto") || level == QLatin1String("1"))
      program.corLevel = CorLevel::ActiveHigh;
    else if (level == QLatin1String("baixo") || level == QLatin1String("0"))
      program.corLevel = CorLevel::ActiveLow;
    else
      throw UsageError(QStringLiteral("--cor: use alto ou baixo (ou 1 e 0), não \"%1\".").arg(m_parser.value(m_cor)));
  }

  if (m_parser.isSet(m_ptt)) {
    for (const QString& item : m_parser.value(m_ptt).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const auto target = radioNumber(item.trimmed());
      if (!target)
        throw UsageError(
            QStringLiteral("--ptt: \"%1\" não é um rádio; use 1 a 4, separados por vírgula.").arg(item.trimmed()));
      if (*target == request.radio)
        throw UsageError(QStringLiteral("--ptt: o rádio %1 não pode acionar a si mesmo.").arg(*target));
      if (program.keyedRadios.contains(*target))
        throw UsageError(QStringLiteral("--ptt: o rádio %1 aparece mais de uma vez.").arg(*target));
      program.keyedRadios.set(*target, true);
    }
  }

  const auto readDelay = [this](const QCommandLineOption& option, DelayTime& field) {
    if (!m_parser.isSet(option))
      return;
    const auto entry = delayEntry(m_parser.value(option));
    if (!entry)
      throw UsageError(QStringLiteral("--%1: \"%2\" não é um dos tempos da lista (0 a 10000 ms, de 100 em 100).")
                           .arg(option.names().constLast(), m_parser.value(option)));
    field = *entry;
  };
  readDelay(m_debounce, program.debounce);
  readDelay(m_hang, program.hang);
}

}  // namespace zelqon::cli
