#include "protocol/site_profile_toml.h"
#include "protocol/site_profile_values.h"

#include <QList>

#include <algorithm>
#include <string_view>

namespace zelqon {

namespace {

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

}  // namespace

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

}  // namespace zelqon
