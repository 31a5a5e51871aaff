#include "cli/command_line.h"

#include "engine/operator_text.h"
#include "engine/profile_text.h"
#include "engine/tls_text.h"
#include "protocol/line_settings.h"
#include "serial/network_support.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>

namespace zelqon::cli {

namespace {

enum class Option {
  Port,
  ServerCert,
  ClientCert,
  ClientKey,
  Fingerprint,
  Cor,
  Ptt,
  Debounce,
  Hang,
  Seconds,
  DryRun,
  NoRecord,
  Record
};
constexpr std::size_t kOptionCount = 13;

struct OptionEntry {
  Option option;
  QStringList names;  // the long name last: refusals use it
  const char* help;
  const char* valueName;  // nullptr: a switch
};

// What a command takes after its name.
enum class Argument { None, Radio, Profile, Address };

class Reader;

// One command: its name, what it takes, and how its request is read from
// the parser (`argument` is the text after the name, when it takes one).
struct CommandEntry {
  const char* name;
  Argument argument;
  QList<Option> options;
  const char* help;  // lines after the first are indented under it
  Work (*read)(const Reader& reader, const QString& argument);
};

// Every option, each once; looked up by its field, so the order is the help's.
const std::array<OptionEntry, kOptionCount>& optionTable() {
  static const std::array<OptionEntry, kOptionCount> table{{
      {Option::Port,
       {QStringLiteral("p"), QStringLiteral("port")},
       "número da porta, como na lista da janela (padrão: 1; COM3 é o número 3), caminho do dispositivo, como "
       "/dev/ttyUSB0, ou servidor serial de rede: rfc2217://SERVIDOR:PORTA (o programa ajusta a linha para %1 8N1) "
       "ou tcp://SERVIDOR:PORTA (a linha é a configurada no servidor); rfc2217+tls:// e tcp+tls:// são as mesmas "
       "formas, cifradas com TLS.",
       "porta"},
      {Option::ServerCert,
       {QStringLiteral("server-cert")},
       "com +tls: o certificado do servidor (PEM), ou o da autoridade que o assinou; só ele prova o servidor. "
       "Sem ele, vale o guardado com \"zelqon-cli trust\", ou uma autoridade do sistema.",
       "arquivo"},
      {Option::ClientCert,
       {QStringLiteral("client-cert")},
       "com +tls: o certificado deste computador (PEM), para o servidor que o exige; com --client-key.",
       "arquivo"},
      {Option::ClientKey,
       {QStringLiteral("client-key")},
       "a chave privada (PEM, sem senha, legível só pelo dono) de --client-cert.",
       "arquivo"},
      {Option::Fingerprint,
       {QStringLiteral("fingerprint")},
       "a impressão digital do certificado do servidor, SHA256:..., como trust a mostra: guarda o certificado "
       "sem perguntar quando é a mesma.",
       "impressão"},
      {Option::Cor,
       {QStringLiteral("cor")},
       "nível ativo da entrada COR do rádio, alto ou baixo (ou 1 e 0). Padrão: alto.",
       "nível"},
      {Option::Ptt,
       {QStringLiteral("ptt")},
       "os rádios que o RÁDIO aciona, separados por vírgula, como 1,3; nunca ele mesmo. Padrão: nenhum.",
       "rádios"},
      {Option::Debounce,
       {QStringLiteral("debounce")},
       "tempo de debounce (DelayDT): de %2, ou como na lista da janela (00100). Padrão: 100.",
       "ms"},
      {Option::Hang,
       {QStringLiteral("hang")},
       "tempo de hang (DelayHT), nos mesmos valores de --debounce. Padrão: 100.",
       "ms"},
      {Option::Seconds,
       {QStringLiteral("seconds")},
       "encerra depois de tantos segundos. Padrão: só com Ctrl+C.",
       "segundos"},
      {Option::DryRun,
       {QStringLiteral("n"), QStringLiteral("dry-run")},
       "mostra o que seria escrito, uma mensagem por linha, sem abrir nem procurar a porta.",
       nullptr},
      {Option::NoRecord, {QStringLiteral("no-record")}, "não grava o registro da sessão.", nullptr},
      {Option::Record,
       {QStringLiteral("record")},
       "grava o registro da sessão neste arquivo (acrescenta ao fim) em vez da pasta por usuário.",
       "arquivo"},
  }};
  return table;
}

const QList<CommandEntry>& commandTable();

const QString kTlsForms = QStringLiteral("rfc2217+tls:// ou tcp+tls://");

QString argumentName(Argument argument) {
  switch (argument) {
    case Argument::None:
      break;
    case Argument::Radio:
      return QStringLiteral("RÁDIO");
    case Argument::Profile:
      return QStringLiteral("PERFIL");
    case Argument::Address:
      return QStringLiteral("ENDEREÇO");
  }
  return {};
}

const QString kProfileText = QStringLiteral(
    "Perfil de site: texto TOML em UTF-8, editável à mão, por exemplo:\n"
    "  versao = 1\n"
    "  [site]                      # opcional\n"
    "  nome = \"Pico do Jaraguá\"\n"
    "  porta = \"rfc2217://10.8.0.5:2217\"   # ou \"1\", \"COM1\", \"/dev/ttyUSB0\", tcp://...\n"
    "  [radio1]                    # radio1 a radio4, todos obrigatórios\n"
    "  cor = \"alto\"                # ou \"baixo\"\n"
    "  aciona = [2, 4]             # rádios acionados (PTT); [] nenhum\n"
    "  debounce_ms = 100           # 0 a 10000, de 100 em 100\n"
    "  hang_ms = 100\n"
    "\n"
    "Registro da sessão: %1 anotam cada\n"
    "mensagem enviada e cada byte recebido, com data e hora, em um arquivo por dia\n"
    "na pasta $XDG_STATE_HOME/zelqon (~/.local/state/zelqon), a mesma da janela.");

const QString kExitStatusText = QStringLiteral(
    "\n"
    "Códigos de saída:\n"
    "  0  concluído\n"
    "  2  uso incorreto (comando, opção ou valor recusado); nenhuma porta aberta\n"
    "  3  porta inexistente; na rede: servidor não encontrado ou nada atende na porta\n"
    "  4  acesso à porta negado; na rede: o servidor fechou a conexão logo ao abri-la\n"
    "      (outro cliente usa a porta serial dele) ou recusou este computador (sem\n"
    "      certificado dele, ou um que não aceita); chave --client-key recusada\n"
    "  5  falha de escrita ou outra falha de entrada e saída; na rede: sem resposta a\n"
    "      tempo, servidor sem RFC 2217 ou que recusou %1 8N1; sem o suporte a\n"
    "      portas de rede do programa (reinstale-o)\n"
    "  6  conexão perdida: o dispositivo foi desconectado ou o servidor caiu\n"
    "     (apply: o código da primeira falha)\n"
    "  7  com +tls: o servidor não provou quem é (certificado desconhecido, mudado,\n"
    "      vencido ou de outro nome); nada foi enviado a ele\n"
    "130  interrompido com Ctrl+C; a mensagem em andamento é concluída\n");

// The names of the commands `wanted` holds for, as a sentence lists them.
QString namesOf(const std::function<bool(const CommandEntry&)>& wanted, const QString& lastJoin) {
  QStringList names;
  for (const CommandEntry& entry : commandTable()) {
    if (wanted(entry))
      names.append(QString::fromLatin1(entry.name));
  }
  const QString last = names.takeLast();
  return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + lastJoin + last;
}

QString commandNames(const QString& lastJoin) {
  return namesOf([](const CommandEntry&) { return true; }, lastJoin);
}

QString namesTaking(Argument argument) {
  return namesOf([argument](const CommandEntry& entry) { return entry.argument == argument; }, QStringLiteral(", "));
}

QString description() {
  QString text = QStringLiteral(
                     "Programa a controladora de interligação de rádios ZELQON pela porta serial\n"
                     "(%1 bit/s, 8N1), sem janela: para bancadas e scripts.\n\nComandos:\n")
                     .arg(kLineBitRate);
  for (const CommandEntry& entry : commandTable()) {
    const QString head = QString::fromLatin1(entry.name) + QLatin1Char(' ') + argumentName(entry.argument);
    QString help = QString::fromUtf8(entry.help);
    help.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(16, QLatin1Char(' ')));
    // A head too long for its column puts the help on the next line.
    const QString column = head.size() < 14 ? head.leftJustified(14) : head + QLatin1Char('\n') + QString(16, ' ');
    text += QStringLiteral("  %1%2\n").arg(column, help);
  }
  const auto recorded = [](const CommandEntry& entry) { return entry.options.contains(Option::Record); };
  return text + QLatin1Char('\n') + kProfileText.arg(namesOf(recorded, QStringLiteral(" e ")));
}

// The commands that take `option`, as its help names them.
QString commandsTaking(Option option) {
  return namesOf([option](const CommandEntry& entry) { return entry.options.contains(option); }, QStringLiteral(", ")) +
         QStringLiteral(": ");
}

// Input refused: caught in parseCommandLine() and returned as a Refusal.
class Refused : public std::runtime_error {
 public:
  explicit Refused(QString text, ExitStatus status = ExitStatus::Usage)
      : std::runtime_error("refused"), m_text(std::move(text)), m_status(status) {}
  [[nodiscard]] const QString& text() const { return m_text; }
  [[nodiscard]] ExitStatus status() const { return m_status; }

