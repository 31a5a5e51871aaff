#include "protocol/site_profile_values.h"

#include <QStringList>

#include <algorithm>
#include <string_view>

namespace zelqon {

namespace {

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

// A TOML string in `form`; in a multi-line one, line breaks and tabs stay as
// they are so that notes read as written. A literal form that cannot hold
// the text gives way to the basic form.
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

QByteArray bytesOf(std::string_view text) { return {text.data(), qsizetype(text.size())}; }

QByteArray keyName(const ProfileKey& key) { return bytesOf(key.name); }

// The key's note with what its %1 and %2 stand for filled in.
QByteArray noteText(const ProfileKey& key) {
  const QString note = QString::fromUtf8(bytesOf(key.note));
  switch (key.value) {
    case ProfileValue::Level:
      return note.arg(corLevelWord(CorLevel::ActiveHigh), corLevelWord(CorLevel::ActiveLow)).toUtf8();
    case ProfileValue::Time:
      return note.arg(DelayTime::kLongestMs).arg(DelayTime::kStepMs).toUtf8();
    case ProfileValue::Version:
    case ProfileValue::Text:
    case ProfileValue::Port:
    case ProfileValue::FilePath:
    case ProfileValue::RadioList:
      return note.toUtf8();
  }
  return {};
}

}  // namespace

QString radioSection(int radio) { return QStringLiteral("radio%1").arg(radio); }

QString sectionName(ProfileSection section, int radio) {
  return section == ProfileSection::Site ? QStringLiteral("site") : radioSection(radio);
}

StringForm formAt(const QByteArray& bytes, qsizetype offset) {
  const QByteArrayView rest = QByteArrayView(bytes).sliced(offset);
  if (rest.startsWith("'''"))
    return StringForm::MultiLineLiteral;
  if (rest.startsWith("'"))
    return StringForm::Literal;
  return rest.startsWith("\"\"\"") ? StringForm::MultiLineBasic : StringForm::Basic;
}

QByteArray valueText(const ProfileKey& key, const SiteProfile& profile, int radio, StringForm form) {
  const RadioProgram& program = profile.radios[size_t(std::max(radio, 1) - 1)];
  switch (key.value) {
    case ProfileValue::Version:
      return QByteArray::number(kSiteProfileVersion);
    case ProfileValue::Text:
    case ProfileValue::FilePath:
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

bool belongsInFile(const ProfileKey& key, const SiteProfile& profile) {
  if (key.value == ProfileValue::Port)
    return profile.port.has_value();
  return key.isRequired() || !(profile.*key.text).isEmpty();
}

QByteArray assignment(const ProfileKey& key, const SiteProfile& profile, int radio) {
  const StringForm form = key.text ? formFor(profile.*key.text) : StringForm::Basic;
  return keyName(key) + " = " + valueText(key, profile, radio, form);
}

QByteArray formatSiteProfile(const SiteProfile& profile) {
  // A required key's note at column 23 of its line, as a person would align
  // them; an optional key's note above it, and an absent optional value as
  // a commented-out example.
  const auto keyLines = [&profile](const ProfileKey& key, int radio) -> QByteArray {
    const QByteArray note = noteText(key);
    if (key.isRequired())
      return assignment(key, profile, radio).leftJustified(21, ' ') + " # " + note + '\n';
    const QByteArray above = note.isEmpty() ? QByteArray() : "# " + QByteArray(note).replace("\n", "\n# ") + '\n';
    if (belongsInFile(key, profile))
      return above + assignment(key, profile, radio) + '\n';
    return above + "# " + keyName(key) + " = " + bytesOf(key.example) + '\n';
  };
  QByteArray text =
      "# Perfil de site do programador ZELQON: texto UTF-8 no formato TOML, que se\n"
      "# pode editar à mão. Linhas iniciadas por # são comentários.\n";
  for (const ProfileKey& key : profileKeysOf(ProfileSection::Top))
    text += keyLines(key, 0);
  text += "\n[site]\n";
  for (const ProfileKey& key : profileKeysOf(ProfileSection::Site))
    text += keyLines(key, 0);
  text += "\n# Os quatro rádios, [radio1] a [radio4], são todos obrigatórios.\n";
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    text += "\n[" + radioSection(radio).toLatin1() + "]\n";
    for (const ProfileKey& key : profileKeysOf(ProfileSection::Radio))
      text += keyLines(key, radio);
  }
  return text;
}

}  // namespace zelqon
