#include "protocol/site_profile.h"

#include "protocol/port_address.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <string_view>

// toml++ is used header-only, in this file alone: the program then needs no
// toml++ library at run time.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

namespace zelqon {

namespace {

const QString kTimeRange = QStringLiteral("0 a 10000 ms, de 100 em 100");

QString fromStd(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QString radioSection(int radio) { return QStringLiteral("radio%1").arg(radio); }

// Where the first byte that is not UTF-8 stands, counting columns in
// characters as toml++ does; nothing when all of `bytes` is UTF-8.
std::optional<std::pair<int, int>> firstNonUtf8(const QByteArray& bytes) {
  int line = 1;
  int column = 1;
  for (qsizetype i = 0; i < bytes.size();) {
    const auto lead = uchar(bytes[i]);
    int length = 1;
    char32_t smallest = 0;
    char32_t code = lead;
    if (lead >= 0x80) {
      if ((lead & 0xE0) == 0xC0) {
        length = 2, smallest = 0x80, code = lead & 0x1F;
      } else if ((lead & 0xF0) == 0xE0) {
        length = 3, smallest = 0x800, code = lead & 0x0F;
      } else if ((lead & 0xF8) == 0xF0) {
        length = 4, smallest = 0x10000, code = lead & 0x07;
      } else {
        return std::pair{line, column};
      }
      if (i + length > bytes.size())
        return std::pair{line, column};
      for (int k = 1; k < length; ++k) {
        const auto next = uchar(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
          return std::pair{line, column};
        code = (code << 6) | (next & 0x3F);
      }
      // Overlong forms, UTF-16 surrogates and values past Unicode.
      if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::pair{line, column};
    }
    if (lead == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    i += length;
  }
  return std::nullopt;
}

// Walks a parsed document and keeps the problem that stands first in the
// file, so the operator mends the file top to bottom; problems with no place
// in the file come last.
class ProfileChecker {
 public:
  explicit ProfileChecker(QString fileName) { m_problem.fileName = std::move(fileName); }

  void refuse(const toml::source_region& where, const QString& reason) {
    const int line = int(where.begin.line);
    const int column = int(where.begin.column);
    const bool first =
        !m_refused ||
        (line != 0 && (m_problem.line == 0 || std::pair{line, column} < std::pair{m_problem.line, m_problem.column}));
    if (!first)
      return;
    m_refused = true;
    m_problem.line = line;
    m_problem.column = column;
    m_problem.reason = reason;
  }
  void refuseNowhere(const QString& reason) { refuse(toml::source_region{}, reason); }

  [[nodiscard]] bool refused() const { return m_refused; }
  [[nodiscard]] const ProfileProblem& problem() const { return m_problem; }

  void checkSite(const toml::table& site, SiteProfile& profile) {
    for (const auto& [key, node] : site) {
      const std::string_view name = key.str();
      QString port;
      QString* text = name == "nome" ? &profile.siteName : name == "notas" ? &profile.notes : nullptr;
      if (name == "porta")
        text = &port;
      if (!text) {
        refuse(key.source(), QStringLiteral("[site] chave desconhecida \"%1\" (as chaves de [site] são nome, notas e "
                                            "porta).")
                                 .arg(fromStd(name)));
        continue;
      }
      const auto* value = node.as_string();
      if (!value) {
        refuse(node.source(), QStringLiteral("[site] %1: esperado um texto entre aspas.").arg(fromStd(name)));
        continue;
      }
      *text = fromStd(value->get());
      if (name == "porta")
        profile.port = readPort(node.source(), port);
    }
  }

  std::optional<PortChoice> readPort(const toml::source_region& where, const QString& port) {
    const auto read = readPortChoice(port, PortReading::Exact);
    if (const auto* choice = std::get_if<PortChoice>(&read))
      return *choice;
    const auto problem = std::get<PortTextProblem>(read);
    if (problem == PortTextProblem::Empty)
      return std::nullopt;
    if (problem == PortTextProblem::BadNetworkAddress) {
      refuse(where, QStringLiteral("[site] porta: \"%1\" não é um endereço de rede válido (rfc2217://HOST:PORTA ou "
                                   "tcp://HOST:PORTA, porta de 1 a 65535).")
                        .arg(port));
      return std::nullopt;
    }
    refuse(where,
           QStringLiteral("[site] porta: \"%1\" não é uma porta: use o número da lista (\"1\" ou \"COM1\", de 1 "
                          "a 32767), o dispositivo (\"/dev/ttyUSB0\") ou rfc2217://HOST:PORTA ou tcp://HOST:PORTA.")
               .arg(port));
    return std::nullopt;
  }

  void checkRadio(int radio, const toml::table& section, RadioProgram& program) {
    const QString prefix = QStringLiteral("[%1] ").arg(radioSection(radio));
    bool seen[4] = {};
    for (const auto& [key, node] : section) {
      const std::string_view name = key.str();
      if (name == "cor") {
        seen[0] = true;
        checkLevel(prefix, node, program.corLevel);
      } else if (name == "aciona") {
        seen[1] = true;
        checkKeyed(radio, prefix, node, program.keyedRadios);
      } else if (name == "debounce_ms") {
        seen[2] = true;
        checkTime(prefix + QStringLiteral("debounce_ms"), node, program.debounce);
      } else if (name == "hang_ms") {
        seen[3] = true;
        checkTime(prefix + QStringLiteral("hang_ms"), node, program.hang);
      } else {
        refuse(key.source(), prefix + QStringLiteral("chave desconhecida \"%1\" (as chaves de um rádio são cor, "
                                                     "aciona, debounce_ms e hang_ms).")
                                          .arg(fromStd(name)));
      }
    }
    static const char* const kKeys[] = {"cor", "aciona", "debounce_ms", "hang_ms"};
    for (int k = 0; k < 4; ++k) {
      if (!seen[k])
        refuse(section.source(), prefix + QStringLiteral("falta a chave %1.").arg(QLatin1String(kKeys[k])));
    }
  }

 private:
  void checkLevel(const QString& prefix, const toml::node& node, CorLevel& level) {
    const auto* value = node.as_string();
    if (value && value->get() == "alto") {
      level = CorLevel::ActiveHigh;
    } else if (value && value->get() == "baixo") {
      level = CorLevel::ActiveLow;
    } else if (value) {
      refuse(
          node.source(),
          prefix + QStringLiteral("cor: \"%1\" não é um nível: use \"alto\" ou \"baixo\".").arg(fromStd(value->get())));
    } else {
      refuse(node.source(), prefix + QStringLiteral("cor: esperado o texto \"alto\" ou \"baixo\"."));
    }
  }

  void checkKeyed(int radio, const QString& prefix, const toml::node& node, RadioSet& keyed) {
    const auto* list = node.as_array();
    if (!list) {
      refuse(node.source(), prefix + QStringLiteral("aciona: esperada uma lista de rádios, como [2, 4] ([] para "
                                                    "nenhum)."));
      return;
    }
    for (const toml::node& entry : *list) {
      const auto* number = entry.as_integer();
      if (!number) {
        refuse(entry.source(), prefix + QStringLiteral("aciona: esperado o número de um rádio (1 a 4)."));
        continue;
      }
      const qint64 target = number->get();
      if (target < 1 || target > kRadioCount) {
        refuse(entry.source(), prefix + QStringLiteral("aciona: %1 não é um rádio (1 a 4).").arg(target));
      } else if (target == radio) {
        refuse(entry.source(), prefix + QStringLiteral("aciona: o rádio %1 não aciona a si mesmo.").arg(radio));
      } else if (keyed.contains(int(target))) {
        refuse(entry.source(), prefix + QStringLiteral("aciona: o rádio %1 aparece mais de uma vez.").arg(target));
      } else {
        keyed.set(int(target), true);
      }
    }
  }

  void checkTime(const QString& what, const toml::node& node, DelayTime& time) {
    const auto* number = node.as_integer();
    if (!number) {
      refuse(node.source(),
             what + QStringLiteral(": esperado um número inteiro de milissegundos (%1).").arg(kTimeRange));
      return;
    }
    const qint64 milliseconds = number->get();
    const auto chosen = milliseconds >= 0 && milliseconds <= DelayTime::kLongestMs
                            ? DelayTime::fromMilliseconds(int(milliseconds))
                            : std::nullopt;
    if (!chosen) {
      refuse(node.source(),
             what + QStringLiteral(": %1 não é um dos tempos da lista (%2).").arg(milliseconds).arg(kTimeRange));
      return;
    }
    time = *chosen;
  }

  ProfileProblem m_problem;
  bool m_refused = false;
};

ProfileReadResult refusal(const QString& fileName, int line, int column, const QString& reason) {
  return {std::nullopt, ProfileProblem{fileName, line, column, reason}};
}

// A TOML basic string; in a multi-line one, line breaks and tabs stay as
// they are so that notes read as written.
enum class StringForm { OneLine, MultiLine };
QByteArray tomlString(const QString& text, StringForm form) {
  QString body;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == '\\' || u == '"') {
      body += QLatin1Char('\\') + c;
    } else if (form == StringForm::MultiLine && (u == '\n' || u == '\t')) {
      body += c;
    } else if (u == '\n') {
      body += QLatin1String("\\n");
    } else if (u == '\t') {
      body += QLatin1String("\\t");
    } else if (u == '\r') {
      body += QLatin1String("\\r");
    } else if (u < 0x20 || u == 0x7F) {
      body += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
    } else {
      body += c;
    }
  }
  if (form == StringForm::MultiLine)  // the line break after the opening quotes is not part of the text
    return "\"\"\"\n" + body.toUtf8() + "\"\"\"";
  return '"' + body.toUtf8() + '"';
}

}  // namespace

QString ProfileProblem::text() const {
  if (line <= 0)
    return QStringLiteral("%1: %2").arg(fileName, reason);
  if (column <= 0)
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(reason);
  return QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(line).arg(column).arg(reason);
}

ProfileReadResult parseSiteProfile(const QByteArray& bytes, const QString& fileName) {
  if (bytes.size() > kLargestSiteProfileBytes)
    return refusal(
        fileName, 0, 0,
        QStringLiteral("o arquivo é grande demais para um perfil (mais de %1 bytes).").arg(kLargestSiteProfileBytes));
  if (const auto where = firstNonUtf8(bytes))
    return refusal(fileName, where->first, where->second,
                   QStringLiteral("o arquivo não está em UTF-8 (salve-o com a codificação UTF-8)."));

  const std::string_view document(bytes.constData(), size_t(bytes.size()));
  toml::parse_result parsed = toml::parse(document);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return refusal(fileName, int(error.source().begin.line), int(error.source().begin.column),
                   QStringLiteral("o texto não segue a sintaxe TOML (%1).").arg(fromStd(error.description())));
  }
  const toml::table& root = parsed.table();

