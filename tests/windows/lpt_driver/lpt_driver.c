/* An emulated LPT printer for the Windows parallel library's tests: a
 * kernel driver that wine loads. It creates one device per name in
 * kNames, each a printer of its own, and answers what the library's Win32
 * calls become under wine (see NOTES.md); tests set and read its state
 * through the requests of lpt_control.h, and can make it fail, stall, move
 * half of a transfer, or be unplugged and plugged in again. Never shipped. */
#include <ntddk.h>

#include "driver_common.h"
#include "lpt_control.h"

#define IOCTL_SERIAL_SET_TIMEOUTS 0x1B001C
#define IOCTL_SERIAL_GET_TIMEOUTS 0x1B0020
#define IOCTL_SERIAL_RESET_DEVICE 0x1B002C
#define IOCTL_SERIAL_GET_COMMSTATUS 0x1B006C
#define IOCTL_PAR_QUERY_INFORMATION 0x160004
#define IOCTL_PAR_SET_INFORMATION 0x160008

/* Device names, reached as \\.\NAME. The digits at their start are the
 * library's timeout keys. */
static const WCHAR* const kNames[] = {L"VLPT", L"VLPT2", L"1VLPT", L"8VLPT", L"9VLPT", L"-1VLPT",
                                      L"VLPTBENCH"};
#define DEVICES (sizeof(kNames) / sizeof(kNames[0]))

typedef struct Printer {
  VelaLptState state;
  unsigned char status;
  unsigned int commErrors;
  int accept;
  int failReset, failGetTimeouts, failStatus;
  int failNext, stall, shorten;
  int unplugged;
  const WCHAR* name;
  Held held;
  Feed feed;
} Printer;

static PDEVICE_OBJECT devices[DEVICES];
/* Requests from the library side, over every device. */
static unsigned int libraryRequests;

static void Plug(Printer* p, int present) {
  if (p->unplugged == !present) return;
  p->unplugged = !present;
  LinkNamedDevice(p->name, present);
}

/* A request the test made fail: the next of a countdown, or any request
 * once the printer is unplugged. */
static int Fails(Printer* p) { return p->unplugged || TakeOne(&p->failNext); }

static void LetGo(Printer* p);

static void Clear(Printer* p) {
  LetGo(p);
  Plug(p, 1);
  const WCHAR* name = p->name;
  unsigned char* b = (unsigned char*)p;
  for (ULONG i = 0; i < sizeof(*p); ++i) b[i] = 0;
  p->name = name;
  p->status = 0x80;  /* selected, no error */
  p->accept = -1;
}

/* A transfer of n that the test made fail or stall: it moves nothing. */
static int Troubled(Printer* p, PIRP irp, ULONG n, int write, NTSTATUS* status) {
  if (Fails(p)) {
    *status = Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    return 1;
  }
  if (TakeOne(&p->stall)) {
    const unsigned int* t = p->state.timeouts;
    ULONG wait = write ? t[3] * n + t[4] : t[1] * n + t[2];
    StallFor(wait != 0 ? wait : STALL_CAP_MS);
    *status = Complete(irp, write ? STATUS_TIMEOUT : STATUS_SUCCESS, 0);
    return 1;
  }
  return 0;
}

static void Log(Printer* p, unsigned int entry) {
  if (p->state.logged < VELA_LPT_LOG) p->state.log[p->state.logged] = entry;
  p->state.logged++;
}

static NTSTATUS Transfer(Printer* p, PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  NTSTATUS troubled;
  if (sp->MajorFunction == IRP_MJ_WRITE) {
    ULONG n = sp->Parameters.Write.Length;
    ULONG take = p->accept < 0 || (ULONG)p->accept > n ? n : (ULONG)p->accept;
    p->state.writes++;
    if (Troubled(p, irp, n, 1, &troubled)) return troubled;
    if (TakeOne(&p->shorten)) take = n / 2;
    p->state.bytesTaken += take;
    Log(p, n);
    return Complete(irp, STATUS_SUCCESS, take);
  }
  ULONG n = sp->Parameters.Read.Length;
  p->state.reads++;
  p->state.lastReadLength = n;
  if (Troubled(p, irp, n, 0, &troubled)) return troubled;
  return ReadFeed(&p->feed, irp, TakeOne(&p->shorten) ? n / 2 : n);
}

/* The held transfers complete as if they had just come. */
static void LetGo(Printer* p) {
  PIRP irps[HELD_MAX];
  ULONG n = LetGoHeld(&p->held, irps);
  for (ULONG i = 0; i < n; ++i) Transfer(p, irps[i]);
}

