/* The private control requests through which a test drives the emulated
 * USB printer driver: shared by the driver and the test host. */
#ifndef VELA_USB_CONTROL_H
#define VELA_USB_CONTROL_H

#define VELA_USB_CTL(fn) (((0x22) << 16) | ((fn) << 2))  /* FILE_DEVICE_UNKNOWN, buffered */
#define VELA_USB_SET VELA_USB_CTL(0x900)        /* in: VelaUsbSetting */
#define VELA_USB_FEED VELA_USB_CTL(0x901)       /* in: the bytes reads deliver */
#define VELA_USB_GET_STATE VELA_USB_CTL(0x902)  /* out: VelaUsbState */
#define VELA_USB_CLEAR VELA_USB_CTL(0x903)      /* back to a fresh printer */
#define VELA_USB_ACCEPT VELA_USB_CTL(0x904)     /* in: int per write, from the next one on */

enum VelaUsbField {
  VELA_USB_STATUS = 1,         /* the byte IOCTL_PRINTER_GET_STATUS answers */
  VELA_USB_STATUS_ANSWERS = 2, /* status requests answered before the device
                                  vanishes (answers no byte); -1 for ever */
  VELA_USB_FAIL = 3,           /* the next N reads and writes fail, moving nothing */
  VELA_USB_STALL = 4,          /* the next N reads and writes wait out their timeout */
  VELA_USB_SHORT = 5,          /* the next N reads and writes move half of what is asked */
  VELA_USB_PRESENT = 6         /* 0: unplugged (no name to open, no status, transfers
                                  fail); 1: plugged in again; 2: unplugged once it
                                  has answered one more status request */,
  VELA_USB_HOLD = 7            /* the next N reads and writes pend until the host
                                  cancels them or the test sets this again, which
                                  lets the pending ones complete as usual */
};

typedef struct VelaUsbSetting {
  unsigned int field;
  int value;
} VelaUsbSetting;

#define VELA_USB_LOG 64
#define VELA_USB_SCRIPT 16

typedef struct VelaUsbState {
  unsigned int serialTimeouts[5];  /* last IOCTL_SERIAL_SET_TIMEOUTS record */
  unsigned int driverTimeouts[5];  /* last IOCTL_PRINTER_SET_TIMEOUTS record */
  unsigned int serialSetTimeouts, driverSetTimeouts;
  unsigned int creates, closes, reads, writes;
  unsigned int statusRequests, shortWrites, resets, unknownRequests;
  unsigned int bytesTaken;
  unsigned int takenHash;  /* FNV-1a over every byte taken, in order */
  unsigned int log[VELA_USB_LOG];  /* each write's length, in order */
  unsigned int logged;
  unsigned int lastReadLength;
  unsigned int requests;  /* every request the library side made of any of the
                             driver's devices, the test's own requests not counted */
  unsigned int held;       /* transfers pending now */
  unsigned int cancelled;  /* held transfers the host cancelled */
} VelaUsbState;

#define VELA_FNV_BASIS 2166136261u
#define VELA_FNV_PRIME 16777619u

#endif