  // The version first: a newer file may hold keys this program does not know.
  const toml::node* version = root.get("versao");
  if (!version)
    return refusal(
        fileName, 0, 0,
        QStringLiteral("falta a chave versao (a primeira linha de um perfil é versao = %1).").arg(kSiteProfileVersion));
  const auto* versionNumber = version->as_integer();
  const auto where = version->source().begin;
  if (!versionNumber || versionNumber->get() < 1)
    return refusal(fileName, int(where.line), int(where.column),
                   QStringLiteral("versao: esperado o número da versão do formato (%1).").arg(kSiteProfileVersion));
  if (versionNumber->get() > kSiteProfileVersion)
    return refusal(fileName, int(where.line), int(where.column),
                   QStringLiteral("versao %1: o perfil foi feito por uma versão mais nova do programa; esta lê "
                                  "somente a versão %2.")
                       .arg(versionNumber->get())
                       .arg(kSiteProfileVersion));

  ProfileChecker checker(fileName);
  SiteProfile profile;
  bool present[kRadioCount] = {};
  for (const auto& [key, node] : root) {
    const std::string_view name = key.str();
    if (name == "versao")
      continue;
    int radio = 0;
    for (int r = 1; r <= kRadioCount; ++r) {
      if (fromStd(name) == radioSection(r))
        radio = r;
    }
    if (name != "site" && radio == 0) {
      checker.refuse(key.source(), (node.is_table() ? QStringLiteral("seção desconhecida [%1]")
                                                    : QStringLiteral("chave desconhecida \"%1\""))
                                           .arg(fromStd(name)) +
                                       QStringLiteral(" (um perfil tem versao, [site] e [radio1] a [radio4])."));
      continue;
    }
    const toml::table* section = node.as_table();
    if (!section) {
      checker.refuse(node.source(), QStringLiteral("%1: esperada uma seção [%1].").arg(fromStd(name)));
      continue;
    }
    if (radio == 0) {
      checker.checkSite(*section, profile);
    } else {
      present[radio - 1] = true;
      checker.checkRadio(radio, *section, profile.radios[size_t(radio - 1)]);
    }
  }
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    if (!present[radio - 1])
      checker.refuseNowhere(
          QStringLiteral("falta a seção [%1]; um perfil tem os quatro rádios.").arg(radioSection(radio)));
  }
  if (checker.refused())
    return {std::nullopt, checker.problem()};
  return {profile, {}};
}

