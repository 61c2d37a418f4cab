/* The private control requests through which a test drives the emulated
 * LPT printer driver: shared by the driver and the test host. */
#ifndef VELA_LPT_CONTROL_H
#define VELA_LPT_CONTROL_H

#define VELA_LPT_CTL(fn) (((0x22) << 16) | ((fn) << 2))  /* FILE_DEVICE_UNKNOWN, buffered */
#define VELA_LPT_SET VELA_LPT_CTL(0x900)        /* in: VelaLptSetting */
#define VELA_LPT_FEED VELA_LPT_CTL(0x901)       /* in: the bytes reads deliver */
#define VELA_LPT_GET_STATE VELA_LPT_CTL(0x902)  /* out: VelaLptState */
#define VELA_LPT_CLEAR VELA_LPT_CTL(0x903)      /* back to a fresh printer */

enum VelaLptField {
  VELA_LPT_STATUS = 1,       /* the PAR_QUERY_INFORMATION status byte */
  VELA_LPT_COMM_ERRORS = 2,  /* the SERIAL_STATUS error word */
  VELA_LPT_ACCEPT = 3,       /* bytes one write takes; -1 all, 0 a busy printer */
  VELA_LPT_FAIL_RESET = 4,   /* nonzero: both reset requests fail */
  VELA_LPT_FAIL_GET_TIMEOUTS = 5,
  VELA_LPT_FAIL_STATUS = 6,  /* nonzero: the status requests fail */
  VELA_LPT_FAIL_NEXT = 7,    /* the next N transfers, status, timeout and reset
                                requests fail */
  VELA_LPT_STALL = 8,        /* the next N transfers wait out their timeout */
  VELA_LPT_SHORT = 9,        /* the next N transfers move half of what is asked */
  VELA_LPT_PRESENT = 10      /* 0: unplugged (no name to open, every request of
                                an open handle fails); 1: plugged in again */,
  VELA_LPT_HOLD = 11         /* the next N transfers pend until the host cancels
                                them or the test sets this again, which lets the
                                pending ones complete as usual */
};

typedef struct VelaLptSetting {
  unsigned int field;
  int value;
} VelaLptSetting;

#define VELA_LPT_LOG 64

typedef struct VelaLptState {
  unsigned int timeouts[5];  /* as SERIAL_TIMEOUTS: interval, read mult, read const, write mult, write const */
  unsigned int setTimeouts;  /* IOCTL_SERIAL_SET_TIMEOUTS requests */
  unsigned int getTimeouts;
  unsigned int creates, closes, flushes, reads, writes;
  unsigned int commStatus;   /* IOCTL_SERIAL_GET_COMMSTATUS requests */
  unsigned int parQueries;   /* IOCTL_PAR_QUERY_INFORMATION */
  unsigned int serialResets; /* IOCTL_SERIAL_RESET_DEVICE */
  unsigned int parInits;     /* IOCTL_PAR_SET_INFORMATION with PARALLEL_INIT */
  unsigned int bytesTaken;
  /* Each write as its length, each flush as 0xFFFFFFFF, in order. */
  unsigned int log[VELA_LPT_LOG];
  unsigned int logged;
  unsigned int lastReadLength;
  unsigned int requests;  /* every request the library side made of any of the
                             driver's devices, the test's own requests not counted */
  unsigned int held;       /* transfers pending now */
  unsigned int cancelled;  /* held transfers the host cancelled */
} VelaLptState;

#endif
