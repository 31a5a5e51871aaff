#include "protocol/site_profile.h"

#include "protocol/port_choice.h"

#include <QFile>
#include <QSaveFile>

#include <QList>
#include <QStringList>

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

QString fromStd(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QString radioSection(int radio) { return QStringLiteral("radio%1").arg(radio); }

// Where the first byte that is not UTF-8 stands, counting columns in
// characters as toml++ does; nothing when all of `bytes` is UTF-8. toml++
// refuses such bytes too, but places them one column early, and Qt's decoder
// only says that something was broken, not where.
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

ProfileProblem about(ProfileCause cause, const QString& section, const QString& key = {}, const QString& value = {}) {
  ProfileProblem problem;
  problem.cause = cause;
  problem.section = section;
  problem.key = key;
  problem.value = value;
  return problem;
}

QString sectionName(ProfileSection section, int radio) {
  return section == ProfileSection::Site ? QStringLiteral("site") : radioSection(radio);
}

// Walks a parsed document and keeps the problem that stands first in the
// file, so the operator mends the file top to bottom; problems with no place
// in the file come last.
class ProfileChecker {
 public:
  explicit ProfileChecker(QString fileName) { m_problem.fileName = std::move(fileName); }

  void refuse(const toml::source_region& where, ProfileProblem problem) {
    const int line = int(where.begin.line);
    const int column = int(where.begin.column);
    const bool first =
        !m_refused ||
        (line != 0 && (m_problem.line == 0 || std::pair{line, column} < std::pair{m_problem.line, m_problem.column}));
    if (!first)
      return;
    m_refused = true;
    problem.fileName = m_problem.fileName;
    problem.line = line;
    problem.column = column;
    m_problem = std::move(problem);
  }

  [[nodiscard]] bool refused() const { return m_refused; }
  [[nodiscard]] const ProfileProblem& problem() const { return m_problem; }

  // Every key of one section; `radio` is 0 for [site].
  void checkSection(ProfileSection kind, int radio, const toml::table& section, SiteProfile& profile) {
    const QString name = sectionName(kind, radio);
    const QList<ProfileKey> keys = profileKeysOf(kind);
    for (const auto& [key, node] : section) {
      const std::string_view given = key.str();
      const auto known =
          std::find_if(keys.begin(), keys.end(), [given](const ProfileKey& k) { return k.name == given; });
      if (known == keys.end())
        refuse(key.source(), about(ProfileCause::UnknownKey, name, fromStd(key.str())));
      else
        checkValue(*known, radio, node, profile);
    }
    for (const ProfileKey& key : keys) {
      if (key.isRequired() && !section.contains(key.name))
        refuse(section.source(), about(ProfileCause::MissingKey, name, fromStd(key.name)));
    }
  }

  // Reads one value into `profile`; `radio` is 0 for [site].
  void checkValue(const ProfileKey& key, int radio, const toml::node& node, SiteProfile& profile) {
    const auto refuseAs = [&](const toml::node& where, ProfileCause cause, const QString& value = {}) {
      refuse(where.source(), about(cause, sectionName(key.section, radio), fromStd(key.name), value));
    };
    RadioProgram* program = radio > 0 ? &profile.radios[size_t(radio - 1)] : nullptr;
    switch (key.value) {
      case ProfileValue::Version:
        return;  // read before anything else
      case ProfileValue::Text:
        if (const auto* text = node.as_string()) {
          profile.*key.text = fromStd(text->get());
        } else {
          refuseAs(node, ProfileCause::NotText);
        }
        return;
      case ProfileValue::Port:
        if (const auto* text = node.as_string())
          profile.port = checkPort(node, fromStd(text->get()), refuseAs);
        else
          refuseAs(node, ProfileCause::NotText);
        return;
      case ProfileValue::Level:
        if (const auto* level = node.as_string()) {
          if (const auto corLevel = corLevelOfWord(fromStd(level->get())))
            program->corLevel = *corLevel;
          else
            refuseAs(node, ProfileCause::UnknownLevel, fromStd(level->get()));
        } else {
          refuseAs(node, ProfileCause::NotLevelText);
        }
        return;
      case ProfileValue::RadioList:
        if (const auto* list = node.as_array())
          program->keyedRadios = checkKeyed(radio, *list, refuseAs);
        else
          refuseAs(node, ProfileCause::NotRadioList);
        return;
      case ProfileValue::Time:
        if (const auto* number = node.as_integer()) {
          const qint64 milliseconds = number->get();
          const auto chosen = milliseconds >= 0 && milliseconds <= DelayTime::kLongestMs
                                  ? DelayTime::fromMilliseconds(int(milliseconds))
                                  : std::nullopt;
          if (chosen)
            program->*key.time = *chosen;
          else
            refuseAs(node, ProfileCause::NotTimeChoice, QString::number(milliseconds));
        } else {
          refuseAs(node, ProfileCause::NotMilliseconds);
        }
        return;
    }
  }

 private:
  // An empty text names no port.
  template <typename Refuse>
  static std::optional<PortChoice> checkPort(const toml::node& node, const QString& port, const Refuse& refuseAs) {
    const auto read = readPortChoice(port, PortReading::Exact);
    if (const auto* choice = std::get_if<PortChoice>(&read))
      return *choice;
    const auto problem = std::get<PortTextProblem>(read);
    if (problem != PortTextProblem::Empty)
      refuseAs(node,
               problem == PortTextProblem::BadNetworkAddress ? ProfileCause::BadNetworkAddress : ProfileCause::NotPort,
               port);
    return std::nullopt;
  }

  template <typename Refuse>
  static RadioSet checkKeyed(int radio, const toml::array& list, const Refuse& refuseAs) {
    RadioSet keyed;
    for (const toml::node& entry : list) {
      const auto* number = entry.as_integer();
      if (!number) {
        refuseAs(entry, ProfileCause::NotRadioNumber);
        continue;
      }
      const qint64 target = number->get();
      if (target < 1 || target > kRadioCount)
        refuseAs(entry, ProfileCause::NotRadio, QString::number(target));
      else if (target == radio)
        refuseAs(entry, ProfileCause::KeysItself, QString::number(radio));
      else if (keyed.contains(int(target)))
        refuseAs(entry, ProfileCause::RadioRepeated, QString::number(target));
      else
        keyed.set(int(target), true);
    }
    return keyed;
  }

  ProfileProblem m_problem;
  bool m_refused = false;
};

ProfileReadResult refusal(const QString& fileName, ProfileCause cause, int line = 0, int column = 0,
                          const QString& value = {}) {
  ProfileProblem problem = about(cause, {}, {}, value);
  problem.fileName = fileName;
  problem.line = line;
  problem.column = column;
  return {std::nullopt, problem, {}};
}

// The four ways TOML quotes a text; saving keeps the one the file uses.
enum class StringForm { Basic, MultiLineBasic, Literal, MultiLineLiteral };

StringForm formAt(const QByteArray& bytes, qsizetype offset) {
  const QByteArrayView rest = QByteArrayView(bytes).sliced(offset);
  if (rest.startsWith("'''"))
    return StringForm::MultiLineLiteral;
  if (rest.startsWith("'"))
    return StringForm::Literal;
  return rest.startsWith("\"\"\"") ? StringForm::MultiLineBasic : StringForm::Basic;
}

StringForm formFor(const QString& text) {
  return text.contains(QLatin1Char('\n')) ? StringForm::MultiLineBasic : StringForm::Basic;
}

// A literal string has no escapes: it cannot hold its own quote or control
// characters other than a tab (and line breaks in the multi-line form).
bool fitsLiteral(const QString& text, StringForm form) {
  const bool multiLine = form == StringForm::MultiLineLiteral;
  if (text.contains(multiLine ? QStringLiteral("'''") : QStringLiteral("'")) ||
      (multiLine && text.endsWith(QLatin1Char('\''))))
    return false;
  return std::none_of(text.begin(), text.end(), [multiLine](QChar c) {
    const char16_t u = c.unicode();
    return (u < 0x20 && u != '\t' && !(multiLine && u == '\n')) || u == 0x7F;
  });
}

// A TOML string; in a multi-line one, line breaks and tabs stay as they are
// so that notes read as written. A literal form that cannot hold the text
// gives way to the basic form.
QByteArray tomlString(const QString& text, StringForm form) {
  if (form == StringForm::Literal || form == StringForm::MultiLineLiteral) {
    if (fitsLiteral(text, form))  // the line break after the opening quotes is not part of the text
      return form == StringForm::Literal ? '\'' + text.toUtf8() + '\'' : "'''\n" + text.toUtf8() + "'''";
    form = formFor(text);
  }
  QString body;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == '\\' || u == '"') {
      body += QLatin1Char('\\') + c;
    } else if (form == StringForm::MultiLineBasic && (u == '\n' || u == '\t')) {
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
  if (form == StringForm::MultiLineBasic)
    return "\"\"\"\n" + body.toUtf8() + "\"\"\"";
  return '"' + body.toUtf8() + '"';
}

// One value as TOML text; `radio` is 0 for a key outside the radios.
QByteArray valueText(const ProfileKey& key, const SiteProfile& profile, int radio, StringForm form) {
  const RadioProgram& program = profile.radios[size_t(std::max(radio, 1) - 1)];
  switch (key.value) {
    case ProfileValue::Version:
      return QByteArray::number(kSiteProfileVersion);
    case ProfileValue::Text:
      return tomlString(profile.*key.text, form);
    case ProfileValue::Port:
      return tomlString(profile.port ? profile.port->text() : QString(), form);
    case ProfileValue::Level:
      return tomlString(corLevelWord(program.corLevel), form);
    case ProfileValue::RadioList: {
      QStringList keyed;
      for (const int target : program.keyedRadios.radios())
        keyed.append(QString::number(target));
      return '[' + keyed.join(QStringLiteral(", ")).toLatin1() + ']';
    }
    case ProfileValue::Time:
      return QByteArray::number((program.*key.time).milliseconds());
  }
  return {};
}

// A key the file lacks is written when it must be there or has a value.
bool belongsInFile(const ProfileKey& key, const SiteProfile& profile) {
  if (key.value == ProfileValue::Port)
    return profile.port.has_value();
  return key.isRequired() || !(profile.*key.text).isEmpty();
}

QByteArray keyName(const ProfileKey& key) { return {key.name.data(), qsizetype(key.name.size())}; }

QByteArray assignment(const ProfileKey& key, const SiteProfile& profile, int radio) {
  const StringForm form = key.text ? formFor(profile.*key.text) : StringForm::Basic;
  return keyName(key) + " = " + valueText(key, profile, radio, form);
}

// Places in a text's bytes from toml++'s line:column, whose columns count
// characters.
class SourceText {
 public:
  explicit SourceText(const QByteArray& bytes) : m_bytes(bytes) {
    m_lineStarts.append(bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n')
        m_lineStarts.append(i + 1);
    }
  }

  [[nodiscard]] qsizetype offset(const toml::source_position& at) const {
    qsizetype i = m_lineStarts.value(qsizetype(at.line) - 1, m_bytes.size());
    for (auto column = at.column; column > 1 && i < m_bytes.size(); --column) {
      ++i;
      while (i < m_bytes.size() && (uchar(m_bytes[i]) & 0xC0) == 0x80)
        ++i;
    }
    return i;
  }
  // Just past the line break that ends the line of `at`.
  [[nodiscard]] qsizetype lineEnd(const toml::source_position& at) const {
    return m_lineStarts.value(qsizetype(at.line), m_bytes.size());
  }
  // Lines added to the file end the way its own lines do.
  [[nodiscard]] QByteArray newline() const { return m_bytes.contains("\r\n") ? "\r\n" : "\n"; }

 private:
  const QByteArray& m_bytes;
  QList<qsizetype> m_lineStarts;
};

struct Edit {
  qsizetype from;
  qsizetype to;
  QByteArray text;
};

QByteArray applied(const QByteArray& original, QList<Edit> edits, const QByteArray& newline) {
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
  QByteArray text;
  qsizetype done = 0;
  for (const Edit& edit : edits) {
    text += original.mid(done, edit.from - done);
    if (edit.from == original.size() && edit.to == edit.from && !original.endsWith('\n'))
      text += newline;  // a line added after a last line that has no line break
    text += edit.text;
    done = edit.to;
  }
  return text + original.mid(done);
}

// True when the file's value for `key` reads as what `profile` holds.
bool holdsSame(const ProfileKey& key, int radio, const toml::node& node, const SiteProfile& profile) {
  SiteProfile read = profile;
  ProfileChecker checker({});
  checker.checkValue(key, radio, node, read);
  return !checker.refused() && read == profile;
}

// The template's example for an absent [site] key, and the comment lines
// above it.
struct TemplateNote {
  const char* above = "";
  const char* example = "";
};

TemplateNote templateNote(const ProfileKey& key) {
  if (key.text == &SiteProfile::siteName)
    return {"# Nome e notas: texto livre, opcional; as notas podem ter várias linhas entre \"\"\".\n",
            "\"Nome do site\""};
  if (key.text == &SiteProfile::notes)
    return {"", "\"Observações\""};
  return {
      "# A porta, opcional: o número da lista (\"1\" ou \"COM1\"), o dispositivo (\"/dev/ttyUSB0\")\n"
      "# ou um servidor serial de rede: \"rfc2217://HOST:PORTA\" ou \"tcp://HOST:PORTA\".\n",
      "\"1\""};
}

// The comment at the end of a radio key's line in the template.
QByteArray radioComment(const ProfileKey& key) {
  if (key.value == ProfileValue::Level)
    return QStringLiteral("nível ativo da entrada COR: \"%1\" ou \"%2\"")
        .arg(corLevelWord(CorLevel::ActiveHigh), corLevelWord(CorLevel::ActiveLow))
        .toUtf8();
  if (key.value == ProfileValue::RadioList)
    return "rádios acionados (PTT) enquanto o COR deste rádio está ativo; [] nenhum";
  return QStringLiteral("0 a %1, de %2 em %2").arg(DelayTime::kLongestMs).arg(DelayTime::kStepMs).toUtf8();
}

}  // namespace

