/* The virtual pad bus: the function driver of one root-enumerated device. Its device object
 * is also the control device \\.\WinePadBus, through which winepad.exe plugs pads in, feeds
 * them, collects what the host sends them and unplugs them. HID and pipe pads are child
 * physical device objects of the bus; serial ports are device objects of their own with a COM
 * name. This file holds what they share: the lock, the request queues, the list of pads, the
 * bus's Plug and Play, the control requests and the dispatch by kind. */
#include "PadBus.h"

typedef struct BusExtension {
    DeviceKind kind;
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT physical;
    PDEVICE_OBJECT lower;
    UNICODE_STRING link;
} BusExtension;

static PDRIVER_OBJECT Driver;
/* Guarded by the lock. */
static BusExtension* Bus;
static LIST_ENTRY Pads; /* PadHeader */
static ULONG NextPadId = 1;
static LIST_ENTRY SentReports; /* QueuedReport: what the host sent that nobody collected yet */
static ULONG SentCount;
static LIST_ENTRY SentWaiters; /* pending IOCTL_WINEPAD_NEXT_SENT requests */
static LONG ControlOpens;

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

void RecordSent(ULONG padId, ULONG kind, ULONG reportId, const UCHAR* bytes, ULONG length) {
    WinePadReport header;
    header.padId = padId;
    header.kind = kind;
    header.reportId = reportId;
    header.length = length > WINEPAD_MAX_REPORT ? WINEPAD_MAX_REPORT : length;
    QueuedReport* report = NewReport(&header, bytes);
    Acquire();
    PIRP waiter = DequeueIrp(&SentWaiters);
    if (waiter == NULL && report != NULL && SentCount < WINEPAD_MAX_QUEUED) {
        InsertTailList(&SentReports, &report->entry);
        ++SentCount;
        report = NULL;
    }
    Release();
    if (waiter != NULL) {
        DeliverSent(waiter, &header, bytes);
    }
    if (report != NULL) {
        ExFreePoolWithTag(report, POOL_TAG);
    }
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
    NTSTATUS status = QueueIrp(&SentWaiters, irp, NULL);
    Release();
    return status == STATUS_PENDING ? status : Complete(irp, status, 0);
}

/* ---- The pads ---- */

PadHeader* NewPad(DeviceKind kind, const WCHAR* kindName, ULONG extensionSize, DEVICE_TYPE type) {
    Acquire();
    const ULONG id = NextPadId++;
    Release();
    WCHAR nameText[48];
    *AppendDecimal(AppendText(AppendText(nameText, L"\\Device\\WinePad"), kindName), id) = 0;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, nameText);
    PDEVICE_OBJECT device;
    if (!NT_SUCCESS(IoCreateDevice(Driver, extensionSize, &name, type, 0, FALSE, &device))) {
        return NULL;
    }
    PadHeader* pad = device->DeviceExtension;
    RtlZeroMemory(pad, extensionSize);
    pad->kind = kind;
    pad->self = device;
    pad->id = id;
    pad->plugged = TRUE;
    InitializeListHead(&pad->entry);
    return pad;
}

void AddPad(PadHeader* pad) {
    pad->self->Flags &= ~DO_DEVICE_INITIALIZING;
    Acquire();
    InsertTailList(&Pads, &pad->entry);
    Release();
    if (pad->kind != PortDevice) {
        AnnounceChildren();
    }
}

PLIST_ENTRY PadList(void) {
    return &Pads;
}

/* Under Lock. */
static PadHeader* FindPad(ULONG id) {
    for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
        PadHeader* pad = CONTAINING_RECORD(entry, PadHeader, entry);
        if (pad->id == id && pad->plugged) {
            return pad;
        }
    }
    return NULL;
}

void AnnounceChildren(void) {
    PDEVICE_OBJECT physical = NULL;
    Acquire();
    if (Bus != NULL) {
        physical = Bus->physical;
    }
    Release();
    if (physical != NULL) {
        IoInvalidateDeviceRelations(physical, BusRelations);
    }
}

static BOOLEAN IsChild(const PadHeader* pad) {
    return pad->kind == HidPadDevice || pad->kind == PipePadDevice;
}

/* A plugged pad by id, referenced so that it outlives a removal that runs meanwhile; NULL when
 * there is none. Released with ObDereferenceObject(pad->self). */
static PadHeader* ReferencePad(ULONG id) {
    Acquire();
    PadHeader* pad = FindPad(id);
    if (pad != NULL) {
        ObReferenceObject(pad->self);
    }
    Release();
    return pad;
}