 private:
  QString m_text;
  ExitStatus m_status;
};

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

std::optional<DelayTime> delayEntry(const QString& text) {
  if (const auto entry = DelayTime::fromListText(text))
    return entry;
  const auto milliseconds = plainNumber(text, DelayTime::kLongestMs);
  return milliseconds ? DelayTime::fromMilliseconds(*milliseconds) : std::nullopt;
}

QString portRefusal(PortTextProblem problem, const QString& text) {
  switch (problem) {
    case PortTextProblem::NumberOutOfRange:
      return QStringLiteral("--port: os números de porta vão de 1 a 32767, não \"%1\".").arg(text);
    case PortTextProblem::BadNetworkAddress:
      return QStringLiteral("--port: \"%1\" não é um endereço de rede válido (%2, porta de 1 a 65535).")
          .arg(text, describeNetworkPortForms());
    case PortTextProblem::Empty:
    case PortTextProblem::NotAPort:
      break;
  }
  return QStringLiteral("--port: use %1, não \"%2\".").arg(describePortForms(), text);
}

// QCommandLineParser with the options of the table, read one run.
class Reader {
 public:
  Reader() {
    m_parser.setApplicationDescription(description());
    for (const OptionEntry& entry : optionTable()) {
      const QString help =
          commandsTaking(entry.option) + QString::fromUtf8(entry.help)
                                             .replace(QLatin1String("%1"), QString::number(kLineBitRate))
                                             .replace(QLatin1String("%2"), describeDelayRange());
      QCommandLineOption option = entry.valueName
                                      ? QCommandLineOption(entry.names, help, QString::fromUtf8(entry.valueName))
                                      : QCommandLineOption(entry.names, help);
      m_options.emplace(entry.option, option);
      m_parser.addOption(option);
    }
    m_parser.addPositionalArgument(QStringLiteral("comando"), commandNames(QStringLiteral(" ou ")) + QLatin1Char('.'),
                                   QStringLiteral("comando"));
    m_parser.addPositionalArgument(
        QStringLiteral("argumento"),
        QStringLiteral("%1: o rádio programado, de 1 a 4; %2: o perfil; %3: o servidor.")
            .arg(namesTaking(Argument::Radio), namesTaking(Argument::Profile), namesTaking(Argument::Address)),
        QStringLiteral("[RÁDIO|PERFIL|ENDEREÇO]"));
  }

