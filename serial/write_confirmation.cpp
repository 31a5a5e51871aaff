#include "serial/write_confirmation.h"

#include "protocol/line_settings.h"
#include "protocol/overloaded.h"

namespace zelqon {

std::chrono::nanoseconds WriteConfirmation::lineTime(qint64 bytes) {
  return std::chrono::nanoseconds(bytes * kLineBitsPerByte * 1'000'000'000LL / kLineBitRate);
}

void WriteConfirmation::begin(Clock::time_point now, qint64 lineBytes, std::chrono::milliseconds bound,
                              AwaitedConfirmation awaited) {
  m_state = State::AwaitingServer;
  m_awaited = awaited;
  m_lineBytes = lineBytes;
  m_until = now + bound;
}

WriteConfirmation::Outcome WriteConfirmation::check(Clock::time_point now, const ServerProgress& server) {
  switch (m_state) {
    case State::Idle:
      return Outcome::Pending;
    case State::AwaitingServer: {
      const bool confirmed =
          std::visit(Overloaded{[&](const MarkAnswered& awaited) { return server.marksAnswered >= awaited.mark; },
                                [&](const EveryByteAcknowledged&) { return server.allAcknowledged(); }},
                     m_awaited);
      if (!confirmed) {
        if (now < m_until)
          return Outcome::Pending;
        m_state = State::Idle;
        return Outcome::NotConfirmed;
      }
      // The line starts sending once the server has the bytes, not before.
      m_state = State::OnTheLine;
      m_until = now + lineTime(m_lineBytes);
      [[fallthrough]];
    }
    case State::OnTheLine:
      if (now < m_until)
        return Outcome::Pending;
      m_state = State::Idle;
      return Outcome::Drained;
  }
  return Outcome::Pending;
}

}  // namespace zelqon
