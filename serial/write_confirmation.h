#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>
#include <variant>

namespace zelqon {

// What confirms that the server holds everything written so far.
struct MarkAnswered {
  quint64 mark = 0;  // the TIMING-MARK answered, counted from the connection's first
};
struct EveryByteAcknowledged {};  // the server's system acknowledged every byte handed over
using AwaitedConfirmation = std::variant<MarkAnswered, EveryByteAcknowledged>;

// A network port's drain: what was written counts as out once the server has
// confirmed it within a bound, and then the controller's line has had the
// time to send it at 19200 bit/s. The time and what the server has shown are
// handed to each call; nothing here reads a socket or a clock.
//
//   Idle --begin--> AwaitingServer --confirmed--> OnTheLine --line time passed--> Idle: Drained
//                         |
//                         +-------------bound passed----------------------------> Idle: NotConfirmed
//
//   begin: starts over from any state; cancel: Idle from any state.
class WriteConfirmation {
 public:
  using Clock = std::chrono::steady_clock;
  enum class State { Idle, AwaitingServer, OnTheLine };
  // Pending: nothing to tell yet (nor ever, when idle).
  enum class Outcome { Pending, Drained, NotConfirmed };
  // What the server has shown so far; allAcknowledged is asked only when
  // that is what confirms.
  struct ServerProgress {
    quint64 marksAnswered = 0;
    std::function<bool()> allAcknowledged;
  };

  // `lineBytes`: what the line still has to send once the server has it.
  void begin(Clock::time_point now, qint64 lineBytes, std::chrono::milliseconds bound, AwaitedConfirmation awaited);
  void cancel() { m_state = State::Idle; }
  [[nodiscard]] Outcome check(Clock::time_point now, const ServerProgress& server);
  [[nodiscard]] State state() const { return m_state; }

  // The time `bytes` take on the controller's line.
  [[nodiscard]] static std::chrono::nanoseconds lineTime(qint64 bytes);

 private:
  State m_state = State::Idle;
  AwaitedConfirmation m_awaited;
  qint64 m_lineBytes = 0;
  Clock::time_point m_until;  // AwaitingServer: the bound; OnTheLine: the line has sent it all
};

}  // namespace zelqon
