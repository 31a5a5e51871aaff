#include "cli/controller_run.h"

#include "cli/console.h"
#include "cli/stop_signals.h"
#include "engine/controller_engine.h"
#include "engine/operator_text.h"
#include "engine/record_text.h"
#include "engine/tls_text.h"
#include "protocol/overloaded.h"
#include "protocol/programming_message.h"
#include "record/session_record.h"
#include "serial/network_support.h"

#include <QCoreApplication>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

namespace zelqon::cli {

namespace {

// Only a list number needs the machine's numbering: a device path or a
// network address never scans the ports.
PortCatalog catalogFor(const PortChoice& port) { return port.listNumber() ? PortCatalog::fromSystem() : PortCatalog(); }

// Runs one operation of the engine to its end, each step told on stderr;
// true when it went through. Ctrl+C ends a sequence once the command in
// progress is written.
bool runOperation(ControllerEngine& engine, const std::function<OperationStart()>& operation, ExitStatus& status) {
  QList<OperationFailure> failures;
  const QMetaObject::Connection steps =
      QObject::connect(&engine, &ControllerEngine::progress, [](const SequenceProgress& step) {
        if (step.operation != Operation::OpenPort)
          printNotice(describeProgress(step, step.nextIn));
      });
  // Told as they happen: a send of all radios goes on past a failing one.
  const QMetaObject::Connection failed =
      QObject::connect(&engine, &ControllerEngine::failed, [&failures](const OperationFailure& failure) {
        printError(oneLine(describeFailure(failure)));
        failures.append(failure);
      });
  const QMetaObject::Connection end = QObject::connect(&engine, &ControllerEngine::busyChanged, [](bool busy) {
    if (!busy)
      QCoreApplication::exit(0);
  });
  StopSignals stop;
  QObject::connect(&stop, &StopSignals::stopRequested, &engine, [&engine] { engine.interrupt(); });
  OperationStart started = OperationStart::Started;
  QTimer::singleShot(0, &engine, [&] {
    started = operation();
    if (started != OperationStart::Started)
      QCoreApplication::exit(0);
  });
  QCoreApplication::exec();
  QObject::disconnect(steps);
  QObject::disconnect(failed);
  QObject::disconnect(end);
  if (started != OperationStart::Started) {
    // The command line checks its input first; this is a slip of its own.
    printError(QStringLiteral("a operação foi recusada pelo programa."));
    status = ExitStatus::Usage;
    return false;
  }
  if (failures.isEmpty())
    return true;
  status = exitStatusOf(failures.first().error.fault());
  return false;
}

ExitStatus runMonitor(ControllerEngine& engine, const Monitor& monitor) {
  ExitStatus status = ExitStatus::Ok;
  if (!runOperation(
          engine, [&engine] { return engine.openPort(); }, status))
    return status;
  QObject::connect(&engine, &ControllerEngine::rawReceived, &writeOut);
  printNotice(QStringLiteral("Monitorando a porta %1; Ctrl+C encerra.").arg(engine.portName()));

  QObject::connect(&engine, &ControllerEngine::connectionLost, [&engine, &status](const LinkError& error) {
    printError(oneLine(describeConnectionLost(error, engine.afterLoss())) + QStringLiteral(" Monitor encerrado."));
    status = ExitStatus::ConnectionLost;
    QCoreApplication::exit(0);
  });
  // What arrived since the last poll is passed on before the port closes.
  const auto finish = [&engine] {
    engine.pollReceive();
    QCoreApplication::exit(0);
  };
  StopSignals stop;
  QObject::connect(&stop, &StopSignals::stopRequested, &engine, finish);
  if (monitor.seconds)
    QTimer::singleShot(std::chrono::seconds(*monitor.seconds), Qt::PreciseTimer, &engine, finish);
  engine.startPolling();
  QCoreApplication::exec();
  return status;  // the session closes the port
}

ExitStatus listPorts() {
  const PortCatalog catalog = PortCatalog::fromSystem();
  const QStringList entries = catalog.listEntries();
  if (entries.isEmpty())
    printNotice(QStringLiteral("Nenhuma porta serial encontrada."));
  QString lines;
  for (const QString& entry : entries) {
    const auto device = catalog.device(entry.toInt());
    lines += QStringLiteral("%1\t%2\t%3\n").arg(entry, device->systemLocation, device->description);
  }
  writeOut(lines.toUtf8());
  return ExitStatus::Ok;
}

QString linesOf(const QStringList& messages) { return messages.join(QLatin1Char('\n')) + QLatin1Char('\n'); }

QStringList messagesOf(const std::array<RadioProgram, kRadioCount>& radios) {
  QStringList messages;
  for (int radio = 1; radio <= kRadioCount; ++radio)
    messages.append(buildProgrammingMessage(radio, radios.at(std::size_t(radio - 1))));
  return messages;
}

// The engine of one run on the controller: its port, its record, and the
// connection's progress told on stderr.
class ControllerSession {
 public:
  explicit ControllerSession(const Request& request) : m_engine(catalogFor(request.port)) {
    // A run ends with its operation: a lost port is not opened again.
    m_engine.setAfterLoss(ControllerEngine::AfterLoss::Stop);
    m_engine.setTlsCredentials(request.tls);
    // A port that cannot even be chosen ends the run before anything is
    // written: the engine would otherwise go on with the port it had.
    const QMetaObject::Connection refused = QObject::connect(
        &m_engine, &ControllerEngine::failed, [this](const OperationFailure& failure) { m_portRefused = failure; });
    (void)m_engine.changePort(request.port);
    QObject::disconnect(refused);
    // A network port says what it is waiting for, which may take seconds.
    QObject::connect(&m_engine, &ControllerEngine::portStateChanged, [this](PortState state) {
      if (const QString text = describeConnecting(state, m_engine.portName()); !text.isEmpty())
        printNotice(text);
    });
    if (request.record != RecordMode::Off) {
      // A record that cannot be written is told once; the run goes on.
      QObject::connect(&m_engine, &ControllerEngine::recordFailed, [](const RecordFailure& failure) {
        printError(QStringLiteral("aviso: ") + oneLine(describeRecordFailure(failure)));
      });
      const bool oneFile = request.record == RecordMode::OneFile;
      m_engine.recordSession(new SessionRecord(oneFile ? RecordTarget::OneFile : RecordTarget::DailyFiles,
                                               oneFile ? request.recordFile : sessionRecordFolder()));
    }
  }
  ControllerSession(const ControllerSession&) = delete;
  ControllerSession& operator=(const ControllerSession&) = delete;
  ~ControllerSession() { m_engine.closePort(); }

