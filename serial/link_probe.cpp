#include "serial/link_probe.h"

namespace zelqon {

void LinkProbe::start(Clock::time_point now) {
  m_state = State::Listening;
  m_lastAnswer = now;
}

LinkProbe::Step LinkProbe::check(Clock::time_point now, quint64 marksUnanswered, WriteConfirmation::State drain) {
  if (m_state == State::Off)
    return Step::Wait;
  const bool draining = drain != WriteConfirmation::State::Idle;
  if (marksUnanswered == 0) {
    m_state = State::Listening;
    if (draining || now - m_lastAnswer < m_idle)
      return Step::Wait;
    m_state = State::AwaitingAnswer;
    m_awaitedSince = now;
    return Step::AskForAnswer;
  }
  if (draining)
    return Step::Wait;  // the drain's own bound tells
  if (m_state == State::Listening) {
    m_state = State::AwaitingAnswer;
    m_awaitedSince = now;
  }
  if (now - m_awaitedSince < m_silentAfter)
    return Step::Wait;
  m_state = State::Off;
  return Step::LinkSilent;
}

}  // namespace zelqon
