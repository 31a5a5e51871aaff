#include "cli/console.h"

#include <QStringList>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zelqon::cli {

void prepareConsole() {
#ifdef Q_OS_WIN
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
#endif
}

void writeOut(const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
  std::fflush(stdout);
}

QString oneLine(const QString& text) {
  QStringList parts;
  for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty())
      parts.append(trimmed);
  }
  return parts.join(QLatin1Char(' '));
}

void printNotice(const QString& text) {
  const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
  std::fflush(stderr);
}

void printError(const QString& text) { printNotice(QStringLiteral("zelqon-cli: ") + text); }

bool standardInputIsTerminal() {
#ifdef Q_OS_WIN
  return _isatty(_fileno(stdin)) != 0;
#else
  return ::isatty(STDIN_FILENO) != 0;
#endif
}

QString askLine(const QString& prompt) {
  const QByteArray bytes = prompt.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
  std::fflush(stderr);
  char line[256] = {};
  return std::fgets(line, sizeof line, stdin) ? QString::fromUtf8(line).trimmed() : QString();
}

}  // namespace zelqon::cli
