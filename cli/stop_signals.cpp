#include "cli/stop_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#elif defined(Q_OS_WIN)
#include <QMetaObject>

#include <windows.h>

#include <atomic>
#endif

namespace zelqon::cli {

#ifdef Q_OS_UNIX

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void onStopSignal(int /*signal*/) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

void setHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (::pipe(g_pipe) != 0)
    return;  // no pipe: the signals keep their default, immediate effect
  for (const int fd : g_pipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::onReadable);
  setHandler(SIGINT, onStopSignal);
  setHandler(SIGTERM, onStopSignal);
}

StopSignals::~StopSignals() {
  if (!m_notifier)
    return;
  setHandler(SIGINT, SIG_DFL);
  setHandler(SIGTERM, SIG_DFL);
  delete m_notifier;
  m_notifier = nullptr;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::onReadable() {
  char bytes[16];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  emit stopRequested();
}

#elif defined(Q_OS_WIN)

namespace {

std::atomic<StopSignals*> g_listener{nullptr};

// Called by Windows on a thread of its own.
BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;  // closing the console or logging off: the default, an end at once
  if (StopSignals* listener = g_listener.load())
    QMetaObject::invokeMethod(listener, &StopSignals::stopRequested, Qt::QueuedConnection);
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  g_listener = this;
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  g_listener = nullptr;
}

void StopSignals::onReadable() {}

#else  // Ctrl+C keeps its default effect

StopSignals::StopSignals(QObject* parent) : QObject(parent) {}
StopSignals::~StopSignals() = default;
void StopSignals::onReadable() {}

#endif

}  // namespace zelqon::cli