  ParseResult parse(const QStringList& arguments) {
    if (!m_parser.parse(arguments))
      return Refusal{m_parser.errorText()};
    if (m_parser.isSet(m_help))
      return ShownText{m_parser.helpText() + QLatin1Char('\n') + describeProfileKeys() +
                       kExitStatusText.arg(kLineBitRate)};
    if (m_parser.isSet(m_version))
      return ShownText{QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
                       QLatin1Char('\n')};
    try {
      return readRequest();
    } catch (const Refused& refused) {
      return Refusal{refused.text(), refused.status()};
    }
  }

 private:
  [[nodiscard]] bool isSet(Option option) const { return m_parser.isSet(m_options.at(option)); }
  [[nodiscard]] QString value(Option option) const { return m_parser.value(m_options.at(option)); }
  [[nodiscard]] QString longName(Option option) const {
    return QStringLiteral("--") + m_options.at(option).names().constLast();
  }

  [[nodiscard]] Request readRequest() const {
    const QStringList positional = m_parser.positionalArguments();
    if (positional.isEmpty())
      throw Refused(QStringLiteral("falta o comando: %1 (veja --help).").arg(commandNames(QStringLiteral(" ou "))));
    const QString& name = positional.first();
    const auto& commands = commandTable();
    const auto entry = std::find_if(commands.cbegin(), commands.cend(),
                                    [&name](const CommandEntry& e) { return name == QLatin1String(e.name); });
    if (entry == commands.cend())
      throw Refused(QStringLiteral("comando desconhecido: \"%1\"; os comandos são %2.")
                        .arg(name, commandNames(QStringLiteral(" e "))));
    for (const OptionEntry& option : optionTable()) {
      if (isSet(option.option) && !entry->options.contains(option.option))
        throw Refused(QStringLiteral("a opção %1 não se aplica ao comando %2.").arg(longName(option.option), name));
    }
    const qsizetype expected = entry->argument == Argument::None ? 1 : 2;
    if (positional.size() < expected) {
      switch (entry->argument) {
        case Argument::Radio:
          throw Refused(QStringLiteral("%1 precisa do número do rádio, de 1 a 4.").arg(name));
        case Argument::Profile:
          throw Refused(QStringLiteral("%1 precisa do arquivo do perfil (.zelqon).").arg(name));
        case Argument::Address:
        case Argument::None:
          throw Refused(QStringLiteral("%1 precisa do endereço do servidor (%2).").arg(name, kTlsForms));
      }
    }
    if (positional.size() > expected)
      throw Refused(QStringLiteral("argumento a mais: \"%1\".").arg(positional.at(expected)));

    Request request;
    request.work = entry->read(*this, expected > 1 ? positional.at(1) : QString());
    if (isSet(Option::Port)) {
      auto port = readPortChoice(value(Option::Port), PortReading::Exact);
      if (const auto* problem = std::get_if<PortTextProblem>(&port))
        throw Refused(portRefusal(*problem, value(Option::Port)));
      request.port = std::get<PortChoice>(port);
    } else if (const auto* apply = std::get_if<ApplyProfile>(&request.work); apply && apply->profile.port) {
      request.port = *apply->profile.port;
    }
    if (isSet(Option::DryRun))
      request.delivery = Delivery::DryRun;
    readRecord(request);
    readTls(request);
    return request;
  }

