#pragma once

#include "protocol/port_address.h"
#include "protocol/radio_program.h"
#include "protocol/site_profile.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace zelqon::cli {

enum class Command { Ports, Send, Factory, Monitor, Apply, Check };

// Where the session record goes: the daily files of the per-user folder, one
// given file, or nowhere.
enum class RecordMode { DailyFiles, OneFile, Off };

// The port to use: a number of the window's list, a device given by path,
// or a network serial server.
struct PortChoice {
  qint16 number = 1;   // the window's link starts at port 1
  QString devicePath;  // when set, the one device of the run, taken as number 1
  std::optional<NetworkAddress> network;
};

// What one run of the program is asked to do, checked in full.
struct Request {
  Command command = Command::Ports;
  int radio = 0;         // send: 1..4
  RadioProgram program;  // send: the window's start-up values unless told otherwise
  PortChoice port;
  bool dryRun = false;
  std::optional<int> seconds;  // monitor: none runs until stopped
  SiteProfile profile;         // apply, check: the file as read
  RecordMode record = RecordMode::DailyFiles;
  QString recordFile;  // RecordMode::OneFile
};

// Input refused before anything is opened; the text is the one line shown.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
  [[nodiscard]] const QString& text() const { return m_text; }

 private:
  QString m_text;
};

// The options and commands of zelqon-cli on QCommandLineParser.
class CommandLine {
 public:
  CommandLine();

  // Reads `arguments` (the program's name first). --help and --version print
  // and end the program here; anything else not understood or out of range
  // raises UsageError.
  [[nodiscard]] Request parse(const QStringList& arguments);

 private:
  [[nodiscard]] Request readRequest() const;
  void requireOnly(Command command, const QList<const QCommandLineOption*>& allowed) const;
  void readProgram(Request& request) const;
  void readProfile(Request& request, const QStringList& positional) const;
  void readRecord(Request& request) const;

  QCommandLineParser m_parser;
  QCommandLineOption m_help;
  QCommandLineOption m_version;
  QCommandLineOption m_port;
  QCommandLineOption m_cor;
  QCommandLineOption m_ptt;
  QCommandLineOption m_debounce;
  QCommandLineOption m_hang;
  QCommandLineOption m_seconds;
  QCommandLineOption m_dryRun;
  QCommandLineOption m_noRecord;
  QCommandLineOption m_record;
};

// A delay as the controller takes it: one of the 101 list entries ("00100"),
// or its milliseconds ("100"). Empty when it is neither.
[[nodiscard]] std::optional<DelayTime> delayEntry(const QString& text);

// The --port text: digits for a number of the window's list, rfc2217:// or
// tcp:// for a network serial server, another text with '/' for a device
// path. Empty when it is none of them.
[[nodiscard]] std::optional<PortChoice> portChoice(const QString& text);

}  // namespace zelqon::cli
