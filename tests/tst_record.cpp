#include "engine/record_text.h"
#include "pty_engine.h"
#include "test_support.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace zelqon;

namespace {

QDateTime at(QDate day, QTime time) { return QDateTime(day, time, Qt::OffsetFromUTC, -3 * 3600); }

QList<QByteArray> linesOf(const QString& path) {
  const QByteArray text = readFile(path);
  return text.isEmpty() ? QList<QByteArray>{} : text.chopped(1).split('\n');
}

}  // namespace

class TestRecord : public QObject {
  Q_OBJECT

 private slots:
  // The exact lines of a send and of received bytes, escaped; the events
  // after midnight go to the next day's file.
  void linesAndDailyFiles() {
    QTemporaryDir dir;
    QDateTime now = at(QDate(2026, 12, 7), QTime(21, 6, 36, 123));
    SessionRecord record(RecordTarget::DailyFiles, dir.path(), {[&now] { return now; }});
    record.start();
    const QByteArray burst = everyByte().repeated(5);
    const QString port = QStringLiteral("COM1 (/dev/ttyUSB0)");
    record.record(RecordDirection::Sent, port, "Atualizar");
    now = now.addMSecs(-123).addSecs(3600 * 5);  // the next day, ".000" milliseconds
    record.record(RecordDirection::Received, QStringLiteral("rfc2217://site:2217\t2"),
                  QByteArray("\x00\t\r\n\\A~\x7F\x80\xFF", 10));
    record.record(RecordDirection::Received, port, burst);

    // Each line is on disk at once, and the 1280-byte burst is two events.
    QCOMPARE(linesOf(dir.filePath(QStringLiteral("zelqon-2026-12-07.log"))),
             QList<QByteArray>{"2026-12-07T21:06:36.123-03:00\tenviado\tCOM1 (/dev/ttyUSB0)\tAtualizar"});
    const QList<QByteArray> lines = linesOf(dir.filePath(QStringLiteral("zelqon-2026-12-08.log")));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0],
             R"(2026-12-08T02:06:36.000-03:00	recebido	rfc2217://site:2217\t2	\x00\t\r\n\\A~\x7F\x80\xFF)");
    for (const QByteArray& line : lines.mid(1))
      QVERIFY(line.startsWith("2026-12-08T02:06:36.000-03:00\trecebido\tCOM1 (/dev/ttyUSB0)\t"));
    // 1024 bytes an event: four rounds of every byte value, then the fifth.
    QCOMPARE(lines[1].split('\t').last(), lines[2].split('\t').last().repeated(4));
  }

  // Today is 2026-12-07; the usual limit of days and 1000 bytes; "name:size" each.
  void prunes_data() {
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("remaining");

    // Only the program's own zelqon-DATE.log files older than 90 days go; 90
    // days stay, and an operator's copies stay whatever their age.
    QTest::newRow("by age") << "zelqon-2026-09-07.log:10 zelqon-2026-09-08.log:10 zelqon-2020-01-01.txt:10 "
                               "outro-2020-01-01.log:10 zelqon-2026-01-05.log.gz:10 x-zelqon-2020-01-01.log:10"
                            << "outro-2020-01-01.log:10 x-zelqon-2020-01-01.log:10 zelqon-2020-01-01.txt:10 "
                               "zelqon-2026-01-05.log.gz:10 zelqon-2026-09-08.log:10 zelqon-2026-12-07.log:0";
    // Then the oldest until the rest fit, but never today's.
    QTest::newRow("by size") << "zelqon-2026-12-05.log:400 zelqon-2026-12-01.log:400 zelqon-2026-12-03.log:400"
                             << "zelqon-2026-12-03.log:400 zelqon-2026-12-05.log:400 zelqon-2026-12-07.log:0";
    QTest::newRow("never today's") << "zelqon-2026-12-06.log:10 zelqon-2026-12-07.log:2000"
                                   << "zelqon-2026-12-07.log:2000";
  }

  void prunes() {
    QFETCH(QString, files);
    QFETCH(QString, remaining);
    QTemporaryDir dir;
    for (const QString& file : files.split(QLatin1Char(' '))) {
      QVERIFY(writeFile(dir.filePath(file.section(QLatin1Char(':'), 0, 0)),
                        QByteArray(file.section(QLatin1Char(':'), 1).toInt(), 'x')));
    }
    SessionRecord record(RecordTarget::DailyFiles, dir.path(),
                         {.clock = [] { return at(QDate(2026, 12, 7), QTime(8, 0)); }, .keepBytes = 1000});
    record.start();
    QStringList found;
    for (const QFileInfo& file : QDir(dir.path()).entryInfoList(QDir::Files, QDir::Name))
      found.append(QStringLiteral("%1:%2").arg(file.fileName()).arg(file.size()));
    QCOMPARE(found.join(QLatin1Char(' ')), remaining);
  }

  // A full disk: the record says so once, with the reason, and stops.
  void failureToldOnce() {
    SessionRecord record(RecordTarget::OneFile, QStringLiteral("/dev/full"));
    QSignalSpy failures(&record, &SessionRecord::failed);
    record.start();
    for (int i = 0; i < 3; ++i)
      record.record(RecordDirection::Sent, QStringLiteral("1"), "Atualizar");
    QCOMPARE(failures.count(), 1);
    const QString message = describeRecordFailure(failures[0][0].value<RecordFailure>());
    for (const QString& part : {QStringLiteral("/dev/full"), QString::fromLocal8Bit(std::strerror(ENOSPC)),
                                QStringLiteral("continua sem registro")})
      QVERIFY_CONTAINS(message, part);
    QVERIFY(!record.isRecording());
  }

  // What the engine writes is recorded as sent, what it reads as received.
  void engineRecordsBothWays() {
    QTemporaryDir dir;
    PtyEngine t;
    t.engine.recordSession(new SessionRecord(RecordTarget::OneFile, dir.filePath(QStringLiteral("r.log"))));
    QCOMPARE(t.engine.sendAtualizarCommand(), OperationStart::Started);
    QVERIFY(t.waitIdle());
    QVERIFY(t.answerAndPoll("OK\r\n"));
    const QList<QByteArray> lines = linesOf(dir.filePath(QStringLiteral("r.log")));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].split('\t').mid(1, 1) + lines[0].split('\t').mid(3), (QList<QByteArray>{"enviado", "Atualizar"}));
    QCOMPARE(lines[1].split('\t').mid(1, 1) + lines[1].split('\t').mid(3), (QList<QByteArray>{"recebido", "OK\\r\\n"}));

    // A write that fails is not recorded as sent.
    t.controller.hangUp();
    QCOMPARE(t.engine.sendAtualizarCommand(), OperationStart::Started);
    QVERIFY(t.waitIdle());
    QCOMPARE(t.failures.size(), 1);
    QCOMPARE(t.failures[0].error.step(), LinkStep::Write);
    QCOMPARE(linesOf(dir.filePath(QStringLiteral("r.log"))).size(), 2);
  }
};

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
