/* What the files of the pad bus driver share: the kinds of its device objects, its one lock,
 * the queues of pending requests and of reports, and the entry points of each kind of pad.
 *
 * The lock guards every list and every pad's state. Nothing waits, allocates paged memory or
 * completes a request while holding it: requests that end under the lock are gathered in a
 * local list (Finish) and completed once it is released (CompleteFinished). */
#pragma once

#include "HidMinidriver.h"
#include "PadControl.h"

#define POOL_TAG 0x64615057u /* "WPad" as it reads in a pool dump */

typedef enum DeviceKind { BusDevice = 1, HidPadDevice, PipePadDevice, PortDevice } DeviceKind;

/* The first members of every pad's device extension. */
typedef struct PadHeader {
    DeviceKind kind;
    PDEVICE_OBJECT self;
    LIST_ENTRY entry; /* in the bus's list of pads until the pad's device object goes */
    ULONG id;
    BOOLEAN plugged; /* false once unplugged */
} PadHeader;

typedef struct QueuedReport {
    LIST_ENTRY entry;
    WinePadReport header;
    UCHAR bytes[1];
} QueuedReport;

/* ---- PadRequests.c ---- */

void InitializeLock(void);
void Acquire(void);
void Release(void);
NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information);

/* Under the lock: the request is done; CompleteFinished completes it after the lock. */
void Finish(PLIST_ENTRY finished, PIRP irp, NTSTATUS status, ULONG_PTR information);
void CompleteFinished(PLIST_ENTRY finished);
/* Under the lock: every request still in `queue` ends with `status`, but those whose cancel
 * routine has started (it completes them). */
void FinishAll(PLIST_ENTRY queue, PLIST_ENTRY finished, NTSTATUS status);

/* Under the lock. Pends a request on `queue` with a cancel routine that takes it off the queue
 * and completes it (CancelQueuedIrp, or the given one). STATUS_PENDING, or STATUS_CANCELLED when
 * it is cancelled already (the caller completes it then). */
NTSTATUS QueueIrp(PLIST_ENTRY queue, PIRP irp, PDRIVER_CANCEL cancel);
VOID NTAPI CancelQueuedIrp(PDEVICE_OBJECT device, PIRP irp);
/* Under the lock: the oldest queued request whose cancel routine has not started, or NULL. */
PIRP DequeueIrp(PLIST_ENTRY queue);
/* Under the lock: takes the request off its queue unless its cancel routine has started. */
BOOLEAN TakeIrp(PIRP irp);

QueuedReport* NewReport(const WinePadReport* header, const UCHAR* bytes);
void FreeReports(PLIST_ENTRY list);

PWCHAR AppendText(PWCHAR at, const WCHAR* text);
PWCHAR AppendDecimal(PWCHAR at, ULONG value);
/* The buffer of a read or a write: the system's copy on a device with buffered I/O. */
PVOID RequestBuffer(PDEVICE_OBJECT device, PIRP irp);

/* ---- PadBus.c ---- */

/* Something the host sent to a pad: to a waiting collector, or queued for the next one. */
void RecordSent(ULONG padId, ULONG kind, ULONG reportId, const UCHAR* bytes, ULONG length);

/* A new pad's device object, its extension zeroed but for the header, named
 * \Device\WinePad<kind name><id>; NULL on failure. */
PadHeader* NewPad(DeviceKind kind, const WCHAR* kindName, ULONG extensionSize, DEVICE_TYPE type);
/* The pad joins the bus's list (and, a HID or pipe pad, its children: the PnP manager is told). */
void AddPad(PadHeader* pad);
/* Under the lock: every pad, in the order they were plugged. */
PLIST_ENTRY PadList(void);
void AnnounceChildren(void);

/* The PnP requests that every child of the bus answers alike; FALSE for the others. */
BOOLEAN AnswerChildPnp(PadHeader* pad, PIRP irp, const WCHAR* deviceId, const WCHAR* compatibleId,
                       BOOLEAN raw, NTSTATUS* status);
/* Under the lock: whether the caller is to delete the pad: it is unplugged and still on the bus's
 * list, which it then leaves, so that only one caller ever deletes it. */
BOOLEAN LeaveIfUnplugged(PadHeader* pad);
/* The PnP manager removes a child: its pending reads fail, the request is answered, and TRUE
 * says that the child, unplugged, is to be deleted now. */
BOOLEAN RemoveChild(PadHeader* pad, PLIST_ENTRY reads, PIRP irp);

/* ---- HidPads.c ---- */

NTSTATUS PlugHidPad(PIRP irp, ULONG inLength, ULONG outLength);
/* Under the lock: the pad leaves the bus; its pending reads fail as a device that is gone. */
void UnplugHidPad(PadHeader* pad, PLIST_ENTRY finished);
NTSTATUS HidPadInput(PadHeader* pad, const UCHAR* bytes, ULONG length);
NTSTATUS HidPadInternalControl(PadHeader* pad, PIRP irp);
NTSTATUS HidPadPnp(PadHeader* pad, PIRP irp);
void DeleteHidPad(PadHeader* pad);

/* ---- PipePads.c ---- */

NTSTATUS PlugPipePad(PIRP irp, ULONG outLength);
/* Under the lock: the pad leaves the bus; its reads, held ones too, fail. */
void UnplugPipePad(PadHeader* pad, PLIST_ENTRY finished);
NTSTATUS PipePadInput(PadHeader* pad, const UCHAR* bytes, ULONG length);
NTSTATUS PipePadHoldReads(PadHeader* pad, BOOLEAN hold);
NTSTATUS PipePadDispatch(PadHeader* pad, PIRP irp);
NTSTATUS PipePadPnp(PadHeader* pad, PIRP irp);
void DeletePipePad(PadHeader* pad);

/* ---- SerialPorts.c, SerialReceive.c ---- */

NTSTATUS StartSerialPorts(void);
void StopSerialPorts(void);
NTSTATUS PlugPort(PIRP irp, ULONG inLength, ULONG outLength);
/* The port is pulled out: its name and its SERIALCOMM entry go, its requests fail, and its
 * device object goes once no handle is open. */
NTSTATUS UnplugPort(PadHeader* port);
NTSTATUS PortInput(PadHeader* port, const UCHAR* bytes, ULONG length);
NTSTATUS PortSetting(PadHeader* port, ULONG kind, ULONG value);
NTSTATUS PortState(PadHeader* port, PIRP irp, ULONG outLength);
NTSTATUS PortDispatch(PadHeader* port, PIRP irp);
void DeletePort(PadHeader* port);
