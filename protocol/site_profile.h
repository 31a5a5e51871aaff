#pragma once

#include "protocol/port_choice.h"
#include "protocol/radio_program.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace zelqon {

// One site's settings as a hand-editable TOML file (extension .zelqon):
//
//   versao = 1
//   [site]                 optional: nome, notas, porta, certificado_servidor,
//                          certificado, chave
//   [radio1] .. [radio4]   all required: cor, aciona, debounce_ms, hang_ms
//
// formatSiteProfile() writes the whole format with comments, so a new file
// teaches its own keys; saving over an existing file keeps what the person
// wrote and rewrites only the values that changed.
//
// In protocol/: site_profile_reading.cpp reads and checks a profile,
// site_profile_writing.cpp writes values and new files,
// site_profile_editing.cpp writes values into an existing text, and
// site_profile_file.cpp reads and saves files.
struct SiteProfile {
  std::array<RadioProgram, kRadioCount> radios;  // radios[0] is radio 1
  std::optional<PortChoice> port;                // none when the file names none
  QString siteName;
  QString notes;
  // For a +tls port: the files as written, relative to the profile's folder
  // unless absolute (profileFilePath()); empty when the file names none.
  QString serverCertificate;
  QString clientCertificate;
  QString clientKey;

  friend bool operator==(const SiteProfile&, const SiteProfile&) = default;
};

inline constexpr int kSiteProfileVersion = 1;
inline constexpr qint64 kLargestSiteProfileBytes = qint64{1024} * 1024;
inline const QString kSiteProfileSuffix = QStringLiteral("zelqon");

// Where a key stands: before any section, in [site], or in each of
// [radio1] .. [radio4].
enum class ProfileSection { Top, Site, Radio };
enum class ProfileValue { Version, Text, Port, FilePath, Level, RadioList, Time };

// One key of the format. This table drives reading, the "missing key"
// refusals, writing, a new file's comments and the help text; a [site] key
// may be absent, every other key must be there.
struct ProfileKey {
  ProfileSection section;
  std::string_view name;
  ProfileValue value;
  // A new file's comment on the key, UTF-8: at the end of a required key's
  // line, on lines of its own above an optional one. %1 and %2 stand for
  // what other tables hold: the two COR words, the longest time and its step.
  std::string_view note;
  std::string_view example = {};            // an optional key's value, commented out when a new file has none
  QString SiteProfile::*text = nullptr;     // a Text or FilePath key's field
  DelayTime RadioProgram::*time = nullptr;  // a Time key's field

  [[nodiscard]] constexpr bool isRequired() const { return section != ProfileSection::Site; }
};

inline constexpr std::array kProfileKeys = {
    ProfileKey{ProfileSection::Top, "versao", ProfileValue::Version, "versão do formato deste arquivo"},
    ProfileKey{ProfileSection::Site, "nome", ProfileValue::Text,
               "Nome e notas: texto livre, opcional; as notas podem ter várias linhas entre \"\"\".",
               "\"Nome do site\"", &SiteProfile::siteName},
    ProfileKey{ProfileSection::Site, "notas", ProfileValue::Text, "", "\"Observações\"", &SiteProfile::notes},
    ProfileKey{ProfileSection::Site, "porta", ProfileValue::Port,
               "A porta, opcional: o número da lista (\"1\" ou \"COM1\"), o dispositivo (\"/dev/ttyUSB0\")\n"
               "ou um servidor serial de rede: \"rfc2217://HOST:PORTA\" ou \"tcp://HOST:PORTA\",\n"
               "cifrado com TLS: \"rfc2217+tls://HOST:PORTA\" ou \"tcp+tls://HOST:PORTA\".",
               "\"1\""},
    ProfileKey{ProfileSection::Site, "certificado_servidor", ProfileValue::FilePath,
               "Com +tls, opcionais, relativos à pasta deste arquivo: o certificado do servidor (ou o da\n"
               "autoridade que o assinou), e o certificado e a chave deste computador, se o servidor os exige.",
               "\"servidor.crt\"", &SiteProfile::serverCertificate},
    ProfileKey{ProfileSection::Site, "certificado", ProfileValue::FilePath, "", "\"tecnico.crt\"",
               &SiteProfile::clientCertificate},
    ProfileKey{ProfileSection::Site, "chave", ProfileValue::FilePath, "", "\"tecnico.key\"", &SiteProfile::clientKey},
    ProfileKey{ProfileSection::Radio, "cor", ProfileValue::Level, "nível ativo da entrada COR: \"%1\" ou \"%2\""},
    ProfileKey{ProfileSection::Radio, "aciona", ProfileValue::RadioList,
               "rádios acionados (PTT) enquanto o COR deste rádio está ativo; [] nenhum"},
    ProfileKey{ProfileSection::Radio, "debounce_ms", ProfileValue::Time, "0 a %1, de %2 em %2", "", nullptr,
               &RadioProgram::debounce},
    ProfileKey{ProfileSection::Radio, "hang_ms", ProfileValue::Time, "0 a %1, de %2 em %2", "", nullptr,
               &RadioProgram::hang},
};

