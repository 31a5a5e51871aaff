#include "engine/session_record.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace zelqon;

namespace {

QDateTime at(QDate day, QTime time, int offsetHours = -3) {
  return QDateTime(day, time, Qt::OffsetFromUTC, offsetHours * 3600);
}

QList<QByteArray> linesOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QList<QByteArray> lines = file.readAll().split('\n');
  if (lines.last().isEmpty())
    lines.removeLast();
  return lines;
}

void writeFile(const QString& path, qint64 size) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QVERIFY(file.write(QByteArray(size, 'x')) == size);
}

}  // namespace

class TestRecord : public QObject {
  Q_OBJECT

 private slots:
  void linesDecodeToTheBytes();
  void newFileWhenDayChanges();
  void prunes_data();
  void prunes();
  void failureToldOnce_data();
  void failureToldOnce();
  void folderFollowsXdg();
};

void TestRecord::linesDecodeToTheBytes() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sessao.log"));
  QDateTime now = at(QDate(2026, 12, 7), QTime(17, 6, 36, 123));
  SessionRecord record(RecordTarget::OneFile, path, {[&now] { return now; }});
  record.start();
  QByteArray burst;
  for (int round = 0; round < 5; ++round) {
    for (int value = 0; value < 256; ++value)
      burst += char(value);
  }
  const QString port = QStringLiteral("COM1 (/dev/ttyUSB0)");
  record.record(RecordDirection::Sent, port, "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=1;PTT3=0;PTT4=0;DelayHT=00100;");
  now = now.addMSecs(-123).addSecs(3600 * 5);  // a later hour, ".000" milliseconds
  record.record(RecordDirection::Received, QStringLiteral("rfc2217://site:2217\t2"),
                QByteArray("\x00\t\r\n\\A~\x7F\x80\xFF", 10));
  record.record(RecordDirection::Received, port, burst);

  const QList<QByteArray> lines = linesOf(path);
  QCOMPARE(lines.size(), 4);  // the 1280-byte burst in two events
  QCOMPARE(lines[0],
           "2026-12-07T17:06:36.123-03:00\tenviado\tCOM1 (/dev/ttyUSB0)\t"
           "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=1;PTT3=0;PTT4=0;DelayHT=00100;");
  QCOMPARE(lines[1],
           R"(2026-12-07T22:06:36.000-03:00	recebido	rfc2217://site:2217\t2	\x00\t\r\n\\A~\x7F\x80\xFF)");
  QByteArray decoded;
  for (int i = 2; i < 4; ++i) {
    const QList<QByteArray> fields = lines[i].split('\t');
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields[1], "recebido");
    const auto bytes = decodeRecordBytes(fields[3]);
    QVERIFY(bytes);
    QCOMPARE(bytes->size(), i == 2 ? kLongestRecordEvent : burst.size() - kLongestRecordEvent);
    decoded += *bytes;
  }
  QCOMPARE(decoded, burst);
  for (const QByteArray bad : {"\\", "\\q", "\\x4", "\\x4g", "a\tb"})
    QVERIFY2(!decodeRecordBytes(bad), bad.constData());
}

void TestRecord::newFileWhenDayChanges() {
  QTemporaryDir dir;
  QDateTime now = at(QDate(2026, 12, 7), QTime(23, 59, 59, 900));
  SessionRecord record(RecordTarget::DailyFiles, dir.path(), {[&now] { return now; }});
  QSignalSpy failures(&record, &SessionRecord::failed);
  record.start();
  record.record(RecordDirection::Sent, QStringLiteral("1"), "Atualizar");
  now = now.addMSecs(200);
  record.record(RecordDirection::Received, QStringLiteral("1"), "ok");
  QCOMPARE(failures.count(), 0);
  QCOMPARE(record.currentFile(), dir.filePath(QStringLiteral("zelqon-2026-12-08.log")));
  const QList<QByteArray> first = linesOf(dir.filePath(QStringLiteral("zelqon-2026-12-07.log")));
  const QList<QByteArray> second = linesOf(dir.filePath(QStringLiteral("zelqon-2026-12-08.log")));
  QCOMPARE(first.size(), 1);
  QVERIFY(first[0].endsWith("\tenviado\t1\tAtualizar"));
  QCOMPARE(second, QList<QByteArray>{"2026-12-08T00:00:00.100-03:00\trecebido\t1\tok"});
}

