#include "timeout.h"

#include <sys/select.h>

namespace vela {

void SleepMicroseconds(long microseconds) {
  struct timeval tv;
  tv.tv_sec = microseconds / 1000000;
  tv.tv_usec = microseconds % 1000000;
  select(0, nullptr, nullptr, nullptr, &tv);
}

}  // namespace vela
