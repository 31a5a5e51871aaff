#pragma once

#include "cli/exit_status.h"
#include "protocol/port_choice.h"
#include "protocol/radio_program.h"
#include "protocol/site_profile.h"
#include "serial/network_module.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace zelqon::cli {

// What each command asks for, read and checked in full.
struct ListPorts {};
struct CheckProfile {};
struct SendRadio {
  int radio = 1;
  RadioProgram program;  // the window's start-up values unless told otherwise
};
struct SendFactory {};
struct ApplyProfile {
  SiteProfile profile;
  QString path;  // the files the profile names are read from its folder
};
struct Monitor {
  std::optional<int> seconds;  // none runs until stopped
};
struct SendAtualizar {};
struct TrustServer {
  NetworkAddress address;              // a TLS form
  std::optional<QString> fingerprint;  // --fingerprint: kept when it is the server's, without asking
};
using Work =
    std::variant<ListPorts, CheckProfile, SendRadio, SendFactory, ApplyProfile, Monitor, SendAtualizar, TrustServer>;

// Where the session record goes: the daily files of the per-user folder, one
// given file, or nowhere.
enum class RecordMode { DailyFiles, OneFile, Off };

// Whether the messages go to the controller or are only shown.
enum class Delivery { Write, DryRun };

// One run of the program. `port`, `record` and `delivery` keep their
// defaults for a command that takes no such option.
struct Request {
  Work work;
  PortChoice port;  // the list's port 1: the window's link starts there
  RecordMode record = RecordMode::DailyFiles;
  QString recordFile;  // RecordMode::OneFile
  Delivery delivery = Delivery::Write;
  SharedTlsCredentials tls;  // read and checked: --server-cert, --client-cert, --client-key
};

// A text that ends the run at once with status 0: --help, --version.
struct ShownText {
  QString text;
};
// Input refused before anything is opened; the text is the one line shown.
struct Refusal {
  QString text;
  ExitStatus status = ExitStatus::Usage;  // AccessDenied: a key file refused
};
using ParseResult = std::variant<Request, ShownText, Refusal>;

// Reads the program's arguments (its name first).
[[nodiscard]] ParseResult parseCommandLine(const QStringList& arguments);

}  // namespace zelqon::cli