// A file a profile names, as a path: relative paths are read from the
// profile's own folder, so a site's folder can move whole.
[[nodiscard]] QString profileFilePath(const QString& profilePath, const QString& named);
// The profile's relative file paths as seen from `newPath`'s folder, for a
// profile saved from `oldPath` to another folder: each still names its file.
void moveProfileFiles(SiteProfile& profile, const QString& oldPath, const QString& newPath);

// The keys of one section, in the order a file lists them.
[[nodiscard]] QList<ProfileKey> profileKeysOf(ProfileSection section);

// Why a profile was refused or not saved. Words for the operator are made
// from these facts in engine/profile_text.
enum class ProfileCause {
  CannotOpen,         // value: the system's reason
  CannotRead,         // value: the system's reason
  CannotSave,         // value: the system's reason; the old file is left as it was
  TooLarge,           // more than kLargestSiteProfileBytes
  NotUtf8,            //
  NotToml,            // value: the TOML reader's own description
  MissingVersion,     //
  VersionNotNumber,   //
  NewerVersion,       // value: the version the file names
  UnknownSection,     // section: the name
  UnknownKey,         // section (empty at the top), key
  NotASection,        // section: the name given to something else
  MissingSection,     // section
  MissingKey,         // section, key
  NotText,            // section, key
  BadNetworkAddress,  // value: the port text
  NotPort,            // value: the port text
  NotFilePath,        // section, key, value: empty, or more than one line
  NotLevelText,       // section, key
  UnknownLevel,       // section, key, value
  NotRadioList,       // section, key
  NotRadioNumber,     // section, key
  NotRadio,           // section, key, value: the number
  KeysItself,         // section, key, value: the radio
  RadioRepeated,      // section, key, value: the radio
  NotMilliseconds,    // section, key
  NotTimeChoice,      // section, key, value: the number
};

// line and column count from 1; 0 when the cause has no place in the file
// (a missing section, an unreadable file).
struct ProfileProblem {
  ProfileCause cause = ProfileCause::CannotOpen;
  QString fileName;
  int line = 0;
  int column = 0;
  QString section;  // "site", "radio2"; empty at the top level
  QString key;
  QString value;
};

struct ProfileReadResult {
  std::optional<SiteProfile> profile;  // empty when refused
  ProfileProblem problem;              // set when refused
  QByteArray bytes;                    // the file as read, to tell later whether it changed on disk
};

// Reads a profile from the bytes of a file; `fileName` only names it in the
// problem. Refuses anything but a complete, valid profile of a version this
// program knows.
[[nodiscard]] ProfileReadResult parseSiteProfile(const QByteArray& bytes, const QString& fileName);

// Reads the file at `path`; a file larger than kLargestSiteProfileBytes is
// refused whole, never cut and read.
[[nodiscard]] ProfileReadResult readSiteProfile(const QString& path);

// The profile as the text of a new .zelqon file, UTF-8, with comments.
[[nodiscard]] QByteArray formatSiteProfile(const SiteProfile& profile);

// `original` (a profile file's text) with the values of `profile` written
// in: values that already say the same stay as written; a changed value is
// rewritten in place in its quoting style, keeping comments, blank lines and
// the order of sections and keys; a key or section the file lacks is added
// after the ones before it. An empty `original`, or a text whose layout
// cannot keep the values (not TOML, not a profile), gives formatSiteProfile().
[[nodiscard]] QByteArray updateSiteProfileText(const QByteArray& original, const SiteProfile& profile);

struct ProfileSaveResult {
  std::optional<ProfileProblem> problem;  // set when the file was not written
  QByteArray bytes;                       // the file as now written
};

// Saves the profile into the file at `path` through updateSiteProfileText(),
// so a hand-written file keeps its comments. Written through a temporary
// file in the same folder and renamed over the old one only once complete,
// keeping the old file's permissions: on failure the old file is as it was.
[[nodiscard]] ProfileSaveResult saveSiteProfile(const QString& path, const SiteProfile& profile);

}  // namespace zelqon
