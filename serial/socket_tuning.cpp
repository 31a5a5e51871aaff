#include "serial/socket_tuning.h"

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

#ifdef Q_OS_WIN
// TCP_INFO_v0 comes with Windows 10 1703.
#if !defined(NTDDI_VERSION) || NTDDI_VERSION < 0x0A000003
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000003
#endif
// winsock2.h first: the others build on it.
#include <winsock2.h>

#include <mstcpip.h>
#include <ws2tcpip.h>
#endif

#include <utility>

namespace zelqon {

#ifdef Q_OS_LINUX

void tuneSiteLink(qintptr socket) {
  const int fd = int(socket);
  for (const auto& [option, value] : {std::pair{TCP_KEEPIDLE, kKeepAliveIdleSeconds},
                                      {TCP_KEEPINTVL, kKeepAliveIntervalSeconds},
                                      {TCP_KEEPCNT, kKeepAliveProbes}})
    ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value);
  const unsigned limitMs = kUnacknowledgedLimitSeconds * 1000U;
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &limitMs, sizeof limitMs);
}

void askForQuickAcknowledgements(qintptr socket) {
  const int one = 1;
  ::setsockopt(int(socket), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

SentBytes sentBytes(qintptr socket, qint64 /*handedOver*/) {
  int unacknowledged = 0;  // unsent and unacknowledged bytes alike
  if (::ioctl(int(socket), SIOCOUTQ, &unacknowledged) != 0)
    return SentBytes::Outstanding;
  return unacknowledged == 0 ? SentBytes::Acknowledged : SentBytes::Outstanding;
}

#elif defined(Q_OS_WIN)

namespace {
// Newer than MinGW's headers: ws2ipdef.h of Windows 10's SDK.
constexpr int kTcpMaxRetransmissionSeconds = 5;  // TCP_MAXRT
constexpr int kTcpKeepAliveCount = 16;           // TCP_KEEPCNT, Windows 10 1703
}  // namespace

void tuneSiteLink(qintptr socket) {
  const auto handle = SOCKET(socket);
  tcp_keepalive keepAlive{1, kKeepAliveIdleSeconds * 1000UL, kKeepAliveIntervalSeconds * 1000UL};
  DWORD returned = 0;
  ::WSAIoctl(handle, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned, nullptr, nullptr);
  // Older systems keep their own count (10 probes) and refuse these quietly.
  const DWORD probes = kKeepAliveProbes;
  ::setsockopt(handle, IPPROTO_TCP, kTcpKeepAliveCount, reinterpret_cast<const char*>(&probes), sizeof probes);
  const DWORD limit = kUnacknowledgedLimitSeconds;
  ::setsockopt(handle, IPPROTO_TCP, kTcpMaxRetransmissionSeconds, reinterpret_cast<const char*>(&limit), sizeof limit);
}

void askForQuickAcknowledgements(qintptr socket) {
  // Windows keeps this for the connection's life: one acknowledgement a segment.
  TCP_ACK_FREQUENCY_PARAMETERS frequency{1};
  DWORD returned = 0;
  ::WSAIoctl(SOCKET(socket), SIO_TCP_SET_ACK_FREQUENCY, &frequency, sizeof frequency, nullptr, 0, &returned, nullptr,
             nullptr);
}

SentBytes sentBytes(qintptr socket, qint64 handedOver) {
  DWORD version = 0;
  TCP_INFO_v0 info{};
  DWORD returned = 0;
  if (::WSAIoctl(SOCKET(socket), SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &returned, nullptr,
                 nullptr) != 0)
    return SentBytes::HandedOver;  // before Windows 10 1703, and under Wine
  // What is still queued in the system is neither out nor in flight.
  return info.BytesOut >= ULONG64(handedOver) && info.BytesInFlight == 0 ? SentBytes::Acknowledged
                                                                         : SentBytes::Outstanding;
}

#else

void tuneSiteLink(qintptr /*socket*/) {}
void askForQuickAcknowledgements(qintptr /*socket*/) {}
SentBytes sentBytes(qintptr /*socket*/, qint64 /*handedOver*/) { return SentBytes::HandedOver; }

#endif

}  // namespace zelqon
