#include "script.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vela_hostile {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

bool HeaderField(const std::string& word, const std::string& key, std::string* value) {
  if (word.compare(0, key.size() + 1, key + "=") != 0) return false;
  *value = word.substr(key.size() + 1);
  return true;
}

}  // namespace

bool DecodeHex(const std::string& hex, std::string* out) {
  if (hex.size() % 2 != 0) return false;
  out->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

bool DecodeNumber(const std::string& word, long long* out) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  *out = std::strtoll(word.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool DecodeString(const std::string& word, Arg* out) {
  *out = Arg();
  if (word == "null") return true;
  if (word.compare(0, 2, "x:") != 0) return false;
  out->isNull = false;
  return DecodeHex(word.substr(2), &out->bytes);
}

bool DecodeArray(const std::string& word, Arg* out) {
  *out = Arg();
  if (word == "null") return true;
  if (word.compare(0, 2, "a:") != 0) return false;
  out->isNull = false;
  return DecodeNumber(word.substr(2), &out->number) && out->number >= 0;
}

bool ReadScript(const std::string& path, Script* script, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  std::getline(in, line);
  std::vector<std::string> head = Words(line);
  std::string calls;
  if (head.size() < 4 || head[0] != "hostile" || !HeaderField(head[2], "seed", &script->seed) ||
      !HeaderField(head[3], "calls", &calls)) {
    *error = "not a hostile script: " + line;
    return false;
  }
  script->library = head[1];
  script->calls = std::atol(calls.c_str());
  for (long lineNo = 2; std::getline(in, line); ++lineNo) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> w = Words(line);
    if (w.empty() || w[0][0] == '#') continue;
    Step step;
    long long n = 0;
    bool ok = w.size() >= 3 && DecodeNumber(w[0], &n);
    step.call = static_cast<long>(n);
    if (ok && w[1] == "name" && w.size() == 4) {
      step.kind = Step::kName;
      step.object = w[2];
      step.words.assign(w.begin() + 3, w.end());
    } else if (ok && w[1] == "printer") {
      step.kind = Step::kPrinter;
      step.what = w[2];
      step.words.assign(w.begin() + 3, w.end());
    } else if (ok && w[1] == "call" && w.size() >= 4) {
      step.kind = Step::kCall;
      step.object = w[2];
      step.what = w[3];
      step.words.assign(w.begin() + 4, w.end());
    } else {
      *error = "line " + std::to_string(lineNo) + " malformed: " + line;
      return false;
    }
    script->steps.push_back(step);
  }
  return true;
}

}  // namespace vela_hostile
