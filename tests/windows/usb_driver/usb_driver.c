/* An emulated USB receipt printer for the Windows USB library's tests: a
 * kernel driver that wine loads, playing the printer maker's driver. It
 * answers the printer's four control codes and the serial timeouts request
 * that SetCommTimeouts becomes, serves reads from a queue the test fills,
 * takes writes as the test scripts them, fails, stalls or shortens the
 * transfers the test asks it to, and can vanish (its status request then
 * answers no byte) or be unplugged and plugged in again. Three plain devices are reached as \\.\NAME; two more
 * register a device interface of the printer's class, as the maker's
 * driver does, so that the Setup API lists them. Tests drive it through the
 * requests of usb_control.h. Never shipped. */
#include <ntddk.h>

#include "driver_common.h"
#include "usb_control.h"

#define IOCTL_SERIAL_SET_TIMEOUTS 0x1B001C
#define IOCTL_PRINTER_GET_STATUS 0x22000C
#define IOCTL_PRINTER_SHORT_WRITE 0x220010
#define IOCTL_PRINTER_RESET 0x220014
#define IOCTL_PRINTER_SET_TIMEOUTS 0x220400

static const GUID kInterfaceClass = {0x5e2d7a10, 0x3b9c, 0x4f61,
                                     {0xa8, 0xd2, 0x7c, 0x41, 0xe0, 0x9b, 0x36, 0xaf}};

typedef struct Device {
  const WCHAR* name;      /* \Device\NAME and \DosDevices\NAME */
  const WCHAR* instance;  /* instance ID of an interface device, or 0 */
} Device;

static const Device kDevices[] = {
    {L"QDXUSB001", 0},
    {L"QDXUSB002", 0},
    {L"QDXUSBLONGNAME017", 0},
    {L"VUSBIF1", L"5&1f2e3d&0&1"},
    {L"VUSBIF2", L"5&1f2e3d&0&2"},
};
#define DEVICES (sizeof(kDevices) / sizeof(kDevices[0]))
static const WCHAR kDeviceId[] = L"USB\\VID_0F3C&PID_0002";

typedef struct Printer {
  const Device* device;
  VelaUsbState state;
  unsigned char status;
  int statusAnswers;
  int accept[VELA_USB_SCRIPT];
  unsigned int scripted, writesSinceScript;
  int fail, stall, shorten;
  int unplugged, unplugAfterStatus;
  Held held;
  Feed feed;
} Printer;

static PDEVICE_OBJECT devices[DEVICES];
/* Requests from the library side, over every device. */
static unsigned int libraryRequests;
static UNICODE_STRING interfaces[DEVICES];

/* Unplugged, a device loses its name and its interface is no longer
 * present, so the Setup API stops listing it. */
static void Plug(Printer* p, int present) {
  if (p->unplugged == !present) return;
  p->unplugged = !present;
  LinkNamedDevice(p->device->name, present);
  UNICODE_STRING* registered = &interfaces[p->device - kDevices];
  if (registered->Buffer) IoSetDeviceInterfaceState(registered, present ? TRUE : FALSE);
}

static void LetGo(Printer* p);

static void Clear(Printer* p) {
  LetGo(p);
  Plug(p, 1);
  const Device* device = p->device;
  unsigned char* b = (unsigned char*)p;
  for (ULONG i = 0; i < sizeof(*p); ++i) b[i] = 0;
  p->device = device;
  p->status = 0x18;  /* online, no error, paper present */
  p->statusAnswers = -1;
  p->state.takenHash = VELA_FNV_BASIS;
}

