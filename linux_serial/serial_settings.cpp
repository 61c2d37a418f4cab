#include "serial_settings.h"

#include <cstring>

#include "serial_messages.h"

namespace vela {
namespace {

struct Token {
  const char* text;
  int value;
};

// A field matches a token when it begins with it; whatever follows the
// token is ignored, so "96000" reads as 9600 and "1.5" as 1.
bool MatchField(const char* field, const Token* tokens, std::size_t count,
                int* value) {
  for (std::size_t i = 0; i < count; ++i) {
    if (std::strncmp(field, tokens[i].text, std::strlen(tokens[i].text)) == 0) {
      *value = tokens[i].value;
      return true;
    }
  }
  return false;
}

template <std::size_t N>
bool MatchField(const char* field, const Token (&tokens)[N], int* value) {
  return MatchField(field, tokens, N, value);
}

constexpr Token kBaudTokens[] = {
    {"38400", 38400}, {"19200", 19200}, {"9600", 9600}, {"4800", 4800}, {"2400", 2400}};
constexpr Token kParityTokens[] = {{"none", 'n'}, {"even", 'e'}, {"odd", 'o'}};
constexpr Token kDataBitsTokens[] = {{"8", 8}, {"7", 7}};
constexpr Token kStopBitsTokens[] = {{"1", 1}, {"2", 2}};
constexpr Token kFlowTokens[] = {{"none", 'n'}, {"hdwr", 'h'}, {"xonxoff", 'x'}};

}  // namespace

bool ParseSerialSettings(const char* text, SerialPortSettings* out,
                         const char** message) {
  // Each field runs to the end of the text; only its start is located.
  const char* fields[5] = {text, nullptr, nullptr, nullptr, nullptr};
  for (int i = 1; i < 5; ++i) {
    const char* comma = std::strchr(fields[i - 1], ',');
    if (comma == nullptr) {
      *message = kSettingsForm;
      return false;
    }
    fields[i] = comma + 1;
  }
  int baud = 0, parity = 0, dataBits = 0, stopBits = 0, flow = 0;
  if (!MatchField(fields[0], kBaudTokens, &baud)) {
    *message = kSettingsBaud;
    return false;
  }
  if (!MatchField(fields[1], kParityTokens, &parity)) {
    *message = kSettingsParity;
    return false;
  }
  if (!MatchField(fields[2], kDataBitsTokens, &dataBits)) {
    *message = kSettingsDataBits;
    return false;
  }
  if (!MatchField(fields[3], kStopBitsTokens, &stopBits)) {
    *message = kSettingsStopBits;
    return false;
  }
  if (!MatchField(fields[4], kFlowTokens, &flow)) {
    *message = kSettingsFlow;
    return false;
  }
  out->baudRate = baud;
  out->parity = static_cast<char>(parity);
  out->dataBits = static_cast<std::uint8_t>(dataBits);
  out->stopBits = static_cast<std::uint8_t>(stopBits);
  out->flowControl = static_cast<char>(flow);
  return true;
}

long SerialByteNanoseconds(const SerialPortSettings& settings) {
  // 64 bits: 12 bits' worth of nanoseconds overflow a 32-bit long.
  const long long baud = settings.baudRate > 0 ? settings.baudRate : 9600;
  const long long dataBits = settings.dataBits != 0 ? settings.dataBits : 8;
  const long long stopBits = settings.stopBits != 0 ? settings.stopBits : 1;
  const long long parityBits = settings.parity == 'e' || settings.parity == 'o' ? 1 : 0;
  const long long frameBits = 1 + dataBits + parityBits + stopBits;
  return static_cast<long>((frameBits * 1000000000LL + baud - 1) / baud);
}

}  // namespace vela
