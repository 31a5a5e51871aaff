// The icon theme files written at build time must be the window icon's own
// drawing, one file per size, each exactly that size.

#include "ui/app_icon.h"

#include <QFileInfo>
#include <QImage>
#include <QtTest>

class TstIconFiles : public QObject {
  Q_OBJECT

 private slots:
  void sizesAreListed();
  void fileMatchesWindowIcon_data();
  void fileMatchesWindowIcon();

 private:
  static QList<int> sizes();
};

QList<int> TstIconFiles::sizes() {
  QList<int> result;
  const QStringList parts = QStringLiteral(ZELQON_ICON_SIZES).split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (const QString& part : parts)
    result.append(part.toInt());
  return result;
}

void TstIconFiles::sizesAreListed() {
  const QList<int> listed = sizes();
  for (const int size : {16, 32, 48, 64, 128, 256})
    QVERIFY2(listed.contains(size), qPrintable(QStringLiteral("size %1 is not rendered").arg(size)));
}

void TstIconFiles::fileMatchesWindowIcon_data() {
  QTest::addColumn<int>("size");
  for (const int size : sizes())
    QTest::addRow("%dx%d", size, size) << size;
}

void TstIconFiles::fileMatchesWindowIcon() {
  QFETCH(int, size);
  const QString path = QStringLiteral(ZELQON_ICON_ROOT "/%1x%1/apps/zelqon.png").arg(size);
  QVERIFY2(QFileInfo::exists(path), qPrintable(path));

  QImage file;
  QVERIFY2(file.load(path, "PNG"), qPrintable(path));
  QCOMPARE(file.size(), QSize(size, size));
  QVERIFY(file.hasAlphaChannel());

  // PNG stores straight alpha: compare both in that form.
  const QImage expected = zelqon::drawAppIcon(size).convertToFormat(QImage::Format_ARGB32);
  QCOMPARE(file.convertToFormat(QImage::Format_ARGB32), expected);
}

QTEST_MAIN(TstIconFiles)
#include "tst_icon_files.moc"
