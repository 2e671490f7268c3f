/* The virtual pad bus: the function driver of one root-enumerated device. Its device object
 * is also the control device \\.\WinePadBus, through which winepad.exe plugs pads in, feeds
 * their input reports, collects what the host sends them and unplugs them. Each pad is a
 * child physical device object; the pad's HID minidriver (PadHid.c) sits on it and passes the
 * HID class driver's requests down to it, where this file answers them. */
#include "HidMinidriver.h"
#include "PadControl.h"

#define POOL_TAG 0x64615057u /* "WPad" as it reads in a pool dump */

typedef enum DeviceKind { BusDevice = 1, PadDevice = 2 } DeviceKind;

typedef struct BusExtension {
    DeviceKind kind;
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT physical;
    PDEVICE_OBJECT lower;
    UNICODE_STRING link;
} BusExtension;

typedef struct PadExtension {
    DeviceKind kind;
    PDEVICE_OBJECT self;
    LIST_ENTRY entry; /* in Pads */
    ULONG id;
    USHORT vendorId;
    USHORT productId;
    USHORT version;
    USHORT descriptorLength;
    PUCHAR descriptor;
    BOOLEAN plugged;   /* false once unplugged: no longer reported among the bus's children */
    LIST_ENTRY inputs; /* QueuedReport: input reports no read has taken yet */
    ULONG inputCount;
    LIST_ENTRY reads; /* pending IOCTL_HID_READ_REPORT requests */
} PadExtension;

typedef struct QueuedReport {
    LIST_ENTRY entry;
    WinePadReport header;
    UCHAR bytes[1];
} QueuedReport;

/* Everything below is guarded by Lock; nothing waits or calls back into this file while
 * holding it. */
static KSPIN_LOCK Lock;
static KIRQL LockIrql;
static BusExtension* Bus;
static LIST_ENTRY Pads;
static ULONG NextPadId = 1;
static LONG ControlOpens;
static LIST_ENTRY SentReports; /* QueuedReport: what the host sent that nobody collected yet */
static ULONG SentCount;
static LIST_ENTRY SentWaiters; /* pending IOCTL_WINEPAD_NEXT_SENT requests */

static void Acquire(void) {
    KIRQL irql;
    KeAcquireSpinLock(&Lock, &irql);
    LockIrql = irql;
}

static void Release(void) {
    KeReleaseSpinLock(&Lock, LockIrql);
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* ---- Pending requests that a cancel can end (the cancel routine always completes) ---- */

static VOID NTAPI CancelQueuedIrp(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Acquire();
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    Release();
    Complete(irp, STATUS_CANCELLED, 0);
}

/* Under Lock. Returns STATUS_PENDING, or STATUS_CANCELLED when the request is already cancelled
 * (the caller completes it then). */
static NTSTATUS QueueIrp(PLIST_ENTRY queue, PIRP irp) {
    IoSetCancelRoutine(irp, CancelQueuedIrp);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
        return STATUS_CANCELLED;
    }
    IoMarkIrpPending(irp);
    InsertTailList(queue, &irp->Tail.Overlay.ListEntry);
    return STATUS_PENDING;
}

/* Under Lock: the oldest queued request whose cancel routine has not started, or NULL. */
static PIRP DequeueIrp(PLIST_ENTRY queue) {
    while (!IsListEmpty(queue)) {
        PLIST_ENTRY entry = RemoveHeadList(queue);
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, NULL) != NULL) {
            return irp;
        }
        InitializeListHead(entry); /* its cancel routine is running and completes it */
    }
    return NULL;
}

/* ---- Queued reports ---- */

static QueuedReport* NewReport(const WinePadReport* header, const UCHAR* bytes) {
    QueuedReport* report =
        ExAllocatePoolWithTag(NonPagedPool, sizeof(QueuedReport) + header->length, POOL_TAG);
    if (report != NULL) {
        report->header = *header;
        RtlCopyMemory(report->bytes, bytes, header->length);
    }
    return report;
}

