// A hostile script as the generator writes it: a header, then one step a
// line (set a pool object's portName, re-script the printer, or call a
// native method).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vela_hostile {

// A String or byte[] argument: null, or present with bytes or a length.
struct Arg {
  bool isNull = true;
  std::string bytes;    // a String's modified UTF-8
  long long number = 0; // an int or long, or an array's length
};

struct Step {
  enum Kind { kName, kPrinter, kCall } kind = kCall;
  long call = 0;          // the number of the call this step belongs to
  std::string object;     // p0..p23 or nofield
  std::string what;       // the printer action, or the method
  std::vector<std::string> words;  // the rest of the line, undecoded
};

struct Script {
  std::string library;
  std::string seed;
  long calls = 0;
  std::vector<Step> steps;
};

// Reads the script at `path`; false with `error` set when it is malformed.
bool ReadScript(const std::string& path, Script* script, std::string* error);

// `null` or `x:<hex>`.
bool DecodeString(const std::string& word, Arg* out);
// `null` or `a:<length>`.
bool DecodeArray(const std::string& word, Arg* out);
// A decimal, possibly negative and beyond 32 bits.
bool DecodeNumber(const std::string& word, long long* out);
// Plain hex bytes, as `reply` and `status` take them.
bool DecodeHex(const std::string& hex, std::string* out);

}  // namespace vela_hostile
