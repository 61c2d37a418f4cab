/* The plain libusb-0.1 loop the USB library is measured against: find the
 * printer, claim it and usb_bulk_write TOTAL bytes in 4096-byte chunks,
 * after the same 64 KiB warm-up the library gets. Prints MB/s. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <usb.h>

int main(int argc, char** argv) {
  long total = argc > 1 ? atol(argv[1]) : 1048576;
  usb_init();
  usb_find_busses();
  usb_find_devices();
  struct usb_device* printer = NULL;
  for (struct usb_bus* b = usb_busses; b && !printer; b = b->next)
    for (struct usb_device* d = b->devices; d && !printer; d = d->next)
      if (d->descriptor.idVendor == 0x0F3C && d->descriptor.idProduct == 0x0002) printer = d;
  if (!printer) {
    fprintf(stderr, "no printer on the buses\n");
    return 1;
  }
  usb_dev_handle* h = usb_open(printer);
  usb_claim_interface(h, 0);
  static char chunk[4096];
  struct timespec a, b;
  for (long sent = -65536; sent < total; sent += sizeof chunk) {
    if (sent == 0) clock_gettime(CLOCK_MONOTONIC, &a);
    if (usb_bulk_write(h, 0x01, chunk, sizeof chunk, 1000) != (int)sizeof chunk) {
      fprintf(stderr, "short write\n");
      return 1;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &b);
  double s = (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
  printf("%.3f\n", (double)total / s / 1e6);
  usb_release_interface(h, 0);
  usb_close(h);
  return 0;
}