  // The certificate and key files, read and checked before any connection:
  // the command line's, else the profile's, else this user's own pair.
  void readTls(Request& request) const {
    const bool clientCert = isSet(Option::ClientCert);
    const bool anyOption = isSet(Option::ServerCert) || clientCert || isSet(Option::ClientKey);
    const NetworkAddress* address = request.port.network();
    if (!address || address->security != NetworkSecurity::Tls) {
      if (anyOption)
        throw Refused(QStringLiteral("--server-cert, --client-cert e --client-key valem só para %1.")
                          .arg(QStringLiteral("rfc2217+tls:// e tcp+tls://")));
      return;
    }
    if (clientCert != isSet(Option::ClientKey))
      throw Refused(QStringLiteral("use --client-cert e --client-key juntos."));
    const TlsFiles given{value(Option::ServerCert), value(Option::ClientCert), value(Option::ClientKey)};
    TlsFiles named;
    if (const auto* apply = std::get_if<ApplyProfile>(&request.work))
      named = profileTlsFiles(apply->profile, apply->path);
    const auto module = networkModule();
    if (const auto* reason = std::get_if<QString>(&module))
      throw Refused(describeNetworkSupportMissing() + QLatin1Char(' ') + *reason, ExitStatus::IoFailure);
    auto credentials =
        std::get<const NetworkModule*>(module)->readTlsCredentials(chooseTlsFiles(given, named, userClientPair()));
    if (const auto* refusal = std::get_if<TlsFilesRefusal>(&credentials)) {
      const ExitStatus status =
          std::holds_alternative<IdentityRefusal>(*refusal) ? ExitStatus::AccessDenied : ExitStatus::Usage;
      throw Refused(describeTlsFilesRefusal(*refusal), status);
    }
    request.tls = std::get<SharedTlsCredentials>(std::move(credentials));
  }