// Today is 2026-12-07; files are "name:size"; limits of 90 days and 1000 bytes.
void TestRecord::prunes_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QStringList>("remaining");

  QTest::newRow("by age") << QStringList{"zelqon-2026-09-07.log:10", "zelqon-2026-09-08.log:10",
                                         "zelqon-2020-01-01.txt:10", "outro-2020-01-01.log:10",
                                         "zelqon-2026-12-07.log:10"}
                          << QStringList{"outro-2020-01-01.log:10", "zelqon-2020-01-01.txt:10",
                                         "zelqon-2026-09-08.log:10", "zelqon-2026-12-07.log:10"};
  QTest::newRow("by size, oldest first") << QStringList{"zelqon-2026-12-05.log:400", "zelqon-2026-12-01.log:400",
                                                        "zelqon-2026-12-03.log:400", "zelqon-2026-12-07.log:300"}
                                         << QStringList{"zelqon-2026-12-05.log:400", "zelqon-2026-12-07.log:300"};
  QTest::newRow("never today's") << QStringList{"zelqon-2026-12-06.log:10", "zelqon-2026-12-07.log:2000"}
                                 << QStringList{"zelqon-2026-12-07.log:2000"};
  QTest::newRow("within limits") << QStringList{"zelqon-2026-12-06.log:500", "zelqon-2026-13-01.log:900"}
                                 << QStringList{"zelqon-2026-12-06.log:500", "zelqon-2026-12-07.log:0",
                                                "zelqon-2026-13-01.log:900"};
}

void TestRecord::prunes() {
  QFETCH(QStringList, files);
  QFETCH(QStringList, remaining);
  QTemporaryDir dir;
  for (const QString& file : files)
    writeFile(dir.filePath(file.section(QLatin1Char(':'), 0, 0)), file.section(QLatin1Char(':'), 1).toLongLong());
  RecordOptions options{[] { return at(QDate(2026, 12, 7), QTime(8, 0)); }, 90, 1000};
  SessionRecord record(RecordTarget::DailyFiles, dir.path(), options);
  record.start();
  QVERIFY(record.isRecording());
  QStringList found;
  for (const QFileInfo& file : QDir(dir.path()).entryInfoList(QDir::Files, QDir::Name))
    found.append(QStringLiteral("%1:%2").arg(file.fileName()).arg(file.size()));
  QCOMPARE(found, remaining);
}

void TestRecord::failureToldOnce_data() {
  QTest::addColumn<int>("target");
  QTest::addColumn<QString>("path");  // "FILE" stands for a regular file in a temporary folder
  QTest::addColumn<QString>("reason");

  QTest::newRow("folder is a file") << int(RecordTarget::DailyFiles) << "FILE"
                                    << QString::fromLocal8Bit(std::strerror(ENOTDIR));
  QTest::newRow("disk full") << int(RecordTarget::OneFile) << "/dev/full"
                             << QString::fromLocal8Bit(std::strerror(ENOSPC));
}

void TestRecord::failureToldOnce() {
  QFETCH(int, target);
  QFETCH(QString, path);
  QFETCH(QString, reason);
  QTemporaryDir dir;
  if (path == QLatin1String("FILE")) {
    path = dir.filePath(QStringLiteral("arquivo"));
    writeFile(path, 1);
  }
  SessionRecord record(RecordTarget(target), path);
  QSignalSpy failures(&record, &SessionRecord::failed);
  record.start();
  for (int i = 0; i < 3; ++i)
    record.record(RecordDirection::Sent, QStringLiteral("1"), "Atualizar");
  QCOMPARE(failures.count(), 1);
  const QString message = failures[0][0].toString();
  QVERIFY2(
      message.contains(path) && message.contains(reason) && message.contains(QStringLiteral("continua sem registro")),
      qPrintable(message));
  QVERIFY(!record.isRecording());
}

void TestRecord::folderFollowsXdg() {
  QTemporaryDir dir;
  qputenv("HOME", dir.path().toUtf8());
  qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("estado")).toUtf8());
  QCOMPARE(sessionRecordFolder(), dir.filePath(QStringLiteral("estado/zelqon")));
  qputenv("XDG_STATE_HOME", "relativo");
  QCOMPARE(sessionRecordFolder(), dir.filePath(QStringLiteral(".local/state/zelqon")));
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