  [[nodiscard]] ControllerEngine& engine() { return m_engine; }
  // Tells why the port asked for could not be chosen, and the run's status.
  [[nodiscard]] std::optional<ExitStatus> tellPortRefused() const {
    if (!m_portRefused)
      return std::nullopt;
    printError(oneLine(describeFailure(*m_portRefused)));
    return exitStatusOf(m_portRefused->error.fault());
  }

 private:
  ControllerEngine m_engine;
  std::optional<OperationFailure> m_portRefused;
};

// Writes `messages` through the engine's `start`, or with --dry-run only
// prints them, one a line.
ExitStatus deliver(const Request& request, const QStringList& messages,
                   const std::function<OperationStart(ControllerEngine&)>& start) {
  if (request.delivery == Delivery::DryRun) {
    writeOut(linesOf(messages).toLatin1());
    return ExitStatus::Ok;
  }
  ControllerSession session(request);
  if (const auto refused = session.tellPortRefused())
    return *refused;
  ExitStatus status = ExitStatus::Ok;
  (void)runOperation(
      session.engine(), [&] { return start(session.engine()); }, status);
  return status;
}

// Shows the certificate a TLS server presents and keeps it for this user once
// the operator has confirmed it: "s" typed on a terminal, or the fingerprint
// given beforehand.
ExitStatus trustServer(const TrustServer& trust) {
  const NetworkAddress& address = trust.address;
  const auto loaded = networkModule();
  if (const auto* reason = std::get_if<QString>(&loaded)) {
    printError(describeNetworkSupportMissing() + QLatin1Char(' ') + *reason);
    return ExitStatus::IoFailure;
  }
  const NetworkModule& module = *std::get<const NetworkModule*>(loaded);
  const auto shown = module.fetchServerCertificate(address, std::chrono::seconds(10));
  if (const auto* reason = std::get_if<QString>(&shown)) {
    printError(QStringLiteral("o servidor %1 não mostrou um certificado: %2").arg(address.text(), *reason));
    return ExitStatus::IoFailure;
  }
  const CertificateFacts& facts = std::get<CertificateFacts>(shown);
  writeOut((describeCertificateFacts(facts) + QLatin1Char('\n')).toUtf8());
  if (trust.fingerprint) {
    if (*trust.fingerprint != facts.fingerprint) {
      printError(
          QStringLiteral("a impressão digital do servidor não é %1; nada foi guardado.").arg(*trust.fingerprint));
      return ExitStatus::ServerNotProven;
    }
  } else if (!standardInputIsTerminal()) {
    printError(QStringLiteral("sem terminal para confirmar e sem --fingerprint; nada foi guardado."));
    return ExitStatus::ServerNotProven;
  } else if (askLine(QStringLiteral("Confira a impressão digital com a do servidor. Digite s para confiar nele e "
                                    "guardar o certificado: ")) != QLatin1String("s")) {
    printNotice(QStringLiteral("Nada foi guardado."));
    return ExitStatus::ServerNotProven;
  }
  const auto kept = module.keepServerCertificate(trustedServersFolder(), address.host, address.port, facts.pem);
  if (const auto* failure = std::get_if<KeepFailure>(&kept)) {
    printError(describeKeepFailure(*failure));
    return ExitStatus::IoFailure;
  }
  printNotice(QStringLiteral("Certificado guardado em %1.").arg(std::get<QString>(kept)));
  return ExitStatus::Ok;
}

}  // namespace

ExitStatus runRequest(const Request& request) {
  return std::visit(
      Overloaded{
          [](const ListPorts&) { return listPorts(); },
          [](const CheckProfile&) { return ExitStatus::Ok; },  // read in full, nothing to say
          [&request](const Monitor& monitor) {
            ControllerSession session(request);
            if (const auto refused = session.tellPortRefused())
              return *refused;
            return runMonitor(session.engine(), monitor);
          },
          [&request](const SendRadio& send) {
            return deliver(
                request, {buildProgrammingMessage(send.radio, send.program)},
                [&send](ControllerEngine& engine) { return engine.sendRadioProgram(send.radio, send.program); });
          },
          [&request](const ApplyProfile& apply) {
            return deliver(request, messagesOf(apply.profile.radios), [&apply](ControllerEngine& engine) {
              return engine.sendAllRadioPrograms(apply.profile.radios);
            });
          },
          [&request](const SendFactory&) {
            QStringList messages;
            for (int radio = 1; radio <= kRadioCount; ++radio)
              messages.append(factoryMessage(radio));
            return deliver(request, messages, [](ControllerEngine& engine) { return engine.sendFactoryProgramming(); });
          },
          [](const TrustServer& trust) { return trustServer(trust); },
          [&request](const SendAtualizar&) {
            return deliver(request, {kAtualizarCommand},
                           [](ControllerEngine& engine) { return engine.sendAtualizarCommand(); });
          },
      },
      request.work);
}

}  // namespace zelqon::cli