QList<ProfileKey> profileKeysOf(ProfileSection section) {
  QList<ProfileKey> keys;
  for (const ProfileKey& key : kProfileKeys) {
    if (key.section == section)
      keys.append(key);
  }
  return keys;
}

ProfileReadResult parseSiteProfile(const QByteArray& bytes, const QString& fileName) {
  if (bytes.size() > kLargestSiteProfileBytes)
    return refusal(fileName, ProfileCause::TooLarge);
  if (const auto where = firstNonUtf8(bytes))
    return refusal(fileName, ProfileCause::NotUtf8, where->first, where->second);

  const std::string_view document(bytes.constData(), size_t(bytes.size()));
  toml::parse_result parsed = toml::parse(document);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return refusal(fileName, ProfileCause::NotToml, int(error.source().begin.line), int(error.source().begin.column),
                   fromStd(error.description()));
  }
  const toml::table& root = parsed.table();

  // The version first: a newer file may hold keys this program does not know.
  const toml::node* version = root.get("versao");
  if (!version)
    return refusal(fileName, ProfileCause::MissingVersion);
  const auto* versionNumber = version->as_integer();
  const auto where = version->source().begin;
  if (!versionNumber || versionNumber->get() < 1)
    return refusal(fileName, ProfileCause::VersionNotNumber, int(where.line), int(where.column));
  if (versionNumber->get() > kSiteProfileVersion)
    return refusal(fileName, ProfileCause::NewerVersion, int(where.line), int(where.column),
                   QString::number(versionNumber->get()));

  ProfileChecker checker(fileName);
  SiteProfile profile;
  bool present[kRadioCount] = {};
  for (const auto& [key, node] : root) {
    const QString name = fromStd(key.str());
    if (name == QLatin1String("versao"))
      continue;
    int radio = 0;
    for (int r = 1; r <= kRadioCount; ++r) {
      if (name == radioSection(r))
        radio = r;
    }
    if (name != QLatin1String("site") && radio == 0) {
      checker.refuse(key.source(), node.is_table() ? about(ProfileCause::UnknownSection, name)
                                                   : about(ProfileCause::UnknownKey, {}, name));
      continue;
    }
    const toml::table* section = node.as_table();
    if (!section) {
      checker.refuse(node.source(), about(ProfileCause::NotASection, name));
      continue;
    }
    if (radio > 0)
      present[radio - 1] = true;
    checker.checkSection(radio > 0 ? ProfileSection::Radio : ProfileSection::Site, radio, *section, profile);
  }
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    if (!present[radio - 1])
      checker.refuse({}, about(ProfileCause::MissingSection, radioSection(radio)));
  }
  if (checker.refused())
    return {std::nullopt, checker.problem(), bytes};
  return {profile, {}, bytes};
}