static NTSTATUS Control(Printer* p, PIRP irp, PIO_STACK_LOCATION sp) {
  void* buf = irp->AssociatedIrp.SystemBuffer;
  ULONG in = sp->Parameters.DeviceIoControl.InputBufferLength;
  ULONG out = sp->Parameters.DeviceIoControl.OutputBufferLength;
  switch (sp->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_SERIAL_SET_TIMEOUTS:
      p->state.setTimeouts++;
      if (in < 20) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      CopyBytes(p->state.timeouts, buf, 20);
      return Complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_SERIAL_GET_TIMEOUTS:
      p->state.getTimeouts++;
      if (p->failGetTimeouts || Fails(p)) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
      if (out < 20) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      CopyBytes(buf, p->state.timeouts, 20);
      return Complete(irp, STATUS_SUCCESS, 20);
    case IOCTL_SERIAL_GET_COMMSTATUS: {
      /* SERIAL_STATUS: Errors first; wine maps the serial error bits only. */
      p->state.commStatus++;
      if (p->failStatus || Fails(p)) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
      ULONG n = out < 24 ? out : 24;
      unsigned char zero[24] = {0};
      CopyBytes(buf, zero, n);
      if (n >= 4) CopyBytes(buf, &p->commErrors, 4);
      return Complete(irp, STATUS_SUCCESS, n);
    }
    case IOCTL_SERIAL_RESET_DEVICE:
      p->state.serialResets++;
      return Complete(irp, p->failReset || Fails(p) ? STATUS_INVALID_DEVICE_REQUEST : STATUS_SUCCESS, 0);
    case IOCTL_PAR_QUERY_INFORMATION:
      p->state.parQueries++;
      if (p->failStatus || Fails(p) || out < 1) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
      *(unsigned char*)buf = p->status;
      return Complete(irp, STATUS_SUCCESS, 1);
    case IOCTL_PAR_SET_INFORMATION:
      if (in >= 1 && *(unsigned char*)buf == 0x01) p->state.parInits++;
      return Complete(irp, p->failReset || Fails(p) ? STATUS_INVALID_DEVICE_REQUEST : STATUS_SUCCESS, 0);
    case VELA_LPT_SET: {
      if (in < sizeof(VelaLptSetting)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      VelaLptSetting s;
      CopyBytes(&s, buf, sizeof(s));
      switch (s.field) {
        case VELA_LPT_STATUS: p->status = (unsigned char)s.value; break;
        case VELA_LPT_COMM_ERRORS: p->commErrors = (unsigned int)s.value; break;
        case VELA_LPT_ACCEPT: p->accept = s.value; break;
        case VELA_LPT_FAIL_RESET: p->failReset = s.value; break;
        case VELA_LPT_FAIL_GET_TIMEOUTS: p->failGetTimeouts = s.value; break;
        case VELA_LPT_FAIL_STATUS: p->failStatus = s.value; break;
        case VELA_LPT_FAIL_NEXT: p->failNext = s.value; break;
        case VELA_LPT_STALL: p->stall = s.value; break;
        case VELA_LPT_SHORT: p->shorten = s.value; break;
        case VELA_LPT_PRESENT: Plug(p, s.value != 0); break;
        case VELA_LPT_HOLD:
          LetGo(p);
          p->held.countdown = s.value;
          break;
        default: return Complete(irp, STATUS_INVALID_PARAMETER, 0);
      }
      return Complete(irp, STATUS_SUCCESS, 0);
    }
    case VELA_LPT_FEED:
      return FillFeed(&p->feed, irp, buf, in);
    case VELA_LPT_GET_STATE:
      if (out < sizeof(VelaLptState)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      p->state.requests = libraryRequests;
      p->state.held = HeldCount(&p->held);
      p->state.cancelled = p->held.cancelled;
      CopyBytes(buf, &p->state, sizeof(VelaLptState));
      return Complete(irp, STATUS_SUCCESS, sizeof(VelaLptState));
    case VELA_LPT_CLEAR:
      Clear(p);
      return Complete(irp, STATUS_SUCCESS, 0);
    default:
      return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT dev, PIRP irp) {
  Printer* p = (Printer*)dev->DeviceExtension;
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  if (sp->MajorFunction != IRP_MJ_DEVICE_CONTROL ||
      sp->Parameters.DeviceIoControl.IoControlCode < VELA_LPT_SET) {
    libraryRequests++;
  }
  switch (sp->MajorFunction) {
    case IRP_MJ_CREATE:
      p->state.creates++;
      return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLOSE:
      p->state.closes++;
      return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_FLUSH_BUFFERS:
      p->state.flushes++;
      Log(p, 0xFFFFFFFFu);
      return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_WRITE:
    case IRP_MJ_READ:
      if (HoldTransfer(&p->held, irp)) return STATUS_PENDING;
      return Transfer(p, irp);
    case IRP_MJ_DEVICE_CONTROL:
      return Control(p, irp, sp);
    default:
      return Complete(irp, STATUS_SUCCESS, 0);
  }
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver) {
  (void)driver;
  for (ULONG i = 0; i < DEVICES; ++i) DeleteNamedDevice(kNames[i], devices[i]);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING path) {
  (void)path;
  for (ULONG m = 0; m <= IRP_MJ_MAXIMUM_FUNCTION; ++m) driver->MajorFunction[m] = Dispatch;
  driver->DriverUnload = Unload;
  for (ULONG i = 0; i < DEVICES; ++i) {
    NTSTATUS s = CreateNamedDevice(driver, kNames[i], sizeof(Printer), &devices[i]);
    if (!NT_SUCCESS(s)) return s;
    Printer* p = (Printer*)devices[i]->DeviceExtension;
    p->name = kNames[i];
    Clear(p);
  }
  return STATUS_SUCCESS;
}
