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
    QObject::connect(&engine, &ControllerEngine::rawReceived, [this](const QByteArray& bytes) { read += bytes; });
  }
  // The controller answers `bytes`, and polls read them with no event loop
  // running in between, as the poll timer's handler does: the line
  // discipline hands them over a moment after the master has them.
  [[nodiscard]] bool answerAndPoll(const QByteArray& bytes, int waitMs = 2000) {
    const qsizetype until = read.size() + bytes.size();
    controller.send(bytes);
    const QDeadlineTimer deadline(waitMs);
    while (read.size() < until && !deadline.hasExpired()) {
      engine.pollReceive();
      if (read.size() < until)
        ::usleep(2000);
    }
    return read.size() == until;
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
  QByteArray read;  // every byte the polls read
  QList<zelqon::OperationFailure> failures;
  QList<zelqon::SequenceProgress> steps;
};