ProfileReadResult readSiteProfile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return refusal(path, ProfileCause::CannotOpen, 0, 0, file.errorString());
  // One byte past the limit tells a file that is too large without reading
  // all of it.
  const QByteArray bytes = file.read(kLargestSiteProfileBytes + 1);
  if (file.error() != QFileDevice::NoError)
    return refusal(path, ProfileCause::CannotRead, 0, 0, file.errorString());
  return parseSiteProfile(bytes, path);
}

QByteArray formatSiteProfile(const SiteProfile& profile) {
  // Each value with its comment at column 23, as a person would align them.
  const auto line = [](const QByteArray& assignment, const QByteArray& comment) {
    return assignment.leftJustified(21, ' ') + " # " + comment + '\n';
  };
  QByteArray text =
      "# Perfil de site do programador ZELQON: texto UTF-8 no formato TOML, que se\n"
      "# pode editar à mão. Linhas iniciadas por # são comentários.\n" +
      line(assignment(kProfileKeys[0], profile, 0), "versão do formato deste arquivo") + "\n[site]\n";
  for (const ProfileKey& key : profileKeysOf(ProfileSection::Site)) {
    const TemplateNote note = templateNote(key);
    text += note.above;
    // An absent site value is written as a commented-out example.
    if (belongsInFile(key, profile))
      text += assignment(key, profile, 0) + '\n';
    else
      text += "# " + keyName(key) + " = " + note.example + '\n';
  }
  text += "\n# Os quatro rádios, [radio1] a [radio4], são todos obrigatórios.\n";
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    text += "\n[" + radioSection(radio).toLatin1() + "]\n";
    for (const ProfileKey& key : profileKeysOf(ProfileSection::Radio))
      text += line(assignment(key, profile, radio), radioComment(key));
  }
  return text;
}

