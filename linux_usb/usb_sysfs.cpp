#include "usb_sysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vela {
namespace {

constexpr char kDevices[] = "/sys/bus/usb/devices";

int AttributeNumber(const char* deviceName, const char* attribute) {
  char text[16];
  std::size_t length = 0;
  if (!ReadSysfsAttribute(deviceName, attribute, text, sizeof(text) - 1, &length)) return -1;
  text[length] = '\0';
  return UsbNumber(text);
}

}  // namespace

int UsbNumber(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  return end == text || *end != '\0' || value < 0 || value > 0xFFFF ? -1 : static_cast<int>(value);
}

bool ReadSysfsAttribute(const char* deviceName, const char* attribute, char* value,
                        std::size_t size, std::size_t* length) {
  char path[512];
  int n = std::snprintf(path, sizeof(path), "%s/%s/%s", kDevices, deviceName, attribute);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof(path)) return false;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // One more byte than fits, to tell a value that fits from one cut short.
  char buffer[256];
  std::size_t got = 0;
  while (got < sizeof(buffer)) {
    ssize_t r = read(fd, buffer + got, sizeof(buffer) - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  close(fd);
  if (got > 0 && buffer[got - 1] == '\n') --got;
  if (got > size || got == sizeof(buffer)) return false;
  std::memcpy(value, buffer, got);
  *length = got;
  return true;
}

bool SysfsDeviceName(int busNumber, int deviceNumber, char* name, std::size_t size) {
  // -1 stands for a number that could not be read, on either side.
  if (busNumber < 0 || deviceNumber < 0) return false;
  DIR* dir = opendir(kDevices);
  if (dir == nullptr) return false;
  bool found = false;
  while (!found) {
    struct dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    // Interfaces (1-1.4:1.0) and the dot entries have no numbers.
    if (entry->d_name[0] == '.' || std::strchr(entry->d_name, ':') != nullptr) continue;
    if (AttributeNumber(entry->d_name, "busnum") != busNumber ||
        AttributeNumber(entry->d_name, "devnum") != deviceNumber) {
      continue;
    }
    std::size_t length = std::strlen(entry->d_name);
    found = length < size;
    if (found) std::memcpy(name, entry->d_name, length + 1);
    break;
  }
  closedir(dir);
  return found;
}

}  // namespace vela
