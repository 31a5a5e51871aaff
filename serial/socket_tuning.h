#pragma once

// The system's TCP settings for a link to a repeater site, and what the
// system tells of the bytes written on it. The only place that speaks to the
// socket below Qt, once for each system the program is built for.

#include <QtGlobal>

namespace zelqon {

// An idle connection is probed after 5 s, every 2 s, and given up after 4
// probes unanswered (13 s); data written and not acknowledged for 10 s ends
// the connection too. Together they notice a silent link within 15 s.
inline constexpr int kKeepAliveIdleSeconds = 5;
inline constexpr int kKeepAliveIntervalSeconds = 2;
inline constexpr int kKeepAliveProbes = 4;
inline constexpr int kUnacknowledgedLimitSeconds = 10;

// Keepalive timings and the limit on unacknowledged data, on a connected
// socket. Low delay and keepalive itself are Qt's options.
void tuneSiteLink(qintptr socket);

// Asks that the server's bytes be acknowledged at once, not delayed: its
// confirmations follow one another across round trips. Linux forgets the
// wish after a while, so it is asked again after every read.
void askForQuickAcknowledgements(qintptr socket);

// What the system shows of the bytes handed to it so far (`handedOver`,
// counted since the connection opened).
enum class SentBytes {
  Acknowledged,  // every one acknowledged by the server's system
  Outstanding,   // some still unsent or unacknowledged
  HandedOver,    // the system shows no acknowledgements: handed over is all that is known
};
[[nodiscard]] SentBytes sentBytes(qintptr socket, qint64 handedOver);

}  // namespace zelqon
