#include "serial/rfc2217_codec.h"

namespace zelqon {

using namespace telnet;

namespace {

void appendEscaped(QByteArray& out, quint8 byte) {
  out.append(char(byte));
  if (byte == kIac)
    out.append(char(kIac));
}

}  // namespace

bool ComPortNegotiation::allAnswered() const {
  for (const SettingAnswer answer : settings)
    if (answer == SettingAnswer::Waiting)
      return false;
  return true;
}

bool ComPortNegotiation::allConfirmed() const {
  for (const SettingAnswer answer : settings)
    if (answer != SettingAnswer::Confirmed)
      return false;
  return true;
}

Rfc2217Codec::Rfc2217Codec(ComPortLine wanted) : m_wanted(wanted) {}

bool Rfc2217Codec::wantsLocal(quint8 option) { return option == kBinary || option == kComPort; }

bool Rfc2217Codec::wantsRemote(quint8 option) { return option == kBinary; }

QByteArray Rfc2217Codec::start() {
  m_local[kComPort] = Side::WantYes;
  m_local[kBinary] = Side::WantYes;
  m_remote[kBinary] = Side::WantYes;
  QByteArray out;
  for (const auto& [verb, option] : {std::pair{kWill, kComPort}, {kWill, kBinary}, {kDo, kBinary}})
    out.append(char(kIac)).append(char(verb)).append(char(option));
  return out;
}

QByteArray Rfc2217Codec::settingRequests(const ComPortLine& line) {
  QByteArray out;
  for (const ComPortSettingRecord& setting : kComPortSettings) {
    out.append(char(kIac)).append(char(kSb)).append(char(kComPort)).append(char(setting.code));
    const quint32 value = line.*setting.wanted;
    // Network order: the most significant byte first.
    for (qsizetype shift = (setting.size - 1) * 8; shift >= 0; shift -= 8)
      appendEscaped(out, quint8(value >> shift));
    out.append(char(kIac)).append(char(kSe));
  }
  return out;
}

QByteArray Rfc2217Codec::timingMark() {
  ++m_marksAsked;
  QByteArray out;
  out.append(char(kIac)).append(char(kDo)).append(char(kTimingMark));
  return out;
}

QByteArray Rfc2217Codec::takeReplies() { return std::exchange(m_replies, {}); }

void Rfc2217Codec::reply(quint8 verb, quint8 option) {
  m_replies.append(char(kIac)).append(char(verb)).append(char(option));
}

QByteArray Rfc2217Codec::encode(QByteArrayView data) const {
  QByteArray out;
  out.reserve(data.size() + 8);
  const bool binary = m_local[kBinary] == Side::Yes;
  for (const char c : data) {
    appendEscaped(out, quint8(c));
    if (c == '\r' && !binary)
      out.append('\0');
  }
  return out;
}

QByteArray Rfc2217Codec::decode(QByteArrayView bytes) {
  QByteArray data;
  data.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = quint8(c);
    bool again = true;
    while (again) {
      again = false;
      switch (m_state) {
        case State::Data:
          if (byte == kIac) {
            m_state = State::Iac;
            m_afterCr = false;
          } else if (m_afterCr && byte == 0 && m_remote[kBinary] != Side::Yes) {
            // A server not in binary mode sends a bare CR as CR NUL.
            m_afterCr = false;
          } else {
            data.append(c);
            m_afterCr = byte == '\r';
          }
          break;
        case State::Iac:
          if (byte == kIac) {
            data.append(c);
            m_state = State::Data;
          } else if (byte >= kWill) {
            m_verb = byte;
            m_state = State::Command;
          } else if (byte == kSb) {
            m_sub.clear();
            m_state = State::Sub;
          } else {
            // NOP, GA, a stray SE and the like carry nothing for a serial line.
            m_state = State::Data;
          }
          break;
        case State::Command:
          onCommand(m_verb, byte);
          m_state = State::Data;
          break;
        case State::Sub:
        case State::SubIac:
          if (m_state == State::Sub && byte == kIac) {
            m_state = State::SubIac;
          } else if (m_state == State::SubIac && byte == kSe) {
            onSubnegotiation();
            m_sub.clear();
            m_state = State::Data;
          } else if (m_state == State::SubIac && byte != kIac) {
            // IAC and a command inside: the subnegotiation was cut short;
            // drop it and take the command as it stands.
            m_sub.clear();
            m_state = State::Iac;
            again = true;
          } else if (m_sub.size() >= kLongestSubnegotiation) {
            m_sub.clear();
            m_state = State::SubSkip;
          } else {
            m_sub.append(c);
            m_state = State::Sub;
          }
          break;
        case State::SubSkip:
          if (byte == kIac)
            m_state = State::SubSkipIac;
          break;
        case State::SubSkipIac:
          if (byte == kSe) {
            m_state = State::Data;
          } else if (byte == kIac) {
            m_state = State::SubSkip;
          } else {
            m_state = State::Iac;
            again = true;
          }
          break;
      }
    }
  }
  return data;
}

void Rfc2217Codec::onCommand(quint8 verb, quint8 option) {
  // Either answer to a mark asked for is the confirmation; it needs no reply.
  if (option == kTimingMark && (verb == kWill || verb == kWont) && m_marksAnswered < m_marksAsked) {
    ++m_marksAnswered;
    return;
  }
  switch (verb) {
    case kWill:
      if (!wantsRemote(option)) {
        // Refused once: a server that insists gets no further answer.
        if (!std::exchange(m_refusedRemote[option], true))
          reply(kDont, option);
      } else if (m_remote[option] == Side::No) {
        m_remote[option] = Side::Yes;
        reply(kDo, option);
      } else {
        m_remote[option] = Side::Yes;
      }
      break;
    case kWont:
      if (m_remote[option] == Side::Yes)
        reply(kDont, option);
      m_remote[option] = Side::No;
      break;
    case kDo:
      if (!wantsLocal(option)) {
        if (!std::exchange(m_refusedLocal[option], true))
          reply(kWont, option);
        break;
      }
      if (m_local[option] == Side::No)
        reply(kWill, option);
      m_local[option] = Side::Yes;
      if (option == kComPort) {
        m_negotiation.option = OptionAnswer::Accepted;
        if (!std::exchange(m_settingsSent, true))
          m_replies.append(settingRequests(m_wanted));
      }
      break;
    case kDont:
      if (m_local[option] == Side::Yes)
        reply(kWont, option);
      m_local[option] = Side::No;
      if (option == kComPort)
        m_negotiation.option = OptionAnswer::Refused;
      break;
    default:
      break;
  }
}

void Rfc2217Codec::onSubnegotiation() {
  if (m_sub.size() < 2 || quint8(m_sub[0]) != kComPort)
    return;
  const int index = quint8(m_sub[1]) - kServerCodeOffset - 1;
  // Line and modem state notifications and the rest carry nothing this
  // client acts on.
  if (index < 0 || index >= kComPortSettingCount)
    return;
  const QByteArrayView payload = QByteArrayView(m_sub).sliced(2);
  if (payload.size() != kComPortSettings[size_t(index)].size)
    return;
  quint32 value = 0;
  for (const char c : payload)
    value = (value << 8) | quint8(c);
  m_negotiation.answered[size_t(index)] = value;
  m_negotiation.settings[size_t(index)] =
      value == m_wanted.value(ComPortSetting(index)) ? SettingAnswer::Confirmed : SettingAnswer::Changed;
}

}  // namespace zelqon