static NTSTATUS UnplugPad(PadHeader* pad) {
    if (pad->kind == PortDevice) {
        return UnplugPort(pad);
    }
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    if (pad->plugged && pad->kind == HidPadDevice) {
        UnplugHidPad(pad, &finished);
    } else if (pad->plugged) {
        UnplugPipePad(pad, &finished);
    }
    Release();
    CompleteFinished(&finished);
    AnnounceChildren();
    return STATUS_SUCCESS;
}

static NTSTATUS Unplug(PIRP irp, ULONG inLength) {
    if (inLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    PadHeader* pad = ReferencePad(*(const ULONG*)irp->AssociatedIrp.SystemBuffer);
    if (pad == NULL) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    const NTSTATUS status = UnplugPad(pad);
    ObDereferenceObject(pad->self);
    return Complete(irp, status, 0);
}

static NTSTATUS Input(PIRP irp, ULONG inLength) {
    const WinePadReport* header = irp->AssociatedIrp.SystemBuffer;
    if (inLength < sizeof *header || header->length == 0 || header->length > WINEPAD_MAX_REPORT ||
        inLength < sizeof *header + header->length) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    PadHeader* pad = ReferencePad(header->padId);
    if (pad == NULL) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    const UCHAR* bytes = (const UCHAR*)(header + 1);
    NTSTATUS status;
    switch (pad->kind) {
        case HidPadDevice:
            status = HidPadInput(pad, bytes, header->length);
            break;
        case PipePadDevice:
            status = PipePadInput(pad, bytes, header->length);
            break;
        default:
            status = PortInput(pad, bytes, header->length);
            break;
    }
    ObDereferenceObject(pad->self);
    return Complete(irp, status, 0);
}

static NTSTATUS Set(PIRP irp, ULONG inLength) {
    const WinePadSetting* setting = irp->AssociatedIrp.SystemBuffer;
    if (inLength < sizeof *setting) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    PadHeader* pad = ReferencePad(setting->padId);
    if (pad == NULL) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    if (pad->kind == PipePadDevice && setting->kind == WinePadHoldReads) {
        status = PipePadHoldReads(pad, setting->value != 0);
    } else if (pad->kind == PortDevice) {
        status = PortSetting(pad, setting->kind, setting->value);
    }
    ObDereferenceObject(pad->self);
    return Complete(irp, status, 0);
}

static NTSTATUS State(PIRP irp, ULONG inLength, ULONG outLength) {
    if (inLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    PadHeader* pad = ReferencePad(*(const ULONG*)irp->AssociatedIrp.SystemBuffer);
    if (pad == NULL) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    const NTSTATUS status = pad->kind == PortDevice ? PortState(pad, irp, outLength)
                                                    : Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    ObDereferenceObject(pad->self);
    return status;
}

/* ---- The control device (the bus's own device object) ---- */

static void UnplugAll(void) {
    for (;;) {
        Acquire();
        PadHeader* pad = NULL;
        for (PLIST_ENTRY entry = Pads.Flink; pad == NULL && entry != &Pads; entry = entry->Flink) {
            PadHeader* each = CONTAINING_RECORD(entry, PadHeader, entry);
            pad = each->plugged ? each : NULL;
        }
        if (pad != NULL) {
            ObReferenceObject(pad->self);
        }
        Release();
        if (pad == NULL) {
            break;
        }
        UnplugPad(pad);
        ObDereferenceObject(pad->self);
    }
    Acquire();
    FreeReports(&SentReports);
    SentCount = 0;
    Release();
}

static NTSTATUS BusControl(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
        case IOCTL_WINEPAD_PLUG:
            return PlugHidPad(irp, inLength, outLength);
        case IOCTL_WINEPAD_PLUG_PORT:
            return PlugPort(irp, inLength, outLength);
        case IOCTL_WINEPAD_PLUG_PIPE:
            return PlugPipePad(irp, outLength);
        case IOCTL_WINEPAD_UNPLUG:
            return Unplug(irp, inLength);
        case IOCTL_WINEPAD_INPUT:
            return Input(irp, inLength);
        case IOCTL_WINEPAD_NEXT_SENT:
            return NextSent(irp, outLength);
        case IOCTL_WINEPAD_SET:
            return Set(irp, inLength);
        case IOCTL_WINEPAD_PORT_STATE:
            return State(irp, inLength, outLength);
        default:
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

/* ---- Plug and Play of the bus and of its children ---- */

static PDEVICE_RELATIONS NewRelations(ULONG capacity) {
    return ExAllocatePoolWithTag(
        PagedPool, FIELD_OFFSET(DEVICE_RELATIONS, Objects) + capacity * sizeof(PDEVICE_OBJECT),
        POOL_TAG);
}

/* Under Lock. */
static ULONG CountPluggedChildren(void) {
    ULONG count = 0;
    for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
        const PadHeader* pad = CONTAINING_RECORD(entry, PadHeader, entry);
        count += IsChild(pad) && pad->plugged ? 1 : 0;
    }
    return count;
}

/* The children still plugged in, each referenced for the PnP manager. The list is allocated
 * outside the lock for the count seen under it, and again if more were plugged meanwhile. */
static PDEVICE_RELATIONS PluggedChildren(void) {
    Acquire();
    ULONG capacity = CountPluggedChildren();
    Release();
    for (;;) {
        PDEVICE_RELATIONS relations = NewRelations(capacity);
        if (relations == NULL) {
            return NULL;
        }
        Acquire();
        const ULONG count = CountPluggedChildren();
        if (count <= capacity) {
            relations->Count = 0;
            for (PLIST_ENTRY entry = Pads.Flink; entry != &Pads; entry = entry->Flink) {
                PadHeader* pad = CONTAINING_RECORD(entry, PadHeader, entry);
                if (IsChild(pad) && pad->plugged) {
                    ObReferenceObject(pad->self);
                    relations->Objects[relations->Count++] = pad->self;
                }
            }
            Release();
            return relations;
        }
        Release();
        ExFreePoolWithTag(relations, POOL_TAG);
        capacity = count;
    }
}

static void DeletePad(PadHeader* pad) {
    switch (pad->kind) {
        case HidPadDevice:
            DeleteHidPad(pad);
            break;
        case PipePadDevice:
            DeletePipePad(pad);
            break;
        default:
            DeletePort(pad);
            break;
    }
}

/* The bus goes: every pad still there goes with it. */
static void DeleteAllPads(void) {
    UnplugAll();
    for (;;) {
        Acquire();
        PadHeader* pad = NULL;
        if (!IsListEmpty(&Pads)) {
            pad = CONTAINING_RECORD(RemoveHeadList(&Pads), PadHeader, entry);
            InitializeListHead(&pad->entry);
        }
        Release();
        if (pad == NULL) {
            return;
        }
        DeletePad(pad);
    }
}

static NTSTATUS BusPnp(BusExtension* bus, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    PDEVICE_OBJECT lower = bus->lower;
    switch (stack->MinorFunction) {
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            if (stack->Parameters.QueryDeviceRelations.Type == BusRelations) {
                PDEVICE_RELATIONS relations = PluggedChildren();
                if (relations == NULL) {
                    return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
                }
                irp->IoStatus.Information = (ULONG_PTR)relations;
                irp->IoStatus.Status = STATUS_SUCCESS;
            }
            break;
        case IRP_MN_REMOVE_DEVICE:
            Acquire();
            Bus = NULL;
            Release();
            DeleteAllPads();
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

/* The identifier the PnP manager asks for, in pool memory it frees; NULL for other kinds. The
 * instance id is the pad id; the hardware ids are the device id and the compatible id. */
static PWCHAR QueryId(const PadHeader* pad, BUS_QUERY_ID_TYPE type, const WCHAR* deviceId,
                      const WCHAR* compatibleId) {
    PWCHAR id = ExAllocatePoolWithTag(PagedPool, 128 * sizeof(WCHAR), POOL_TAG);
    PWCHAR at = id;
    if (id == NULL) {
        return NULL;
    }
    switch (type) {
        case BusQueryDeviceID:
            at = AppendText(at, deviceId);
            break;
        case BusQueryInstanceID:
            at = AppendDecimal(at, pad->id);
            break;
        case BusQueryHardwareIDs:
            at = AppendText(at, deviceId) + 1;
            at = AppendText(at, compatibleId) + 1;
            break;
        case BusQueryCompatibleIDs:
            at = AppendText(at, compatibleId) + 1;
            break;
        default:
            ExFreePoolWithTag(id, POOL_TAG);
            return NULL;
    }
    *at = 0;
    return id;
}

static NTSTATUS ChildRelations(PadHeader* pad, PIRP irp) {
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

BOOLEAN AnswerChildPnp(PadHeader* pad, PIRP irp, const WCHAR* deviceId, const WCHAR* compatibleId,
                       BOOLEAN raw, NTSTATUS* status) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    PDEVICE_CAPABILITIES capabilities;
    PWCHAR id;
    switch (stack->MinorFunction) {
        case IRP_MN_QUERY_ID:
            id = QueryId(pad, stack->Parameters.QueryId.IdType, deviceId, compatibleId);
            *status = id != NULL ? Complete(irp, STATUS_SUCCESS, (ULONG_PTR)id)
                                 : Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
            return TRUE;
        case IRP_MN_QUERY_CAPABILITIES:
            capabilities = stack->Parameters.DeviceCapabilities.Capabilities;
            capabilities->Removable = TRUE;
            capabilities->SurpriseRemovalOK = TRUE;
            capabilities->RawDeviceOK = raw;
            *status = Complete(irp, STATUS_SUCCESS, 0);
            return TRUE;
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            *status = ChildRelations(pad, irp);
            return TRUE;
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            *status = Complete(irp, STATUS_SUCCESS, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

BOOLEAN RemoveChild(PadHeader* pad, PLIST_ENTRY reads, PIRP irp) {
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    FinishAll(reads, &finished, STATUS_DELETE_PENDING);
    const BOOLEAN gone = LeaveIfUnplugged(pad);
    Release();
    CompleteFinished(&finished);
    Complete(irp, STATUS_SUCCESS, 0);
    return gone;
}

BOOLEAN LeaveIfUnplugged(PadHeader* pad) {
    /* A pad off the list already (DeleteAllPads took it, or another path deleted it) is someone
     * else's to delete: deleting it here too would free it twice. */
    if (pad->plugged || IsListEmpty(&pad->entry)) {
        return FALSE;
    }
    RemoveEntryList(&pad->entry);
    InitializeListHead(&pad->entry);
    return TRUE;
}

/* ---- Dispatch ---- */

static DeviceKind KindOf(PDEVICE_OBJECT device) {
    return *(const DeviceKind*)device->DeviceExtension;
}

static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    switch (KindOf(device)) {
        case BusDevice:
            return BusPnp(device->DeviceExtension, irp);
        case HidPadDevice:
            return HidPadPnp(device->DeviceExtension, irp);
        case PipePadDevice:
            return PipePadPnp(device->DeviceExtension, irp);
        default:
            return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}

static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    if (KindOf(device) == BusDevice) {
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(((BusExtension*)device->DeviceExtension)->lower, irp);
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* The pads live as long as the control device is open: when the last handle goes, so do they. */
static NTSTATUS BusFile(PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
        case IRP_MJ_CREATE:
            InterlockedIncrement(&ControlOpens);
            break;
        case IRP_MJ_CLOSE:
            if (InterlockedDecrement(&ControlOpens) == 0) {
                UnplugAll();
            }
            break;
        case IRP_MJ_DEVICE_CONTROL:
            return BusControl(irp);
        case IRP_MJ_CLEANUP:
            break;
        default:
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* Opens, reads, writes and controls of every kind of device. A HID pad is opened through the
 * class driver above it, never directly. */
static NTSTATUS NTAPI DispatchFile(PDEVICE_OBJECT device, PIRP irp) {
    switch (KindOf(device)) {
        case BusDevice:
            return BusFile(irp);
        case PipePadDevice:
            return PipePadDispatch(device->DeviceExtension, irp);
        case PortDevice:
            return PortDispatch(device->DeviceExtension, irp);
        default:
            return Complete(irp, STATUS_ACCESS_DENIED, 0);
    }
}

static NTSTATUS NTAPI DispatchInternalControl(PDEVICE_OBJECT device, PIRP irp) {
    return KindOf(device) == HidPadDevice ? HidPadInternalControl(device->DeviceExtension, irp)
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
    StopSerialPorts();
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    (void)registryPath;
    Driver = driver;
    InitializeLock();
    InitializeListHead(&Pads);
    InitializeListHead(&SentReports);
    InitializeListHead(&SentWaiters);
    NTSTATUS status = StartSerialPorts();
    if (!NT_SUCCESS(status)) {
        return status;
    }
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchFile;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchFile;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchFile;
    driver->MajorFunction[IRP_MJ_READ] = DispatchFile;
    driver->MajorFunction[IRP_MJ_WRITE] = DispatchFile;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchFile;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalControl;
    return STATUS_SUCCESS;
}
