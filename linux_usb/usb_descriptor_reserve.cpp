#include "usb_descriptor_reserve.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <unistd.h>

#include <cstring>

#include "usb_port.h"

namespace vela {
namespace {

int reserve[kUsbSlots];
int reserved = 0;

// libusb-0.1's handle begins with the descriptor, the bus and the device.
// That head is trusted only when bus and device are the ones just opened:
// a compat layer over libusb-1.0 has another layout, and waits with poll().
struct Libusb01HandleHead {
  int fd;
  struct usb_bus* bus;
  struct usb_device* device;
};

// A low number that nothing else uses, without touching any path.
int TakeLowDescriptor() {
  int fd = eventfd(0, EFD_CLOEXEC);
  if (fd >= FD_SETSIZE) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

void FillDescriptorReserve() {
  while (reserved < static_cast<int>(kUsbSlots)) {
    int fd = TakeLowDescriptor();
    if (fd < 0) return;
    reserve[reserved++] = fd;
  }
}

void EmptyDescriptorReserve() {
  while (reserved > 0) close(reserve[--reserved]);
}

void FreeReservedDescriptor() {
  if (reserved > 0) close(reserve[--reserved]);
}

bool KeepDescriptorSelectable(usb_dev_handle* handle, struct usb_device* dev) {
  Libusb01HandleHead head;
  std::memcpy(&head, static_cast<const void*>(handle), sizeof(head));
  bool selectable = true;
  if (head.bus == dev->bus && head.device == dev && head.fd >= FD_SETSIZE) {
    // dup takes the lowest free number, as F_DUPFD from 0 would, and
    // binds to no newer glibc symbol on 32-bit ARM.
    int low = dup(head.fd);
    if (low >= FD_SETSIZE) close(low);
    selectable = low >= 0 && low < FD_SETSIZE;
    if (selectable) {
      close(head.fd);
      std::memcpy(static_cast<void*>(handle), &low, sizeof(low));
    }
  }
  FillDescriptorReserve();
  return selectable;
}

}  // namespace vela