ProfileReadResult readSiteProfile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return refusal(path, 0, 0, QStringLiteral("não foi possível abrir o arquivo: %1.").arg(file.errorString()));
  // One byte past the limit tells a file that is too large without reading
  // all of it.
  const QByteArray bytes = file.read(kLargestSiteProfileBytes + 1);
  if (file.error() != QFileDevice::NoError)
    return refusal(path, 0, 0, QStringLiteral("não foi possível ler o arquivo: %1.").arg(file.errorString()));
  return parseSiteProfile(bytes, path);
}

QByteArray formatSiteProfile(const SiteProfile& profile) {
  // Each value with its comment at column 23, as a person would align them.
  const auto line = [](const QByteArray& assignment, const char* comment) {
    return assignment.leftJustified(21, ' ') + " # " + comment + '\n';
  };
  // An absent site value is written as a commented-out example.
  const auto siteLine = [](const char* key, const QString& value, const char* example) {
    if (value.isEmpty())
      return "# " + QByteArray(key) + " = " + example + '\n';
    const StringForm form = value.contains(QLatin1Char('\n')) ? StringForm::MultiLine : StringForm::OneLine;
    return QByteArray(key) + " = " + tomlString(value, form) + '\n';
  };

  QByteArray text =
      "# Perfil de site do programador ZELQON: texto UTF-8 no formato TOML, que se\n"
      "# pode editar à mão. Linhas iniciadas por # são comentários.\n" +
      line("versao = " + QByteArray::number(kSiteProfileVersion), "versão do formato deste arquivo") +
      "\n[site]\n"
      "# Nome e notas: texto livre, opcional; as notas podem ter várias linhas entre \"\"\".\n";
  text += siteLine("nome", profile.siteName, "\"Nome do site\"");
  text += siteLine("notas", profile.notes, "\"Observações\"");
  text +=
      "# A porta, opcional: o número da lista (\"1\" ou \"COM1\"), o dispositivo (\"/dev/ttyUSB0\")\n"
      "# ou um servidor serial de rede: \"rfc2217://HOST:PORTA\" ou \"tcp://HOST:PORTA\".\n";
  text += siteLine("porta", profile.port ? profile.port->text() : QString(), "\"1\"");
  text += "\n# Os quatro rádios, [radio1] a [radio4], são todos obrigatórios.\n";

  for (int radio = 1; radio <= kRadioCount; ++radio) {
    const RadioProgram& program = profile.radios[size_t(radio - 1)];
    QStringList keyed;
    for (const int target : program.keyedRadios.radios())
      keyed.append(QString::number(target));
    text += "\n[" + radioSection(radio).toLatin1() + "]\n";
    text += line(QByteArray("cor = ") + (program.corLevel == CorLevel::ActiveHigh ? "\"alto\"" : "\"baixo\""),
                 "nível ativo da entrada COR: \"alto\" ou \"baixo\"");
    text += line("aciona = [" + keyed.join(QStringLiteral(", ")).toLatin1() + "]",
                 "rádios acionados (PTT) enquanto o COR deste rádio está ativo; [] nenhum");
    text += line("debounce_ms = " + QByteArray::number(program.debounce.milliseconds()), "0 a 10000, de 100 em 100");
    text += line("hang_ms = " + QByteArray::number(program.hang.milliseconds()), "0 a 10000, de 100 em 100");
  }
  return text;
}

std::optional<QString> saveSiteProfile(const QString& path, const SiteProfile& profile) {
  const QByteArray text = formatSiteProfile(profile);
  QSaveFile file(path);
  const auto failure = [&path, &file] {
    return QStringLiteral("Não foi possível salvar o perfil %1: %2. O arquivo anterior ficou como estava.")
        .arg(path, file.errorString());
  };
  // Unbuffered: a buffered QSaveFile drops what a short write (a full disk)
  // left in its buffer and still commits the truncated file.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return failure();
  // A short write is retried so that the next one tells the system's reason.
  for (qint64 done = 0; done < text.size();) {
    const qint64 written = file.write(text.constData() + done, text.size() - done);
    if (written <= 0) {
      const QString reason = failure();
      file.cancelWriting();
      return reason;
    }
    done += written;
  }
  if (!file.commit())
    return failure();
  return std::nullopt;
}

}  // namespace zelqon
