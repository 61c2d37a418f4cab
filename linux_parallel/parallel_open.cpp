#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "parallel_port.h"

namespace vela {

ParallelPort parallelPorts[kParallelSlots];

bool OpenParallelDevice(ParallelPort* record, const char** message) {
  record->fd = open(record->name, O_RDWR | O_NONBLOCK);
  if (record->fd < 0) {
    *message = kParallelOpenFailed;
    return false;
  }
  if (ioctl(record->fd, PPCLAIM) != 0) {
    close(record->fd);
    *message = kPpclaimFailed;
    return false;
  }
  return true;
}

void ParallelLibrary::CloseDevice(ParallelPort* port) {
  ioctl(port->fd, PPRELEASE);
  close(port->fd);
}

}  // namespace vela
