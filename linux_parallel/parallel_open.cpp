#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "parallel_messages.h"
#include "parallel_port.h"
#include "port_table.h"

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

void CloseParallelPort(ParallelPort* port) {
  ioctl(port->fd, PPRELEASE);
  close(port->fd);
  ClearRecord(port);
}

void ClearParallelTable() { ClearTable(parallelPorts); }

void CloseAllParallelPorts() {
  for (auto& port : parallelPorts) {
    if (port.inUse == 0) continue;
    port.inUse = 0;
    ioctl(port.fd, PPRELEASE);
    close(port.fd);
  }
}

}  // namespace vela