static void FreeReports(PLIST_ENTRY list) {
    while (!IsListEmpty(list)) {
        ExFreePoolWithTag(CONTAINING_RECORD(RemoveHeadList(list), QueuedReport, entry), POOL_TAG);
    }
}

/* Completes a NEXT_SENT request with a report: the header, then as many bytes as fit. */
static void DeliverSent(PIRP irp, const WinePadReport* header, const UCHAR* bytes) {
    const ULONG room =
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    PUCHAR out = irp->AssociatedIrp.SystemBuffer;
    ULONG copied = room > sizeof *header ? room - sizeof *header : 0;
    if (copied > header->length) {
        copied = header->length;
    }
    RtlCopyMemory(out, header, sizeof *header);
    RtlCopyMemory(out + sizeof *header, bytes, copied);
    Complete(irp, STATUS_SUCCESS, sizeof *header + copied);
}

/* A report the host sent to a pad: to a waiting collector, or queued for the next one. */
static void RecordSent(ULONG padId, ULONG kind, const PadHidXferPacket* packet) {
    WinePadReport header;
    header.padId = padId;
    header.kind = kind;
    header.reportId = packet->reportId;
    header.length =
        packet->reportBufferLen > WINEPAD_MAX_REPORT ? WINEPAD_MAX_REPORT : packet->reportBufferLen;
    Acquire();
    PIRP waiter = DequeueIrp(&SentWaiters);
    if (waiter != NULL) {
        Release();
        DeliverSent(waiter, &header, packet->reportBuffer);
        return;
    }
    if (SentCount < WINEPAD_MAX_QUEUED) {
        QueuedReport* report = NewReport(&header, packet->reportBuffer);
        if (report != NULL) {
            InsertTailList(&SentReports, &report->entry);
            ++SentCount;
        }
    }
    Release();
}

/* ---- Identifiers ---- */

static PWCHAR AppendText(PWCHAR at, const WCHAR* text) {
    while (*text != 0) {
        *at++ = *text++;
    }
    return at;
}

static PWCHAR AppendHex4(PWCHAR at, USHORT value) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) {
        *at++ = digits[(value >> shift) & 0xF];
    }
    return at;
}

static PWCHAR AppendDecimal(PWCHAR at, ULONG value) {
    WCHAR reversed[10];
    int count = 0;
    do {
        reversed[count++] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        *at++ = reversed[--count];
    }
    return at;
}

/* WINEPAD\VID_xxxx&PID_xxxx */
static PWCHAR AppendDeviceId(PWCHAR at, const PadExtension* pad) {
    at = AppendText(at, L"WINEPAD\\VID_");
    at = AppendHex4(at, pad->vendorId);
    at = AppendText(at, L"&PID_");
    return AppendHex4(at, pad->productId);
}

/* The identifier the PnP manager asks for, in pool memory it frees; NULL for other kinds. */
static PWCHAR QueryId(const PadExtension* pad, BUS_QUERY_ID_TYPE type) {
    PWCHAR id = ExAllocatePoolWithTag(PagedPool, 128 * sizeof(WCHAR), POOL_TAG);
    PWCHAR at = id;
    if (id == NULL) {
        return NULL;
    }
    switch (type) {
        case BusQueryDeviceID:
            at = AppendDeviceId(at, pad);
            break;
        case BusQueryInstanceID:
            at = AppendDecimal(at, pad->id);
            break;
        case BusQueryHardwareIDs:
            at = AppendDeviceId(at, pad) + 1;
            at = AppendText(at, L"WINEPAD\\PAD") + 1;
            break;
        case BusQueryCompatibleIDs:
            at = AppendText(at, L"WINEPAD\\PAD") + 1;
            break;
        default:
            ExFreePoolWithTag(id, POOL_TAG);
            return NULL;
    }
    *at = 0;
    return id;
}

/* ---- The pads: plug, unplug, input ---- */

/* Under Lock. */
static PadExtension* FindPad(ULONG id) {
    for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
        PadExtension* pad = CONTAINING_RECORD(entry, PadExtension, entry);
        if (pad->id == id && pad->plugged) {
            return pad;
        }
    }
    return NULL;
}

