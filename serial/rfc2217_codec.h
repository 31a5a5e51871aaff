#pragma once

#include "protocol/line_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <optional>

namespace zelqon {

// Telnet (RFC 854, 855, 856) with the COM-PORT option (RFC 2217), the client's
// side, with no socket: bytes from the server go in, the serial line's data
// comes out, and what the client must send back collects until taken.
namespace telnet {
inline constexpr quint8 kSe = 240;
inline constexpr quint8 kSb = 250;
inline constexpr quint8 kWill = 251;
inline constexpr quint8 kWont = 252;
inline constexpr quint8 kDo = 253;
inline constexpr quint8 kDont = 254;
inline constexpr quint8 kIac = 255;
inline constexpr quint8 kBinary = 0;
inline constexpr quint8 kTimingMark = 6;  // RFC 860
inline constexpr quint8 kComPort = 44;
// The server answers a client's COM-PORT request with its code plus 100.
inline constexpr quint8 kServerCodeOffset = 100;
}  // namespace telnet

// The line settings a client asks for, in the order of RFC 2217's codes.
enum class ComPortSetting { BaudRate, DataSize, Parity, StopSize, Control };
inline constexpr int kComPortSettingCount = 5;

struct ComPortLine {
  quint32 baudRate = kLineBitRate;
  quint32 dataSize = 8;
  quint32 parity = 1;    // NONE
  quint32 stopSize = 1;  // 1 stop bit
  quint32 control = 1;   // no flow control

  [[nodiscard]] quint32 value(ComPortSetting setting) const;
};

// One line setting as it goes on the wire: the client's request code (the
// server answers with the code plus 100), the size of its value, RFC 2217's
// name, and where the wanted value stands in a ComPortLine.
struct ComPortSettingRecord {
  ComPortSetting setting;
  quint8 code;
  qsizetype size;
  const char* name;
  quint32 ComPortLine::*wanted;
};
inline constexpr std::array<ComPortSettingRecord, kComPortSettingCount> kComPortSettings{{
    {ComPortSetting::BaudRate, 1, 4, "SET-BAUDRATE", &ComPortLine::baudRate},
    {ComPortSetting::DataSize, 2, 1, "SET-DATASIZE", &ComPortLine::dataSize},
    {ComPortSetting::Parity, 3, 1, "SET-PARITY", &ComPortLine::parity},
    {ComPortSetting::StopSize, 4, 1, "SET-STOPSIZE", &ComPortLine::stopSize},
    {ComPortSetting::Control, 5, 1, "SET-CONTROL", &ComPortLine::control},
}};

inline quint32 ComPortLine::value(ComPortSetting setting) const {
  return this->*kComPortSettings[size_t(setting)].wanted;
}

// Where the server stands on the COM-PORT option.
enum class OptionAnswer { Waiting, Accepted, Refused };
// Where the server stands on one line setting.
enum class SettingAnswer { Waiting, Confirmed, Changed };

struct ComPortNegotiation {
  OptionAnswer option = OptionAnswer::Waiting;
  std::array<SettingAnswer, kComPortSettingCount> settings{};
  // The values the server last answered with; empty until it has.
  std::array<std::optional<quint32>, kComPortSettingCount> answered{};

  [[nodiscard]] SettingAnswer answer(ComPortSetting setting) const { return settings[size_t(setting)]; }
  [[nodiscard]] bool allAnswered() const;
  [[nodiscard]] bool allConfirmed() const;
};

class Rfc2217Codec {
 public:
  // A longer subnegotiation is dropped: the longest a server sends in answer
  // to this client is 6 bytes (SET-BAUDRATE), signatures a few dozen.
  static constexpr qsizetype kLongestSubnegotiation = 64;

  explicit Rfc2217Codec(ComPortLine wanted = {});

  // What the client sends as soon as connected: WILL COM-PORT-OPTION, and
  // BINARY both ways. The line settings follow when the server agrees.
  [[nodiscard]] QByteArray start();

  // The serial line's data in `bytes`, Telnet commands taken out. Bytes may
  // be split anywhere across calls.
  [[nodiscard]] QByteArray decode(QByteArrayView bytes);
  // The answers and requests decoding has produced, to send to the server.
  [[nodiscard]] QByteArray takeReplies();

  // `data` with every 0xFF doubled (and CR sent as CR NUL while the server
  // has not agreed to binary data from the client).
  [[nodiscard]] QByteArray encode(QByteArrayView data) const;

  [[nodiscard]] const ComPortNegotiation& negotiation() const { return m_negotiation; }
  // Bytes held between calls; bounded whatever the server sends.
  [[nodiscard]] qsizetype heldBytes() const { return m_sub.size() + m_replies.size(); }

  // IAC DO TIMING-MARK: the server answers (WILL or WONT) once it has taken
  // in everything sent before it (RFC 860). Counted, so that the answer to
  // each can be told apart.
  [[nodiscard]] QByteArray timingMark();
  [[nodiscard]] quint64 marksAsked() const { return m_marksAsked; }
  [[nodiscard]] quint64 marksAnswered() const { return m_marksAnswered; }

  // SET-BAUDRATE, SET-DATASIZE, SET-PARITY, SET-STOPSIZE, SET-CONTROL for `line`.
  [[nodiscard]] static QByteArray settingRequests(const ComPortLine& line);

 private:
  // One side of one option (RFC 1143's states, without the queue).
  enum class Side : quint8 { No, Yes, WantYes };
  enum class State : quint8 { Data, Iac, Command, Sub, SubIac, SubSkip, SubSkipIac };

  void onCommand(quint8 verb, quint8 option);
  void onSubnegotiation();
  void reply(quint8 verb, quint8 option);
  [[nodiscard]] static bool wantsLocal(quint8 option);
  [[nodiscard]] static bool wantsRemote(quint8 option);

  ComPortLine m_wanted;
  ComPortNegotiation m_negotiation;
  State m_state = State::Data;
  quint8 m_verb = 0;
  bool m_afterCr = false;
  bool m_settingsSent = false;
  std::array<Side, 256> m_local{};   // the client's side: WILL/WONT from us, DO/DONT from the server
  std::array<Side, 256> m_remote{};  // the server's side: DO/DONT from us, WILL/WONT from the server
  std::array<bool, 256> m_refusedLocal{};
  std::array<bool, 256> m_refusedRemote{};
  QByteArray m_sub;
  QByteArray m_replies;
  quint64 m_marksAsked = 0;
  quint64 m_marksAnswered = 0;
};

}  // namespace zelqon
