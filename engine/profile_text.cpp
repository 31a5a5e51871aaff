#include "engine/profile_text.h"

#include <QStringList>

#include <algorithm>

namespace zelqon {

namespace {

// "alto" ou "baixo", as a profile writes them.
QString corLevelChoices() {
  return QStringLiteral("\"%1\" ou \"%2\"").arg(corLevelWord(CorLevel::ActiveHigh), corLevelWord(CorLevel::ActiveLow));
}

QString keyName(const ProfileKey& key) { return QString::fromLatin1(key.name.data(), qsizetype(key.name.size())); }

// "a, b e c"
QString listed(const QStringList& names) {
  return names.size() < 2
             ? names.join(QString())
             : names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ") + names.last();
}

QString keysOf(ProfileSection section) {
  QStringList names;
  for (const ProfileKey& key : profileKeysOf(section))
    names.append(keyName(key));
  return listed(names);
}

// The reason alone, without the file and the place.
QString reason(const ProfileProblem& problem) {
  const QString& value = problem.value;
  const QString radios = QStringLiteral("1 a %1").arg(kRadioCount);
  switch (problem.cause) {
    case ProfileCause::CannotOpen:
      return QStringLiteral("não foi possível abrir o arquivo: %1.").arg(value);
    case ProfileCause::CannotRead:
      return QStringLiteral("não foi possível ler o arquivo: %1.").arg(value);
    case ProfileCause::CannotSave:
      return value;
    case ProfileCause::TooLarge:
      return QStringLiteral("o arquivo é grande demais para um perfil (mais de %1 bytes).")
          .arg(kLargestSiteProfileBytes);
    case ProfileCause::NotUtf8:
      return QStringLiteral("o arquivo não está em UTF-8 (salve-o com a codificação UTF-8).");
    case ProfileCause::NotToml:
      return QStringLiteral("o texto não segue a sintaxe TOML (%1).").arg(value);
    case ProfileCause::MissingVersion:
      return QStringLiteral("falta a chave versao (a primeira linha de um perfil é versao = %1).")
          .arg(kSiteProfileVersion);
    case ProfileCause::VersionNotNumber:
      return QStringLiteral("versao: esperado o número da versão do formato (%1).").arg(kSiteProfileVersion);
    case ProfileCause::NewerVersion:
      return QStringLiteral(
                 "versao %1: o perfil foi feito por uma versão mais nova do programa; esta lê somente a "
                 "versão %2.")
          .arg(value)
          .arg(kSiteProfileVersion);
    case ProfileCause::UnknownSection:
      return QStringLiteral("seção desconhecida [%1] (um perfil tem versao, [site] e [radio1] a [radio%2]).")
          .arg(problem.section)
          .arg(kRadioCount);
    case ProfileCause::UnknownKey:
      if (problem.section.isEmpty())
        return QStringLiteral("chave desconhecida \"%1\" (um perfil tem versao, [site] e [radio1] a [radio%2]).")
            .arg(problem.key)
            .arg(kRadioCount);
      if (problem.section == QLatin1String("site"))
        return QStringLiteral("chave desconhecida \"%1\" (as chaves de [site] são %2).")
            .arg(problem.key, keysOf(ProfileSection::Site));
      return QStringLiteral("chave desconhecida \"%1\" (as chaves de um rádio são %2).")
          .arg(problem.key, keysOf(ProfileSection::Radio));
    case ProfileCause::NotASection:
      return QStringLiteral("%1: esperada uma seção [%1].").arg(problem.section);
    case ProfileCause::MissingSection:
      return QStringLiteral("falta a seção [%1]; um perfil tem os quatro rádios.").arg(problem.section);
    case ProfileCause::MissingKey:
      return QStringLiteral("falta a chave %1.").arg(problem.key);
    case ProfileCause::NotText:
      return QStringLiteral("%1: esperado um texto entre aspas.").arg(problem.key);
    case ProfileCause::NotFilePath:
      return QStringLiteral("%1: esperado o caminho de um arquivo, numa linha só.").arg(problem.key);
    case ProfileCause::BadNetworkAddress:
      return QStringLiteral("%1: \"%2\" não é um endereço de rede válido (%3, porta de 1 a 65535).")
          .arg(problem.key, value, describeNetworkPortForms());
    case ProfileCause::NotPort:
      return QStringLiteral("%1: \"%2\" não é uma porta: %3.")
          .arg(problem.key, value, QStringLiteral("use ") + describePortForms());
    case ProfileCause::NotLevelText:
      return QStringLiteral("%1: esperado o texto %2.").arg(problem.key, corLevelChoices());
    case ProfileCause::UnknownLevel:
      return QStringLiteral("%1: \"%2\" não é um nível: use %3.").arg(problem.key, value, corLevelChoices());
    case ProfileCause::NotRadioList:
      return QStringLiteral("%1: esperada uma lista de rádios, como [2, 4] ([] para nenhum).").arg(problem.key);
    case ProfileCause::NotRadioNumber:
      return QStringLiteral("%1: esperado o número de um rádio (%2).").arg(problem.key, radios);
    case ProfileCause::NotRadio:
      return QStringLiteral("%1: %2 não é um rádio (%3).").arg(problem.key, value, radios);
    case ProfileCause::KeysItself:
      return QStringLiteral("%1: o rádio %2 não aciona a si mesmo.").arg(problem.key, value);
    case ProfileCause::RadioRepeated:
      return QStringLiteral("%1: o rádio %2 aparece mais de uma vez.").arg(problem.key, value);
    case ProfileCause::NotMilliseconds:
      return QStringLiteral("%1: esperado um número inteiro de milissegundos (%2).")
          .arg(problem.key, describeDelayRange());
    case ProfileCause::NotTimeChoice:
      return QStringLiteral("%1: %2 não é um dos tempos da lista (%3).").arg(problem.key, value, describeDelayRange());
  }
  return {};
}

// What a key holds, for the help text.
QString valueWords(const ProfileKey& key) {
  switch (key.value) {
    case ProfileValue::Version:
      return QStringLiteral("a versão do formato, %1").arg(kSiteProfileVersion);
    case ProfileValue::Text:
      return QStringLiteral("texto entre aspas");
    case ProfileValue::FilePath:
      return QStringLiteral("com +tls, um arquivo PEM, entre aspas, relativo à pasta do perfil");
    case ProfileValue::Port:
      return QStringLiteral(
          "\"1\", \"COM1\", \"/dev/ttyUSB0\", rfc2217://, rfc2217+tls://, tcp:// ou tcp+tls://SERVIDOR:PORTA");
    case ProfileValue::Level:
      return QStringLiteral("nível ativo da entrada COR: %1").arg(corLevelChoices());
    case ProfileValue::RadioList:
      return QStringLiteral("rádios acionados (PTT), como [2, 4]; [] nenhum");
    case ProfileValue::Time:
      return describeDelayRange();
  }
  return {};
}

}  // namespace

QString describeNetworkPortForms() {
  return QStringLiteral(
      "rfc2217://SERVIDOR:PORTA, rfc2217+tls://SERVIDOR:PORTA, tcp://SERVIDOR:PORTA ou tcp+tls://SERVIDOR:PORTA");
}

QString describePortForms() {
  return QStringLiteral("o número da lista (\"1\" ou \"COM1\", de 1 a 32767), o dispositivo (\"/dev/ttyUSB0\") ou %1")
      .arg(describeNetworkPortForms());
}

QString describeDelayRange() {
  return QStringLiteral("%1 a %2 ms, de %3 em %3").arg(0).arg(DelayTime::kLongestMs).arg(DelayTime::kStepMs);
}

QString describeProfileProblem(const ProfileProblem& problem) {
  if (problem.cause == ProfileCause::CannotSave)
    return QStringLiteral("Não foi possível salvar o perfil %1: %2. O arquivo anterior ficou como estava.")
        .arg(problem.fileName, problem.value);
  // A key's problem names its section first: "[radio2] cor: ...".
  const bool named = !problem.section.isEmpty() && problem.cause != ProfileCause::UnknownSection &&
                     problem.cause != ProfileCause::NotASection && problem.cause != ProfileCause::MissingSection;
  const QString text = (named ? QStringLiteral("[%1] ").arg(problem.section) : QString()) + reason(problem);
  if (problem.line <= 0)
    return QStringLiteral("%1: %2").arg(problem.fileName, text);
  if (problem.column <= 0)
    return QStringLiteral("%1:%2: %3").arg(problem.fileName).arg(problem.line).arg(text);
  return QStringLiteral("%1:%2:%3: %4").arg(problem.fileName).arg(problem.line).arg(problem.column).arg(text);
}

QString describeProfileKeys() {
  QString text = QStringLiteral("Chaves de um perfil de site (.zelqon):\n");
  // The column past the longest key and a space.
  const qsizetype width =
      std::max_element(kProfileKeys.begin(), kProfileKeys.end(),
                       [](const ProfileKey& a, const ProfileKey& b) { return a.name.size() < b.name.size(); })
          ->name.size() +
      1;
  const auto lines = [&text, width](ProfileSection section, const QString& header) {
    if (!header.isEmpty())
      text += QStringLiteral("  %1\n").arg(header);
    for (const ProfileKey& key : profileKeysOf(section))
      text += QStringLiteral("    ") + keyName(key).leftJustified(width) +
              (key.isRequired() ? QStringLiteral("obrigatória: ") : QStringLiteral("opcional: ")) + valueWords(key) +
              QLatin1Char('\n');
  };
  lines(ProfileSection::Top, {});
  lines(ProfileSection::Site, QStringLiteral("[site], opcional"));
  lines(ProfileSection::Radio, QStringLiteral("[radio1] a [radio%1], todas obrigatórias").arg(kRadioCount));
  return text;
}

}  // namespace zelqon