QByteArray updateSiteProfileText(const QByteArray& original, const SiteProfile& profile) {
  const std::string_view document(original.constData(), size_t(original.size()));
  toml::parse_result parsed = toml::parse(document);
  if (!parsed)  // an empty file gets the template below, as it names no versao
    return formatSiteProfile(profile);
  const toml::table& root = parsed.table();
  const SourceText source(original);
  const QByteArray newline = source.newline();
  QList<Edit> edits;

  // A missing section goes after the end of the one before it.
  const toml::node* version = root.get("versao");
  qsizetype previousEnd = version ? source.lineEnd(version->source().end) : 0;
  for (int radio = 0; radio <= kRadioCount; ++radio) {
    const ProfileSection kind = radio == 0 ? ProfileSection::Site : ProfileSection::Radio;
    const QString name = sectionName(kind, radio);
    const toml::table* section = root.get_as<toml::table>(name.toStdString());
    if (!section) {
      QByteArray lines;
      for (const ProfileKey& key : profileKeysOf(kind)) {
        if (belongsInFile(key, profile))
          lines += assignment(key, profile, radio) + newline;
      }
      if (!lines.isEmpty())
        edits.append({previousEnd, previousEnd, newline + '[' + name.toLatin1() + ']' + newline + lines});
      continue;
    }
    // A missing key goes after the keys before it, or under the header.
    qsizetype keyEnd = source.lineEnd(section->source().begin);
    for (const ProfileKey& key : profileKeysOf(kind)) {
      const toml::node* node = section->get(key.name);
      if (!node) {
        if (belongsInFile(key, profile))
          edits.append({keyEnd, keyEnd, assignment(key, profile, radio) + newline});
        continue;
      }
      keyEnd = std::max(keyEnd, source.lineEnd(node->source().end));
      if (holdsSame(key, radio, *node, profile))
        continue;
      const qsizetype from = source.offset(node->source().begin);
      edits.append({from, source.offset(node->source().end), valueText(key, profile, radio, formAt(original, from))});
    }
    previousEnd = std::max(previousEnd, keyEnd);
  }

  // A layout the edits cannot keep (dotted keys, inline sections, a file
  // that was no valid profile) is written anew rather than saved wrong.
  const QByteArray text = applied(original, edits, newline);
  const ProfileReadResult check = parseSiteProfile(text, {});
  return check.profile && *check.profile == profile ? text : formatSiteProfile(profile);
}

