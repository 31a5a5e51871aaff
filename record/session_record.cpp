#include "record/session_record.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace zelqon {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Bytes from 0x80 on: escaped in the bytes received, kept in a port name,
// whose letters are UTF-8.
enum class HighBytes { Escaped, Kept };

void appendEscaped(QByteArray& out, char byte, HighBytes high) {
  const auto b = uchar(byte);
  if (b == '\\')
    out += "\\\\";
  else if (b == '\r')
    out += "\\r";
  else if (b == '\n')
    out += "\\n";
  else if (b == '\t')
    out += "\\t";
  else if ((b >= 0x20 && b < 0x7F) || (high == HighBytes::Kept && b >= 0x80))
    out += byte;
  else
    out += QByteArray("\\x") + kHexDigits[b >> 4] + kHexDigits[b & 0xF];
}

// The port name keeps its letters (the file is UTF-8); only what could
// break the line is escaped.
QByteArray encodePortName(const QString& port) {
  QByteArray out;
  for (const char byte : port.toUtf8())
    appendEscaped(out, byte, HighBytes::Kept);
  return out;
}

QByteArray timestamp(const QDateTime& when) {
  const int offsetMinutes = when.offsetFromUtc() / 60;
  const int magnitude = std::abs(offsetMinutes);
  return when.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")).toLatin1() + (offsetMinutes < 0 ? '-' : '+') +
         QByteArray::number(magnitude / 60).rightJustified(2, '0') + ':' +
         QByteArray::number(magnitude % 60).rightJustified(2, '0');
}

// What names a daily file, the date captured; no other file is pruned.
const QRegularExpression& dailyFilePattern() {
  static const QRegularExpression pattern(QStringLiteral("^zelqon-(\\d{4}-\\d{2}-\\d{2})\\.log$"));
  return pattern;
}

QString dailyFileName(QDate day) { return QStringLiteral("zelqon-%1.log").arg(day.toString(Qt::ISODate)); }

}  // namespace

QByteArray encodeRecordBytes(const QByteArray& bytes) {
  QByteArray out;
  out.reserve(bytes.size());
  for (const char byte : bytes)
    appendEscaped(out, byte, HighBytes::Escaped);
  return out;
}

QByteArray recordLines(const QDateTime& when, RecordDirection direction, const QString& port, const QByteArray& bytes) {
  const QByteArray head = timestamp(when) + '\t' + (direction == RecordDirection::Sent ? "enviado" : "recebido") +
                          '\t' + encodePortName(port) + '\t';
  QByteArray lines;
  qsizetype start = 0;
  do {
    lines += head + encodeRecordBytes(bytes.mid(start, kLongestRecordEvent)) + '\n';
    start += kLongestRecordEvent;
  } while (start < bytes.size());
  return lines;
}

QString sessionRecordFolder() {
#ifdef Q_OS_WIN
  // Shared by the window and zelqon-cli, whatever their application names.
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/zelqon/registros");
#else
  // The XDG base directory rules: a relative XDG_STATE_HOME is ignored.
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (state.isEmpty() || QDir::isRelativePath(state))
    state = QDir::homePath() + QStringLiteral("/.local/state");
  return state + QStringLiteral("/zelqon");
#endif
}

SessionRecord::SessionRecord(RecordTarget target, QString path, RecordOptions options, QObject* parent)
    : QObject(parent), m_target(target), m_path(std::move(path)), m_options(std::move(options)) {
  if (!m_options.clock)
    m_options.clock = [] { return QDateTime::currentDateTime(); };
}

void SessionRecord::start() {
  if (m_stopped || m_file.isOpen())
    return;
  const QDate today = m_options.clock().date();
  if (m_target == RecordTarget::DailyFiles) {
    QDir().mkpath(m_path);  // a failure shows when the file does not open
    prune(today);
  }
  open(today);
}

void SessionRecord::record(RecordDirection direction, const QString& port, const QByteArray& bytes) {
  if (m_stopped)
    return;
  const QDateTime now = m_options.clock();
  if (!m_file.isOpen() || (m_target == RecordTarget::DailyFiles && now.date() != m_day)) {
    if (!open(now.date()))
      return;
  }
  const QByteArray lines = recordLines(now, direction, port, bytes);
  // Unbuffered, so each write reaches the system at once; a short write is
  // retried so that a full disk shows as an error with its reason.
  for (qint64 done = 0; done < lines.size();) {
    const qint64 written = m_file.write(lines.constData() + done, lines.size() - done);
    if (written <= 0) {
      fail(m_file.fileName(), m_file.errorString());
      return;
    }
    done += written;
  }
}

bool SessionRecord::open(QDate day) {
  m_file.close();
  const QString name = m_target == RecordTarget::DailyFiles ? QDir(m_path).filePath(dailyFileName(day)) : m_path;
  m_file.setFileName(name);
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
    fail(name, m_file.errorString());
    return false;
  }
  m_day = day;
  return true;
}

void SessionRecord::prune(QDate today) {
  struct DailyFile {
    QDate day;
    QString path;
    qint64 size;
  };
  std::vector<DailyFile> files;
  const QFileInfoList entries = QDir(m_path).entryInfoList(QDir::Files | QDir::Hidden);
  for (const QFileInfo& entry : entries) {
    const auto match = dailyFilePattern().match(entry.fileName());
    const QDate day = match.hasMatch() ? QDate::fromString(match.captured(1), Qt::ISODate) : QDate();
    if (day.isValid())
      files.push_back({day, entry.filePath(), entry.size()});
  }
  std::sort(files.begin(), files.end(), [](const DailyFile& a, const DailyFile& b) { return a.day < b.day; });

  qint64 total = 0;
  for (const DailyFile& file : files)
    total += file.size;
  for (const DailyFile& file : files) {
    if (file.day >= today)  // today's file (and any dated later by a clock put back) stays
      break;
    const bool tooOld = file.day.daysTo(today) > m_options.keepDays;
    if (!tooOld && total <= m_options.keepBytes)
      continue;
    if (QFile::remove(file.path))
      total -= file.size;
  }
}

void SessionRecord::fail(const QString& fileName, const QString& reason) {
  m_file.close();
  if (m_stopped)
    return;
  m_stopped = true;
  emit failed(RecordFailure{fileName, reason});
}

}  // namespace zelqon
