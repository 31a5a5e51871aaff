#pragma once

// The engine the window and zelqon-cli drive, on a pseudo-terminal that
// plays the controller.

#include "engine/controller_engine.h"
#include "pty_peer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

// An engine whose port `number` is a fresh pseudo-terminal, with what it said:
// the monitor text as the window would show it, failures and progress.
struct PtyEngine {
  explicit PtyEngine(int number = 1) : engine(ptyCatalog({{number, controller.slavePath()}})) {
    using zelqon::ControllerEngine;
    engine.setPortScan([ports = engine.ports().devices()] { return ports.values(); });
    QObject::connect(&engine, &ControllerEngine::received, [this](const QString& text) { monitor += text; });
    QObject::connect(&engine, &ControllerEngine::echoed, [this](const QString& text) { monitor += text; });
    QObject::connect(&engine, &ControllerEngine::failed, [this](const auto& failure) { failures.append(failure); });
    QObject::connect(&engine, &ControllerEngine::progress, [this](const auto& step) { steps.append(step); });
  }
  // Runs the event loop until the running sequence has ended.
  [[nodiscard]] bool waitIdle(int waitMs = 15000) const {
    const QDeadlineTimer deadline(waitMs);
    while (engine.isBusy() && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !engine.isBusy();
  }
  PtyPeer controller;
  zelqon::ControllerEngine engine;
  QString monitor;
  QList<zelqon::OperationFailure> failures;
  QList<zelqon::SequenceProgress> steps;
};
