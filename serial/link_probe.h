#pragma once

#include "serial/write_confirmation.h"

#include <QtGlobal>

#include <chrono>

namespace zelqon {

// The idle probe of an open rfc2217 link whose server answers TIMING-MARK:
// after `idle` with no answer the link is asked for one, and it counts as
// silent once a mark has waited `silentAfter` for its answer. A drain in
// progress has a bound of its own: no mark is asked meanwhile, and the
// drain's mark is held against the link only once the drain has ended.
// The time and the marks still unanswered are handed to each call.
//
//   Off --start--> Listening ---idle long enough, no drain: AskForAnswer---> AwaitingAnswer
//                   ^    |                                                     ^    |    |
//                   |    +----a drain's mark still unanswered once it ended----+    |    |
//                   +----------------------every mark answered----------------------+    |
//                                                                                        v
//                                   unanswered for silentAfter, no drain: LinkSilent, Off
//
//   stop: Off from any state.
class LinkProbe {
 public:
  using Clock = std::chrono::steady_clock;
  enum class State { Off, Listening, AwaitingAnswer };
  enum class Step { Wait, AskForAnswer, LinkSilent };

  explicit LinkProbe(std::chrono::milliseconds idle, std::chrono::milliseconds silentAfter)
      : m_idle(idle), m_silentAfter(silentAfter) {}

  // The link counts as answered when it starts.
  void start(Clock::time_point now);
  void stop() { m_state = State::Off; }
  // The server answered a mark, the probe's or a drain's.
  void answered(Clock::time_point now) { m_lastAnswer = now; }
  // What to do now, with `marksUnanswered` asked and not answered yet.
  [[nodiscard]] Step check(Clock::time_point now, quint64 marksUnanswered, WriteConfirmation::State drain);
  [[nodiscard]] State state() const { return m_state; }

 private:
  std::chrono::milliseconds m_idle;
  std::chrono::milliseconds m_silentAfter;
  State m_state = State::Off;
  Clock::time_point m_lastAnswer;
  Clock::time_point m_awaitedSince;  // AwaitingAnswer only
};

}  // namespace zelqon
