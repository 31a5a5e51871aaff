#include "protocol/port_choice.h"
#include "protocol/site_profile_toml.h"
#include "protocol/site_profile_values.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>
#include <string_view>

namespace zelqon {

namespace {

QString fromStd(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Where the first byte that is not UTF-8 stands, counting columns in
// characters as toml++ does; nothing when all of `bytes` is UTF-8. toml++
// refuses such bytes too, but places them one column early. Qt's decoder
// tells only that something was broken: what it decoded is matched against
// the bytes, and the first replacement character that no EF BF BD in the
// file stands for is where the broken bytes begin.
std::optional<std::pair<int, int>> firstNonUtf8(const QByteArray& bytes) {
  if (bytes.isValidUtf8())
    return std::nullopt;
  // A BOM is kept: it takes a column of line 1.
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  const QString text = decoder(bytes);
  int line = 1;
  int column = 1;
  qsizetype from = 0;  // the first byte of text[i]
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c == QChar::ReplacementCharacter && !QByteArrayView(bytes).sliced(from).startsWith("\xEF\xBF\xBD"))
      break;
    if (c == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    if (QChar::isHighSurrogate(c)) {
      ++i;
      from += 4;
    } else {
      from += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    }
  }
  return std::pair{line, column};
}

// An empty text names no port.
template <typename Refuse>
std::optional<PortChoice> checkPort(const toml::node& node, const QString& port, const Refuse& refuseAs) {
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
RadioSet checkKeyed(int radio, const toml::array& list, const Refuse& refuseAs) {
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

ProfileProblem about(ProfileCause cause, const QString& section, const QString& key = {}, const QString& value = {}) {
  ProfileProblem problem;
  problem.cause = cause;
  problem.section = section;
  problem.key = key;
  problem.value = value;
  return problem;
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
      case ProfileValue::FilePath:
        if (const auto* text = node.as_string()) {
          const QString path = fromStd(text->get());
          // One line naming a file: a line break or a NUL would name another.
          if (path.isEmpty() || std::any_of(path.cbegin(), path.cend(), [](QChar c) { return c.unicode() < 0x20; }))
            refuseAs(node, ProfileCause::NotFilePath, path);
          else
            profile.*key.text = path;
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

}  // namespace

bool holdsSame(const ProfileKey& key, int radio, const toml::node& node, const SiteProfile& profile) {
  SiteProfile read = profile;
  ProfileChecker checker({});
  checker.checkValue(key, radio, node, read);
  return !checker.refused() && read == profile;
}

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

}  // namespace zelqon