static void FailReads(PLIST_ENTRY reads, NTSTATUS status) {
    PIRP irp;
    while ((irp = DequeueIrp(reads)) != NULL) {
        Complete(irp, status, 0);
    }
}

static void AnnounceChildren(void) {
    if (Bus != NULL) {
        IoInvalidateDeviceRelations(Bus->physical, BusRelations);
    }
}

static NTSTATUS Plug(PIRP irp, ULONG inLength, ULONG outLength) {
    const WinePadPlug* request = irp->AssociatedIrp.SystemBuffer;
    if (inLength < sizeof *request || outLength < sizeof(ULONG) || request->descriptorLength == 0 ||
        request->descriptorLength > WINEPAD_MAX_DESCRIPTOR ||
        inLength < sizeof *request + request->descriptorLength) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    WCHAR nameText[32];
    UNICODE_STRING name;
    Acquire();
    const ULONG id = NextPadId++;
    Release();
    *AppendDecimal(AppendText(nameText, L"\\Device\\WinePad"), id) = 0;
    RtlInitUnicodeString(&name, nameText);
    PDEVICE_OBJECT device;
    NTSTATUS status = IoCreateDevice(Bus->self->DriverObject, sizeof(PadExtension), &name,
                                     FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        return Complete(irp, status, 0);
    }
    PadExtension* pad = device->DeviceExtension;
    RtlZeroMemory(pad, sizeof *pad);
    pad->descriptor = ExAllocatePoolWithTag(NonPagedPool, request->descriptorLength, POOL_TAG);
    if (pad->descriptor == NULL) {
        IoDeleteDevice(device);
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    RtlCopyMemory(pad->descriptor, request + 1, request->descriptorLength);
    pad->kind = PadDevice;
    pad->self = device;
    pad->id = id;
    pad->vendorId = request->vendorId;
    pad->productId = request->productId;
    pad->version = request->version;
    pad->descriptorLength = request->descriptorLength;
    pad->plugged = TRUE;
    InitializeListHead(&pad->inputs);
    InitializeListHead(&pad->reads);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    Acquire();
    InsertTailList(&Pads, &pad->entry);
    Release();
    AnnounceChildren();
    *(ULONG*)irp->AssociatedIrp.SystemBuffer = id;
    return Complete(irp, STATUS_SUCCESS, sizeof(ULONG));
}

/* Under Lock: the pad leaves the bus; its pending reads fail as a device that is gone. */
static void Detach(PadExtension* pad) {
    pad->plugged = FALSE;
    FreeReports(&pad->inputs);
    pad->inputCount = 0;
    FailReads(&pad->reads, STATUS_DEVICE_NOT_CONNECTED);
}

static NTSTATUS Unplug(PIRP irp, ULONG inLength) {
    if (inLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    Acquire();
    PadExtension* pad = FindPad(*(const ULONG*)irp->AssociatedIrp.SystemBuffer);
    if (pad != NULL) {
        Detach(pad);
    }
    Release();
    if (pad == NULL) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    AnnounceChildren();
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* Completes a read with one input report, cut to the class driver's buffer. */
static void DeliverInput(PIRP irp, const UCHAR* bytes, ULONG length) {
    const ULONG room =
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    const ULONG copied = length < room ? length : room;
    RtlCopyMemory(irp->UserBuffer, bytes, copied);
    Complete(irp, STATUS_SUCCESS, copied);
}

static NTSTATUS Input(PIRP irp, ULONG inLength) {
    const WinePadReport* header = irp->AssociatedIrp.SystemBuffer;
    if (inLength < sizeof *header || header->length == 0 || header->length > WINEPAD_MAX_REPORT ||
        inLength < sizeof *header + header->length) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    const UCHAR* bytes = (const UCHAR*)(header + 1);
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    PadExtension* pad = FindPad(header->padId);
    PIRP read = pad != NULL ? DequeueIrp(&pad->reads) : NULL;
    if (pad == NULL) {
        status = STATUS_NO_SUCH_DEVICE;
    } else if (read != NULL) {
        DeliverInput(read, bytes, header->length);
    } else if (pad->inputCount >= WINEPAD_MAX_QUEUED) {
        status = STATUS_DEVICE_BUSY;
    } else {
        QueuedReport* report = NewReport(header, bytes);
        if (report == NULL) {
            status = STATUS_INSUFFICIENT_RESOURCES;
        } else {
            InsertTailList(&pad->inputs, &report->entry);
            ++pad->inputCount;
        }
    }
    Release();
    return Complete(irp, status, 0);
}

static NTSTATUS NextSent(PIRP irp, ULONG outLength) {
    if (outLength < sizeof(WinePadReport)) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    Acquire();
    if (!IsListEmpty(&SentReports)) {
        QueuedReport* report = CONTAINING_RECORD(RemoveHeadList(&SentReports), QueuedReport, entry);
        --SentCount;
        Release();
        DeliverSent(irp, &report->header, report->bytes);
        ExFreePoolWithTag(report, POOL_TAG);
        return STATUS_SUCCESS;
    }
    NTSTATUS status = QueueIrp(&SentWaiters, irp);
    Release();
    return status == STATUS_PENDING ? status : Complete(irp, status, 0);
}

/* ---- The control device (the bus's own device object) ---- */

static void UnplugAll(void) {
    Acquire();
    for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
        PadExtension* pad = CONTAINING_RECORD(entry, PadExtension, entry);
        if (pad->plugged) {
            Detach(pad);
        }
    }
    FreeReports(&SentReports);
    SentCount = 0;
    Release();
    AnnounceChildren();
}

static NTSTATUS BusControl(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
        case IOCTL_WINEPAD_PLUG:
            return Plug(irp, inLength, outLength);
        case IOCTL_WINEPAD_UNPLUG:
            return Unplug(irp, inLength);
        case IOCTL_WINEPAD_INPUT:
            return Input(irp, inLength);
        case IOCTL_WINEPAD_NEXT_SENT:
            return NextSent(irp, outLength);
        default:
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

/* ---- A pad's requests from its HID minidriver ---- */

static NTSTATUS ReadReport(PadExtension* pad, PIRP irp) {
    Acquire();
    if (!pad->plugged) {
        Release();
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    if (!IsListEmpty(&pad->inputs)) {
        QueuedReport* report = CONTAINING_RECORD(RemoveHeadList(&pad->inputs), QueuedReport, entry);
        --pad->inputCount;
        Release();
        DeliverInput(irp, report->bytes, report->header.length);
        ExFreePoolWithTag(report, POOL_TAG);
        return STATUS_SUCCESS;
    }
    NTSTATUS status = QueueIrp(&pad->reads, irp);
    Release();
    return status == STATUS_PENDING ? status : Complete(irp, status, 0);
}

/* The class driver passes the report of a write in a transfer packet; where it puts the
 * packet pointer differs between systems, so both places are looked at. */
static NTSTATUS SendReport(PadExtension* pad, PIRP irp, ULONG kind) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const PadHidXferPacket* packet = irp->UserBuffer;
    if (packet == NULL) {
        packet = stack->Parameters.DeviceIoControl.Type3InputBuffer;
    }
    if (packet == NULL || packet->reportBuffer == NULL) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    if (!pad->plugged) {
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    RecordSent(pad->id, kind, packet);
    return Complete(irp, STATUS_SUCCESS, packet->reportBufferLen);
}

static NTSTATUS CopyOut(PIRP irp, const void* data, ULONG length) {
    const ULONG room =
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    if (room < length) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    RtlCopyMemory(irp->UserBuffer, data, length);
    return Complete(irp, STATUS_SUCCESS, length);
}

static NTSTATUS PadHidRequest(PadExtension* pad, PIRP irp) {
    PadHidDescriptor descriptor;
    PadHidDeviceAttributes attributes;
    switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
        case PAD_IOCTL_HID_GET_DEVICE_DESCRIPTOR:
            RtlZeroMemory(&descriptor, sizeof descriptor);
            descriptor.bLength = sizeof descriptor;
            descriptor.bDescriptorType = PAD_HID_HID_DESCRIPTOR_TYPE;
            descriptor.bcdHID = 0x0111;
            descriptor.bNumDescriptors = 1;
            descriptor.bReportType = PAD_HID_REPORT_DESCRIPTOR_TYPE;
            descriptor.wReportLength = pad->descriptorLength;
            return CopyOut(irp, &descriptor, sizeof descriptor);
        case PAD_IOCTL_HID_GET_REPORT_DESCRIPTOR:
            return CopyOut(irp, pad->descriptor, pad->descriptorLength);
        case PAD_IOCTL_HID_GET_DEVICE_ATTRIBUTES:
            RtlZeroMemory(&attributes, sizeof attributes);
            attributes.Size = sizeof attributes;
            attributes.VendorID = pad->vendorId;
            attributes.ProductID = pad->productId;
            attributes.VersionNumber = pad->version;
            return CopyOut(irp, &attributes, sizeof attributes);
        case PAD_IOCTL_HID_READ_REPORT:
            return ReadReport(pad, irp);
        case PAD_IOCTL_HID_WRITE_REPORT:
            return SendReport(pad, irp, WinePadWriteReport);
        case PAD_IOCTL_HID_SET_OUTPUT_REPORT:
            return SendReport(pad, irp, WinePadSetOutputReport);
        case PAD_IOCTL_HID_SET_FEATURE:
            return SendReport(pad, irp, WinePadSetFeature);
        default:
            return Complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

/* ---- Plug and Play ---- */

static PDEVICE_RELATIONS NewRelations(ULONG capacity) {
    return ExAllocatePoolWithTag(
        PagedPool, FIELD_OFFSET(DEVICE_RELATIONS, Objects) + capacity * sizeof(PDEVICE_OBJECT),
        POOL_TAG);
}

/* The pads still plugged in, each referenced for the PnP manager. */
static PDEVICE_RELATIONS PluggedPads(void) {
    Acquire();
    ULONG count = 0;
    for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
        count += CONTAINING_RECORD(entry, PadExtension, entry)->plugged ? 1 : 0;
    }
    PDEVICE_RELATIONS relations = NewRelations(count);
    if (relations != NULL) {
        relations->Count = 0;
        for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
            PadExtension* pad = CONTAINING_RECORD(entry, PadExtension, entry);
            if (pad->plugged) {
                ObReferenceObject(pad->self);
                relations->Objects[relations->Count++] = pad->self;
            }
        }
    }
    Release();
    return relations;
}

static NTSTATUS BusPnp(BusExtension* bus, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    PDEVICE_OBJECT lower = bus->lower;
    switch (stack->MinorFunction) {
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            if (stack->Parameters.QueryDeviceRelations.Type == BusRelations) {
                PDEVICE_RELATIONS relations = PluggedPads();
                if (relations == NULL) {
                    return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
                }
                irp->IoStatus.Information = (ULONG_PTR)relations;
                irp->IoStatus.Status = STATUS_SUCCESS;
            }
            break;
        case IRP_MN_REMOVE_DEVICE:
            UnplugAll();
            Acquire();
            Bus = NULL;
            Release();
            IoDeleteSymbolicLink(&bus->link);
            irp->IoStatus.Status = STATUS_SUCCESS;
            IoSkipCurrentIrpStackLocation(irp);
            NTSTATUS status = IoCallDriver(lower, irp);
            IoDetachDevice(lower);
            IoDeleteDevice(bus->self);
            return status;
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
            irp->IoStatus.Status = STATUS_SUCCESS;
            break;
        default:
            break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

static NTSTATUS PadRelations(PadExtension* pad, PIRP irp) {
    if (IoGetCurrentIrpStackLocation(irp)->Parameters.QueryDeviceRelations.Type !=
        TargetDeviceRelation) {
        return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
    PDEVICE_RELATIONS relations = NewRelations(1);
    if (relations == NULL) {
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    ObReferenceObject(pad->self);
    relations->Count = 1;
    relations->Objects[0] = pad->self;
    return Complete(irp, STATUS_SUCCESS, (ULONG_PTR)relations);
}

/* The PnP manager removes a pad: once unplugged, its device object goes with it. */
static NTSTATUS RemovePad(PadExtension* pad, PIRP irp) {
    Acquire();
    FailReads(&pad->reads, STATUS_DELETE_PENDING);
    const BOOLEAN gone = !pad->plugged;
    if (gone) {
        RemoveEntryList(&pad->entry);
    }
    Release();
    Complete(irp, STATUS_SUCCESS, 0);
    if (gone) {
        ExFreePoolWithTag(pad->descriptor, POOL_TAG);
        IoDeleteDevice(pad->self);
    }
    return STATUS_SUCCESS;
}

static NTSTATUS PadPnp(PadExtension* pad, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    PWCHAR id;
    switch (stack->MinorFunction) {
        case IRP_MN_QUERY_ID:
            id = QueryId(pad, stack->Parameters.QueryId.IdType);
            return id != NULL ? Complete(irp, STATUS_SUCCESS, (ULONG_PTR)id)
                              : Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
        case IRP_MN_QUERY_CAPABILITIES:
            stack->Parameters.DeviceCapabilities.Capabilities->Removable = TRUE;
            stack->Parameters.DeviceCapabilities.Capabilities->SurpriseRemovalOK = TRUE;
            return Complete(irp, STATUS_SUCCESS, 0);
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            return PadRelations(pad, irp);
        case IRP_MN_SURPRISE_REMOVAL:
            Acquire();
            FailReads(&pad->reads, STATUS_DEVICE_NOT_CONNECTED);
            Release();
            return Complete(irp, STATUS_SUCCESS, 0);
        case IRP_MN_REMOVE_DEVICE:
            return RemovePad(pad, irp);
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            return Complete(irp, STATUS_SUCCESS, 0);
        default:
            return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}

/* ---- Dispatch ---- */

static DeviceKind KindOf(PDEVICE_OBJECT device) {
    return *(const DeviceKind*)device->DeviceExtension;
}

static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    return KindOf(device) == BusDevice ? BusPnp(device->DeviceExtension, irp)
                                       : PadPnp(device->DeviceExtension, irp);
}

static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    if (KindOf(device) == BusDevice) {
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(((BusExtension*)device->DeviceExtension)->lower, irp);
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) != BusDevice) {
        return Complete(irp, STATUS_ACCESS_DENIED, 0);
    }
    InterlockedIncrement(&ControlOpens);
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* The pads live as long as the control device is open: when the last handle goes, so do they. */
static NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) == BusDevice && InterlockedDecrement(&ControlOpens) == 0) {
        UnplugAll();
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    return KindOf(device) == BusDevice ? BusControl(irp)
                                       : Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static NTSTATUS NTAPI DispatchInternalControl(PDEVICE_OBJECT device, PIRP irp) {
    return KindOf(device) == PadDevice ? PadHidRequest(device->DeviceExtension, irp)
                                       : Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physical) {
    UNICODE_STRING name;
    PDEVICE_OBJECT device;
    RtlInitUnicodeString(&name, WINEPAD_CONTROL_NAME);
    NTSTATUS status = IoCreateDevice(driver, sizeof(BusExtension), &name, FILE_DEVICE_BUS_EXTENDER,
                                     0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    BusExtension* bus = device->DeviceExtension;
    RtlZeroMemory(bus, sizeof *bus);
    bus->kind = BusDevice;
    bus->self = device;
    bus->physical = physical;
    RtlInitUnicodeString(&bus->link, WINEPAD_CONTROL_LINK);
    status = IoCreateSymbolicLink(&bus->link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    bus->lower = IoAttachDeviceToDeviceStack(device, physical);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    Acquire();
    Bus = bus;
    Release();
    return STATUS_SUCCESS;
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    (void)registryPath;
    KeInitializeSpinLock(&Lock);
    InitializeListHead(&Pads);
    InitializeListHead(&SentReports);
    InitializeListHead(&SentWaiters);
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalControl;
    return STATUS_SUCCESS;
}