ProfileSaveResult saveSiteProfile(const QString& path, const SiteProfile& profile) {
  const auto failure = [&path](const QFileDevice& file) {
    ProfileProblem problem = about(ProfileCause::CannotSave, {}, {}, file.errorString());
    problem.fileName = path;
    return ProfileSaveResult{problem, {}};
  };
  QByteArray original;
  QFile current(path);
  if (current.exists()) {
    if (!current.open(QIODevice::ReadOnly))
      return failure(current);
    original = current.read(kLargestSiteProfileBytes + 1);
    if (current.error() != QFileDevice::NoError)
      return failure(current);
    if (original.size() > kLargestSiteProfileBytes)  // no profile this program reads: written anew
      original.clear();
    // Windows renames nothing over a file that is open.
    current.close();
  }
  const QByteArray text = updateSiteProfileText(original, profile);
  QSaveFile file(path);
  // Unbuffered: a buffered QSaveFile drops what a short write (a full disk)
  // left in its buffer and still commits the truncated file.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return failure(file);
  // A short write is retried so that the next one tells the system's reason.
  for (qint64 done = 0; done < text.size();) {
    const qint64 written = file.write(text.constData() + done, text.size() - done);
    if (written <= 0) {
      ProfileSaveResult result = failure(file);
      file.cancelWriting();
      return result;
    }
    done += written;
  }
  if (!file.commit())
    return failure(file);
  return {std::nullopt, text};
}

}  // namespace zelqon
