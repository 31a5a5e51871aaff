#include "cli/controller_run.h"

#include "cli/console.h"
#include "cli/stop_signals.h"
#include "engine/controller_engine.h"
#include "engine/operator_text.h"
#include "engine/record_text.h"
#include "protocol/overloaded.h"
#include "protocol/programming_message.h"
#include "record/session_record.h"

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
  engine.closePort();
  return status;
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

QString linesOf(const std::array<RadioProgram, kRadioCount>& radios) {
  QString lines;
  for (int radio = 1; radio <= kRadioCount; ++radio)
    lines += buildProgrammingMessage(radio, radios.at(std::size_t(radio - 1))) + QLatin1Char('\n');
  return lines;
}

// The messages a request writes, one a line, as --dry-run shows them; none
// for a command that writes none.
QString messagesOf(const Work& work) {
  return std::visit(
      Overloaded{
          [](const SendRadio& send) { return buildProgrammingMessage(send.radio, send.program) + QLatin1Char('\n'); },
          [](const ApplyProfile& apply) { return linesOf(apply.profile.radios); },
          [](const SendFactory&) {
            QString lines;
            for (int radio = 1; radio <= kRadioCount; ++radio)
              lines += factoryMessage(radio) + QLatin1Char('\n');
            return lines;
          },
          [](const SendAtualizar&) { return kAtualizarCommand + QLatin1Char('\n'); },
          [](const ListPorts&) { return QString(); },
          [](const CheckProfile&) { return QString(); },
          [](const Monitor&) { return QString(); },
      },
      work);
}

ExitStatus runOnController(const Request& request) {
  ControllerEngine engine(catalogFor(request.port));
  // A run ends with its operation: a lost port is not opened again.
  engine.setAfterLoss(ControllerEngine::AfterLoss::Stop);
  (void)engine.changePort(request.port);
  // A network port says what it is waiting for, which may take seconds.
  QObject::connect(&engine, &ControllerEngine::portStateChanged, [&engine](PortState state) {
    if (const QString text = describeConnecting(state, engine.portName()); !text.isEmpty())
      printNotice(text);
  });
  if (request.record != RecordMode::Off) {
    // A record that cannot be written is told once; the run goes on.
    QObject::connect(&engine, &ControllerEngine::recordFailed, [](const RecordFailure& failure) {
      printError(QStringLiteral("aviso: ") + oneLine(describeRecordFailure(failure)));
    });
    const bool oneFile = request.record == RecordMode::OneFile;
    engine.recordSession(new SessionRecord(oneFile ? RecordTarget::OneFile : RecordTarget::DailyFiles,
                                           oneFile ? request.recordFile : sessionRecordFolder()));
  }
  if (const auto* monitor = std::get_if<Monitor>(&request.work))
    return runMonitor(engine, *monitor);
  using Operation = std::function<OperationStart()>;
  const auto refused = [] { return OperationStart::RefusedArgument; };  // no operation on the controller
  const Operation operation = std::visit(
      Overloaded{
          [&engine](const SendRadio& send) -> Operation {
            return [&engine, &send] { return engine.sendRadioProgram(send.radio, send.program); };
          },
          [&engine](const ApplyProfile& apply) -> Operation {
            return [&engine, &apply] { return engine.sendAllRadioPrograms(apply.profile.radios); };
          },
          [&engine](const SendFactory&) -> Operation { return [&engine] { return engine.sendFactoryProgramming(); }; },
          [&engine](const SendAtualizar&) -> Operation { return [&engine] { return engine.sendAtualizarCommand(); }; },
          [&refused](const ListPorts&) -> Operation { return refused; },
          [&refused](const CheckProfile&) -> Operation { return refused; },
          [&refused](const Monitor&) -> Operation { return refused; },
      },
      request.work);
  ExitStatus status = ExitStatus::Ok;
  runOperation(engine, operation, status);
  engine.closePort();
  return status;
}

}  // namespace

ExitStatus runRequest(const Request& request) {
  if (std::holds_alternative<ListPorts>(request.work))
    return listPorts();
  if (std::holds_alternative<CheckProfile>(request.work))
    return ExitStatus::Ok;  // read in full, nothing to say
  if (request.delivery == Delivery::DryRun) {
    writeOut(messagesOf(request.work).toLatin1());
    return ExitStatus::Ok;
  }
  return runOnController(request);
}

}  // namespace zelqon::cli