static NTSTATUS TakeTimeouts(unsigned int* to, unsigned int* count, void* buf, ULONG in,
                             PIRP irp) {
  (*count)++;
  if (in < 20) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
  CopyBytes(to, buf, 20);
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS Control(Printer* p, PIRP irp, PIO_STACK_LOCATION sp) {
  void* buf = irp->AssociatedIrp.SystemBuffer;
  ULONG in = sp->Parameters.DeviceIoControl.InputBufferLength;
  ULONG out = sp->Parameters.DeviceIoControl.OutputBufferLength;
  switch (sp->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_SERIAL_SET_TIMEOUTS:
      return TakeTimeouts(p->state.serialTimeouts, &p->state.serialSetTimeouts, buf, in, irp);
    case IOCTL_PRINTER_SET_TIMEOUTS:
      return TakeTimeouts(p->state.driverTimeouts, &p->state.driverSetTimeouts, buf, in, irp);
    case IOCTL_PRINTER_GET_STATUS:
      p->state.statusRequests++;
      if (p->statusAnswers == 0 || p->unplugged || out < 1) return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
      if (p->statusAnswers > 0) p->statusAnswers--;
      *(unsigned char*)buf = p->status;
      if (TakeOne(&p->unplugAfterStatus)) Plug(p, 0);
      return Complete(irp, STATUS_SUCCESS, 1);
    case IOCTL_PRINTER_SHORT_WRITE:
      p->state.shortWrites++;
      return Complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_PRINTER_RESET:
      p->state.resets++;
      return Complete(irp, STATUS_SUCCESS, 0);
    case VELA_USB_SET: {
      VelaUsbSetting s;
      if (in < sizeof(s)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      CopyBytes(&s, buf, sizeof(s));
      if (s.field == VELA_USB_STATUS) p->status = (unsigned char)s.value;
      else if (s.field == VELA_USB_STATUS_ANSWERS) p->statusAnswers = s.value;
      else if (s.field == VELA_USB_FAIL) p->fail = s.value;
      else if (s.field == VELA_USB_STALL) p->stall = s.value;
      else if (s.field == VELA_USB_SHORT) p->shorten = s.value;
      else if (s.field == VELA_USB_PRESENT && s.value == 2) p->unplugAfterStatus = 1;
      else if (s.field == VELA_USB_HOLD) {
        LetGo(p);
        p->held.countdown = s.value;
      }
      else if (s.field == VELA_USB_PRESENT) {
        p->unplugAfterStatus = 0;
        Plug(p, s.value != 0);
      }
      else return Complete(irp, STATUS_INVALID_PARAMETER, 0);
      return Complete(irp, STATUS_SUCCESS, 0);
    }
    case VELA_USB_ACCEPT:
      if (in > sizeof(p->accept)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      CopyBytes(p->accept, buf, in);
      p->scripted = in / sizeof(int);
      p->writesSinceScript = 0;
      return Complete(irp, STATUS_SUCCESS, 0);
    case VELA_USB_FEED:
      return FillFeed(&p->feed, irp, buf, in);
    case VELA_USB_GET_STATE:
      if (out < sizeof(VelaUsbState)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      p->state.requests = libraryRequests;
      p->state.held = HeldCount(&p->held);
      p->state.cancelled = p->held.cancelled;
      CopyBytes(buf, &p->state, sizeof(VelaUsbState));
      return Complete(irp, STATUS_SUCCESS, sizeof(VelaUsbState));
    case VELA_USB_CLEAR:
      Clear(p);
      return Complete(irp, STATUS_SUCCESS, 0);
    default:
      p->state.unknownRequests++;
      return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}

/* The timeouts the port was last given, by either request. */
static const unsigned int* Timeouts(Printer* p) {
  return p->state.serialSetTimeouts > 0 ? p->state.serialTimeouts : p->state.driverTimeouts;
}

/* A transfer of n that the test made fail or stall: it moves nothing. */
static int Troubled(Printer* p, PIRP irp, ULONG n, int write, NTSTATUS* status) {
  if (p->unplugged || TakeOne(&p->fail)) {
    *status = Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    return 1;
  }
  if (TakeOne(&p->stall)) {
    const unsigned int* t = Timeouts(p);
    ULONG wait = write ? t[3] * n + t[4] : t[1] * n + t[2];
    StallFor(wait != 0 ? wait : STALL_CAP_MS);
    *status = Complete(irp, write ? STATUS_TIMEOUT : STATUS_SUCCESS, 0);
    return 1;
  }
  return 0;
}

static NTSTATUS Write(Printer* p, PIRP irp, ULONG n) {
  NTSTATUS troubled;
  if (Troubled(p, irp, n, 1, &troubled)) return troubled;
  ULONG take = n;
  if (p->writesSinceScript < p->scripted) {
    int a = p->accept[p->writesSinceScript];
    if (a >= 0 && (ULONG)a < n) take = (ULONG)a;
  }
  if (TakeOne(&p->shorten)) take = n / 2;
  p->writesSinceScript++;
  p->state.writes++;
  if (p->state.logged < VELA_USB_LOG) p->state.log[p->state.logged] = n;
  p->state.logged++;
  const unsigned char* bytes = (const unsigned char*)irp->AssociatedIrp.SystemBuffer;
  for (ULONG i = 0; i < take; ++i) {
    p->state.takenHash = (p->state.takenHash ^ bytes[i]) * VELA_FNV_PRIME;
  }
  p->state.bytesTaken += take;
  return Complete(irp, STATUS_SUCCESS, take);
}

static NTSTATUS Read(Printer* p, PIRP irp, ULONG n) {
  p->state.reads++;
  p->state.lastReadLength = n;
  NTSTATUS troubled;
  if (Troubled(p, irp, n, 0, &troubled)) return troubled;
  return ReadFeed(&p->feed, irp, TakeOne(&p->shorten) ? n / 2 : n);
}

static NTSTATUS Transfer(Printer* p, PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  if (sp->MajorFunction == IRP_MJ_WRITE) return Write(p, irp, sp->Parameters.Write.Length);
  return Read(p, irp, sp->Parameters.Read.Length);
}

/* The held transfers complete as if they had just come. */
static void LetGo(Printer* p) {
  PIRP irps[HELD_MAX];
  ULONG n = LetGoHeld(&p->held, irps);
  for (ULONG i = 0; i < n; ++i) Transfer(p, irps[i]);
}

static ULONG Length(const WCHAR* s) {
  ULONG n = 0;
  while (s[n]) ++n;
  return n;
}

/* The IDs that the interface registration asks the device for. */
static NTSTATUS QueryId(Printer* p, PIRP irp, PIO_STACK_LOCATION sp) {
  const WCHAR* id;
  if (sp->Parameters.QueryId.IdType == BusQueryDeviceID) id = kDeviceId;
  else if (sp->Parameters.QueryId.IdType == BusQueryInstanceID && p->device->instance)
    id = p->device->instance;
  else return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
  ULONG bytes = (Length(id) + 1) * sizeof(WCHAR);
  WCHAR* copy = (WCHAR*)ExAllocatePool(PagedPool, bytes);
  if (!copy) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  CopyBytes(copy, id, bytes);
  return Complete(irp, STATUS_SUCCESS, (ULONG_PTR)copy);
}

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT dev, PIRP irp) {
  Printer* p = (Printer*)dev->DeviceExtension;
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  if (sp->MajorFunction != IRP_MJ_DEVICE_CONTROL ||
      sp->Parameters.DeviceIoControl.IoControlCode < VELA_USB_SET) {
    libraryRequests++;
  }
  switch (sp->MajorFunction) {
    case IRP_MJ_CREATE:
      p->state.creates++;
      return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLOSE:
      p->state.closes++;
      return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_WRITE:
    case IRP_MJ_READ:
      if (HoldTransfer(&p->held, irp)) return STATUS_PENDING;
      return Transfer(p, irp);
    case IRP_MJ_DEVICE_CONTROL:
      return Control(p, irp, sp);
    case IRP_MJ_PNP:
      if (sp->MinorFunction == IRP_MN_QUERY_ID) return QueryId(p, irp, sp);
      return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    default:
      return Complete(irp, STATUS_SUCCESS, 0);
  }
}

/* wine marks the device's Enum key Phantom when the server stops, and a
 * phantom device's interface does not register again: clear the mark. */
static void ClearPhantom(const WCHAR* instance) {
  WCHAR path[160];
  WCHAR head[] = L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\USB\\VID_0F3C&PID_0002\\";
  MakeName(path, head, instance);
  UNICODE_STRING name, value;
  OBJECT_ATTRIBUTES attributes;
  HANDLE key;
  RtlInitUnicodeString(&name, path);
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, NULL, NULL);
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_ALL_ACCESS, &attributes))) return;
  RtlInitUnicodeString(&value, L"Phantom");
  ZwDeleteValueKey(key, &value);
  ZwClose(key);
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver) {
  (void)driver;
  for (ULONG i = 0; i < DEVICES; ++i) {
    if (interfaces[i].Buffer) {
      IoSetDeviceInterfaceState(&interfaces[i], FALSE);
      RtlFreeUnicodeString(&interfaces[i]);
    }
    DeleteNamedDevice(kDevices[i].name, devices[i]);
  }
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING path) {
  (void)path;
  for (ULONG m = 0; m <= IRP_MJ_MAXIMUM_FUNCTION; ++m) driver->MajorFunction[m] = Dispatch;
  driver->DriverUnload = Unload;
  for (ULONG i = 0; i < DEVICES; ++i) {
    NTSTATUS s = CreateNamedDevice(driver, kDevices[i].name, sizeof(Printer), &devices[i]);
    if (!NT_SUCCESS(s)) return s;
    Printer* p = (Printer*)devices[i]->DeviceExtension;
    p->device = &kDevices[i];
    Clear(p);
    if (kDevices[i].instance) {
      ClearPhantom(kDevices[i].instance);
      s = IoRegisterDeviceInterface(devices[i], &kInterfaceClass, NULL, &interfaces[i]);
      if (!NT_SUCCESS(s)) return s;
      IoSetDeviceInterfaceState(&interfaces[i], TRUE);
    }
  }
  return STATUS_SUCCESS;
}
