#pragma once

// What several test programs share: whole files read and written in one
// call, and a check that names the text it looked in.

#include <QFile>
#include <QTest>

// The file's bytes, or none when it cannot be read.
inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether `bytes` were written whole to the file, made anew.
[[nodiscard]] inline bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Fails showing the whole text when `part` is not in it.
#define QVERIFY_CONTAINS(text, part) QVERIFY2(QString(text).contains(part), qPrintable(QString(text)))