 public:
  // The commands' own readers, named by the command table.
  [[nodiscard]] static SiteProfile readProfile(const QString& path) {
    ProfileReadResult read = readSiteProfile(path);
    if (!read.profile)
      throw Refused(describeProfileProblem(read.problem));
    return std::move(*read.profile);
  }

  [[nodiscard]] TrustServer readTrust(const QString& text) const {
    const auto address = parseNetworkAddress(text);
    if (!address || address->security != NetworkSecurity::Tls)
      throw Refused(QStringLiteral("trust: \"%1\" não é um endereço %2.").arg(text, kTlsForms));
    TrustServer trust{*address, std::nullopt};
    if (isSet(Option::Fingerprint)) {
      if (!value(Option::Fingerprint).startsWith(QLatin1String("SHA256:")))
        throw Refused(QStringLiteral("--fingerprint: use a forma SHA256:..., como trust a mostra, não \"%1\".")
                          .arg(value(Option::Fingerprint)));
      trust.fingerprint = value(Option::Fingerprint);
    }
    return trust;
  }

  [[nodiscard]] Monitor readMonitor() const {
    Monitor monitor;
    if (isSet(Option::Seconds)) {
      const auto seconds = plainNumber(value(Option::Seconds), std::numeric_limits<int>::max() / 1000);
      if (!seconds || *seconds < 1)
        throw Refused(QStringLiteral("--seconds: use um número inteiro de segundos maior que zero, não \"%1\".")
                          .arg(value(Option::Seconds)));
      monitor.seconds = *seconds;
    }
    return monitor;
  }

 private:
  void readRecord(Request& request) const {
    if (isSet(Option::NoRecord) && isSet(Option::Record))
      throw Refused(QStringLiteral("use --no-record ou --record, não os dois."));
    if (isSet(Option::NoRecord)) {
      request.record = RecordMode::Off;
    } else if (isSet(Option::Record)) {
      if (value(Option::Record).isEmpty())
        throw Refused(QStringLiteral("--record precisa do nome do arquivo."));
      request.record = RecordMode::OneFile;
      request.recordFile = value(Option::Record);
    }
  }

 public:
  [[nodiscard]] SendRadio readSend(const QString& radioText) const {
    SendRadio send;
    const auto radio = radioNumber(radioText);
    if (!radio)
      throw Refused(QStringLiteral("rádio inválido: \"%1\"; os rádios são 1, 2, 3 e 4.").arg(radioText));
    send.radio = *radio;
    RadioProgram& program = send.program;
    if (isSet(Option::Cor)) {
      // The message's own flags too: 1 for active high, 0 for active low.
      const QString level = value(Option::Cor).toLower();
      if (const auto corLevel = corLevelOfWord(level))
        program.corLevel = *corLevel;
      else if (level == QLatin1String("1") || level == QLatin1String("0"))
        program.corLevel = level == QLatin1String("1") ? CorLevel::ActiveHigh : CorLevel::ActiveLow;
      else
        throw Refused(
            QStringLiteral("--cor: use %1 ou %2 (ou 1 e 0), não \"%3\".")
                .arg(corLevelWord(CorLevel::ActiveHigh), corLevelWord(CorLevel::ActiveLow), value(Option::Cor)));
    }
    if (isSet(Option::Ptt)) {
      for (const QString& item : value(Option::Ptt).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto target = radioNumber(item.trimmed());
        if (!target)
          throw Refused(
              QStringLiteral("--ptt: \"%1\" não é um rádio; use 1 a 4, separados por vírgula.").arg(item.trimmed()));
        if (*target == send.radio)
          throw Refused(QStringLiteral("--ptt: o rádio %1 não pode acionar a si mesmo.").arg(*target));
        if (program.keyedRadios.contains(*target))
          throw Refused(QStringLiteral("--ptt: o rádio %1 aparece mais de uma vez.").arg(*target));
        program.keyedRadios.set(*target, true);
      }
    }
    for (const auto& [option, field] :
         {std::pair{Option::Debounce, &program.debounce}, {Option::Hang, &program.hang}}) {
      if (!isSet(option))
        continue;
      const auto entry = delayEntry(value(option));
      if (!entry)
        throw Refused(QStringLiteral("%1: \"%2\" não é um dos tempos da lista (%3).")
                          .arg(longName(option), value(option), describeDelayRange()));
      *field = *entry;
    }
    return send;
  }

