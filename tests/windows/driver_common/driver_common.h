/* What the emulated printer drivers share: byte copies without the C
 * library (gcc would call memcpy), IRP completion, the named devices each
 * printer is, and the queue of bytes its reads deliver. Test fixture,
 * never shipped. */
#ifndef VELA_DRIVER_COMMON_H
#define VELA_DRIVER_COMMON_H

#include <ntddk.h>

#define FEED_MAX 8192

static inline void CopyBytes(void* to, const void* from, ULONG n) {
  unsigned char* d = (unsigned char*)to;
  const unsigned char* s = (const unsigned char*)from;
  while (n-- > 0) *d++ = *s++;
}

static inline NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static inline void MakeName(WCHAR* out, const WCHAR* prefix, const WCHAR* name) {
  while (*prefix) *out++ = *prefix++;
  while (*name) *out++ = *name++;
  *out = 0;
}

/* \Device\NAME and its link \DosDevices\NAME, as counted strings over
 * buffers of their own. */
typedef struct DeviceNames {
  WCHAR path[64], link[64];
  UNICODE_STRING upath, ulink;
} DeviceNames;

static inline void NameDevice(DeviceNames* n, const WCHAR* name) {
  MakeName(n->path, L"\\Device\\", name);
  MakeName(n->link, L"\\DosDevices\\", name);
  RtlInitUnicodeString(&n->upath, n->path);
  RtlInitUnicodeString(&n->ulink, n->link);
}

/* \Device\NAME with a buffered-I/O extension of `extension` bytes, linked
 * as \DosDevices\NAME so that CreateFileA("\\.\NAME") reaches it. */
static inline NTSTATUS CreateNamedDevice(PDRIVER_OBJECT driver, const WCHAR* name,
                                         ULONG extension, PDEVICE_OBJECT* device) {
  DeviceNames n;
  NameDevice(&n, name);
  NTSTATUS s = IoCreateDevice(driver, extension, &n.upath, FILE_DEVICE_UNKNOWN, 0, FALSE, device);
  if (!NT_SUCCESS(s)) return s;
  (*device)->Flags |= DO_BUFFERED_IO;
  return IoCreateSymbolicLink(&n.ulink, &n.upath);
}

static inline void DeleteNamedDevice(const WCHAR* name, PDEVICE_OBJECT device) {
  DeviceNames n;
  NameDevice(&n, name);
  IoDeleteSymbolicLink(&n.ulink);
  if (device) IoDeleteDevice(device);
}

/* Makes or removes \DosDevices\NAME: without it CreateFileA cannot find
 * the device, as after an unplug, while handles already open still reach
 * it. */
static inline void LinkNamedDevice(const WCHAR* name, int present) {
  DeviceNames n;
  NameDevice(&n, name);
  IoDeleteSymbolicLink(&n.ulink);
  if (present) IoCreateSymbolicLink(&n.ulink, &n.upath);
}

/* The longest a stalled transfer waits, whatever timeout the port holds,
 * so that a long hostile run stays within minutes. */
#define STALL_CAP_MS 250

/* A transfer that waits out `ms` (at most STALL_CAP_MS) and moves nothing. */
static inline void StallFor(ULONG ms) {
  LARGE_INTEGER interval;
  if (ms > STALL_CAP_MS) ms = STALL_CAP_MS;
  interval.QuadPart = -(LONGLONG)ms * 10000;  /* relative, 100 ns units */
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
}

/* A countdown the test sets: nonzero while it lasts, one step per use. */
static inline int TakeOne(int* countdown) {
  if (*countdown <= 0) return 0;
  (*countdown)--;
  return 1;
}

/* Transfers the test holds: each pends in the driver, as a read waiting
 * for data or a write to a busy printer does on Windows, until the test
 * lets it go (it then completes as usual) or the host cancels it
 * (CancelIoEx, CancelSynchronousIo): it then ends STATUS_CANCELLED, having
 * moved nothing. */
#define HELD_MAX 4
typedef struct Held {
  PIRP irps[HELD_MAX];
  int countdown;           /* the next N transfers are held */
  unsigned int cancelled;  /* held transfers the host cancelled */
} Held;

static VOID NTAPI CancelHeld(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  Held* h = (Held*)irp->Tail.Overlay.DriverContext[0];
  for (ULONG i = 0; i < HELD_MAX; ++i) {
    if (h->irps[i] == irp) h->irps[i] = 0;
  }
  h->cancelled++;
  IoReleaseCancelSpinLock(irp->CancelIrql);
  Complete(irp, STATUS_CANCELLED, 0);
}

/* Holds the transfer when the test asked for it: STATUS_PENDING is then
 * the dispatch's answer. */
static inline int HoldTransfer(Held* h, PIRP irp) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  ULONG free = HELD_MAX;
  for (ULONG i = 0; i < HELD_MAX; ++i) {
    if (h->irps[i] == 0) free = i;
  }
  if (free == HELD_MAX || !TakeOne(&h->countdown)) {
    IoReleaseCancelSpinLock(irql);
    return 0;
  }
  h->irps[free] = irp;
  irp->Tail.Overlay.DriverContext[0] = h;
  IoMarkIrpPending(irp);
  IoSetCancelRoutine(irp, CancelHeld);
  if (irp->Cancel && IoSetCancelRoutine(irp, NULL)) {
    /* Cancelled before the routine was in place. */
    h->irps[free] = 0;
    h->cancelled++;
    IoReleaseCancelSpinLock(irql);
    Complete(irp, STATUS_CANCELLED, 0);
    return 1;
  }
  IoReleaseCancelSpinLock(irql);
  return 1;
}

/* Takes the held transfers out of reach of a cancel, into `out`; their
 * number. */
static inline ULONG LetGoHeld(Held* h, PIRP* out) {
  KIRQL irql;
  ULONG n = 0;
  IoAcquireCancelSpinLock(&irql);
  for (ULONG i = 0; i < HELD_MAX; ++i) {
    if (h->irps[i] != 0 && IoSetCancelRoutine(h->irps[i], NULL) != 0) out[n++] = h->irps[i];
    if (h->irps[i] != 0) h->irps[i] = 0;
  }
  IoReleaseCancelSpinLock(irql);
  return n;
}

static inline unsigned int HeldCount(const Held* h) {
  unsigned int n = 0;
  for (ULONG i = 0; i < HELD_MAX; ++i) n += h->irps[i] != 0;
  return n;
}

/* The bytes the printer holds for the host. */
typedef struct Feed {
  unsigned char bytes[FEED_MAX];
  ULONG length;
} Feed;

/* The test's request to hold these bytes, in place of any left. */
static inline NTSTATUS FillFeed(Feed* f, PIRP irp, const void* in, ULONG n) {
  if (n > FEED_MAX) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
  CopyBytes(f->bytes, in, n);
  f->length = n;
  return Complete(irp, STATUS_SUCCESS, 0);
}

/* A read of n: what fits goes, the rest stays for the next read. */
static inline NTSTATUS ReadFeed(Feed* f, PIRP irp, ULONG n) {
  ULONG give = n < f->length ? n : f->length;
  CopyBytes(irp->AssociatedIrp.SystemBuffer, f->bytes, give);
  for (ULONG i = give; i < f->length; ++i) f->bytes[i - give] = f->bytes[i];
  f->length -= give;
  return Complete(irp, STATUS_SUCCESS, give);
}

#endif
