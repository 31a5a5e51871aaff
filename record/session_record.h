#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringView>

#include <functional>

namespace zelqon {

// The session record: every message written to the controller and every
// byte received from it, for support later. One event a line, its fields
// separated by tabs:
//
//   2026-12-07T17:06:36.123-03:00 <TAB> enviado <TAB> COM1 (/dev/ttyUSB0) <TAB> Radio=1;COR=1;...
//
// local date and time to the millisecond with the UTC offset; "enviado" or
// "recebido"; the port as the operator named it; the bytes, printable ASCII
// as itself, a backslash as \\, CR, LF and TAB as \r \n \t, any other byte
// as \xHH (two upper-case hex digits). Tabs, line breaks and backslashes in
// the port name are written the same way, so neither field can break a line.

enum class RecordDirection { Sent, Received };

// Received bytes are split into events of at most this many bytes, so that
// no line grows without bound.
inline constexpr qsizetype kLongestRecordEvent = 1024;

// The bytes field of a line.
[[nodiscard]] QByteArray encodeRecordBytes(const QByteArray& bytes);
// One event's lines, each ending in '\n': one line, or several for bytes
// longer than kLongestRecordEvent.
[[nodiscard]] QByteArray recordLines(const QDateTime& when, RecordDirection direction, const QString& port,
                                     const QByteArray& bytes);

// The per-user folder of the daily records: $XDG_STATE_HOME/zelqon (by
// default ~/.local/state/zelqon) on Linux, the local application data
// folder's zelqon\registros on Windows. For "Abrir pasta de registros".
[[nodiscard]] QString sessionRecordFolder();

// Where a record goes.
enum class RecordTarget {
  DailyFiles,  // a folder: zelqon-YYYY-MM-DD.log a local day, old files pruned on start
  OneFile,     // the given file, appended to, never pruned (zelqon-cli --record FILE)
};

// Why the record stopped: the file it could not write and the system's
// reason. engine/profile_text words it.
struct RecordFailure {
  QString fileName;
  QString reason;
};

struct RecordOptions {
  std::function<QDateTime()> clock;        // the local time now; QDateTime::currentDateTime when empty
  int keepDays = 90;                       // daily files older than this are removed on start
  qint64 keepBytes = 100LL * 1024 * 1024;  // then the oldest, until all together hold no more
};

// Writes events as they happen, each line written through at once: a crash
// loses at most the event in progress. A record that cannot be written stops,
// says so once through failed(), and the program goes on without it.
class SessionRecord : public QObject {
  Q_OBJECT

 public:
  SessionRecord(RecordTarget target, QString path, RecordOptions options = {}, QObject* parent = nullptr);

  // Prunes old daily files and opens the file; failed() when it cannot.
  void start();
  void record(RecordDirection direction, const QString& port, const QByteArray& bytes);

  [[nodiscard]] bool isRecording() const { return m_file.isOpen(); }
  // The file being written; empty before start() and after a failure.
  [[nodiscard]] QString currentFile() const { return m_file.isOpen() ? m_file.fileName() : QString(); }

 signals:
  // Sent at most once.
  void failed(const zelqon::RecordFailure& failure);

 private:
  void prune(QDate today);
  bool open(QDate day);
  void fail(const QString& fileName, const QString& reason);

  RecordTarget m_target;
  QString m_path;
  RecordOptions m_options;
  QFile m_file;
  QDate m_day;  // of the open daily file
  bool m_stopped = false;
};

}  // namespace zelqon