 private:
  QCommandLineParser m_parser;
  QCommandLineOption m_help = m_parser.addHelpOption();
  QCommandLineOption m_version = m_parser.addVersionOption();
  std::map<Option, QCommandLineOption> m_options;  // each option of the table by its field
};

const QList<CommandEntry>& commandTable() {
  using enum Option;
  static const QList<CommandEntry> table{
      {"ports",
       Argument::None,
       {},
       "Lista as portas seriais com a numeração da lista da janela:\n"
       "número, dispositivo e descrição, separados por tabulação.",
       [](const Reader&, const QString&) -> Work { return ListPorts{}; }},
      {"send",
       Argument::Radio,
       {Port, ServerCert, ClientCert, ClientKey, Cor, Ptt, Debounce, Hang, DryRun, NoRecord, Record},
       "Envia a programação do RÁDIO (1 a 4). Sem opções, os valores\n"
       "de partida da janela: COR ATIVO ALTO, nenhum PTT, debounce e\n"
       "hang de 100 ms.",
       [](const Reader& reader, const QString& radio) -> Work { return reader.readSend(radio); }},
      {"factory",
       Argument::None,
       {Port, ServerCert, ClientCert, ClientKey, DryRun, NoRecord, Record},
       "Envia a programação de fábrica: as quatro mensagens fixas,\n"
       "3 s entre uma e outra, cada passo informado na saída de erro.",
       [](const Reader&, const QString&) -> Work { return SendFactory{}; }},
      {"monitor",
       Argument::None,
       {Port, ServerCert, ClientCert, ClientKey, Seconds, NoRecord, Record},
       "Copia para a saída padrão, byte a byte, o que a controladora\n"
       "envia, até o fim de --seconds ou Ctrl+C.",
       [](const Reader& reader, const QString&) -> Work { return reader.readMonitor(); }},
      {"apply",
       Argument::Profile,
       {Port, ServerCert, ClientCert, ClientKey, DryRun, NoRecord, Record},
       "Envia os quatro rádios de um perfil de site (.zelqon), em ordem,\n"
       "3 s entre um e outro, cada passo na saída de erro. A porta é a\n"
       "do perfil, a menos que --port diga outra.",
       [](const Reader&, const QString& path) -> Work {
         return ApplyProfile{Reader::readProfile(path), path};
       }},
      {"check",
       Argument::Profile,
       {},
       "Confere um perfil: nada na saída quando está certo (código 0),\n"
       "ou uma linha com arquivo:linha:coluna e o motivo (código 2).",
       [](const Reader&, const QString& path) -> Work {
         (void)Reader::readProfile(path);
         return CheckProfile{};
       }},
      {"atualizar",
       Argument::None,
       {Port, ServerCert, ClientCert, ClientKey, DryRun, NoRecord, Record},
       "Envia o comando Atualizar, como o botão da janela: os nove\n"
       "caracteres, sem fim de linha.",
       [](const Reader&, const QString&) -> Work { return SendAtualizar{}; }},
      {"trust",
       Argument::Address,
       {Fingerprint},
       "Mostra o certificado do servidor rfc2217+tls:// ou tcp+tls://\n"
       "(assunto, emissor, validade e impressão digital) e o guarda para\n"
       "as próximas conexões depois de um \"s\" digitado no terminal, ou\n"
       "quando a impressão digital é a de --fingerprint; nada é escrito\n"
       "ao servidor.",
       [](const Reader& reader, const QString& address) -> Work { return reader.readTrust(address); }},
  };
  return table;
}

}  // namespace

ParseResult parseCommandLine(const QStringList& arguments) { return Reader().parse(arguments); }

}  // namespace zelqon::cli
