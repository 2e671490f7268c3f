/* The pads of the legacy USB pipe driver: child physical device objects of the bus that need no
 * function driver (raw devices). Each registers the driver's interface class, so that a
 * SetupAPI search by that class finds it, and serves one 4-byte packet per read; a read waits
 * until a packet comes. On request a pad keeps its reads and ignores their cancellation, as a
 * driver that will not let go of a read does, until it is told to let them go. */
#include "PadBus.h"

#define PACKET_SIZE 4
#define PACKET_CAPACITY WINEPAD_MAX_QUEUED

/* {7B41E0C2-5D93-4A6E-8F18-C2D4A9E6B357}: the interface class of the legacy USB pipe driver. */
static const GUID PipeInterfaceClass = {
    0x7B41E0C2, 0x5D93, 0x4A6E, {0x8F, 0x18, 0xC2, 0xD4, 0xA9, 0xE6, 0xB3, 0x57}};

typedef struct PipePad {
    PadHeader header;
    UNICODE_STRING interfaceName; /* from IoRegisterDeviceInterface once started */
    BOOLEAN interfaceOn;
    BOOLEAN holding;
    LIST_ENTRY reads;     /* pending reads, cancellable */
    LIST_ENTRY heldReads; /* reads kept without a cancel routine while holding */
    ULONG head;           /* packets[head] is the oldest */
    ULONG count;
    UCHAR packets[PACKET_CAPACITY][PACKET_SIZE];
} PipePad;

NTSTATUS PlugPipePad(PIRP irp, ULONG outLength) {
    if (outLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    PipePad* pad = (PipePad*)NewPad(PipePadDevice, L"Pipe", sizeof(PipePad), FILE_DEVICE_UNKNOWN);
    if (pad == NULL) {
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    pad->header.self->Flags |= DO_BUFFERED_IO;
    InitializeListHead(&pad->reads);
    InitializeListHead(&pad->heldReads);
    AddPad(&pad->header);
    *(ULONG*)irp->AssociatedIrp.SystemBuffer = pad->header.id;
    return Complete(irp, STATUS_SUCCESS, sizeof(ULONG));
}

/* Under the lock: every kept read ends with `status`. */
static void FinishHeldReads(PipePad* pad, PLIST_ENTRY finished, NTSTATUS status) {
    while (!IsListEmpty(&pad->heldReads)) {
        PIRP irp = CONTAINING_RECORD(RemoveHeadList(&pad->heldReads), IRP, Tail.Overlay.ListEntry);
        Finish(finished, irp, status, 0);
    }
}

void UnplugPipePad(PadHeader* header, PLIST_ENTRY finished) {
    PipePad* pad = (PipePad*)header;
    header->plugged = FALSE;
    pad->count = 0;
    /* As a real driver does once its device is being deleted: the program sees access denied. */
    FinishAll(&pad->reads, finished, STATUS_DELETE_PENDING);
    FinishHeldReads(pad, finished, STATUS_DELETE_PENDING);
}

/* Under the lock: the read takes the oldest packet. */
static void FinishRead(PipePad* pad, PIRP irp, PLIST_ENTRY finished) {
    const ULONG wanted = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    const ULONG copied = wanted < PACKET_SIZE ? wanted : PACKET_SIZE;
    RtlCopyMemory(RequestBuffer(pad->header.self, irp), pad->packets[pad->head], copied);
    pad->head = (pad->head + 1) % PACKET_CAPACITY;
    --pad->count;
    Finish(finished, irp, STATUS_SUCCESS, copied);
}

NTSTATUS PipePadInput(PadHeader* header, const UCHAR* bytes, ULONG length) {
    PipePad* pad = (PipePad*)header;
    if (length % PACKET_SIZE != 0) {
        return STATUS_INVALID_PARAMETER;
    }
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    for (ULONG at = 0; at < length && status == STATUS_SUCCESS; at += PACKET_SIZE) {
        if (pad->count == PACKET_CAPACITY) {
            status = STATUS_DEVICE_BUSY;
            break;
        }
        RtlCopyMemory(pad->packets[(pad->head + pad->count) % PACKET_CAPACITY], bytes + at,
                      PACKET_SIZE);
        ++pad->count;
        PIRP read = pad->holding ? NULL : DequeueIrp(&pad->reads);
        if (read != NULL) {
            FinishRead(pad, read, &finished);
        }
    }
    Release();
    CompleteFinished(&finished);
    return status;
}

NTSTATUS PipePadHoldReads(PadHeader* header, BOOLEAN hold) {
    PipePad* pad = (PipePad*)header;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    pad->holding = hold;
    if (hold) {
        PIRP irp;
        while ((irp = DequeueIrp(&pad->reads)) != NULL) {
            InsertTailList(&pad->heldReads, &irp->Tail.Overlay.ListEntry);
        }
    } else {
        FinishHeldReads(pad, &finished, STATUS_CANCELLED);
    }
    Release();
    CompleteFinished(&finished);
    return STATUS_SUCCESS;
}

static NTSTATUS Read(PipePad* pad, PIRP irp) {
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    NTSTATUS status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    Acquire();
    if (!pad->header.plugged) {
        status = STATUS_DELETE_PENDING;
    } else if (pad->holding) {
        IoMarkIrpPending(irp);
        InsertTailList(&pad->heldReads, &irp->Tail.Overlay.ListEntry);
        status = STATUS_PENDING;
    } else if (pad->count > 0) {
        FinishRead(pad, irp, &finished);
    } else {
        status = QueueIrp(&pad->reads, irp, NULL);
    }
    Release();
    CompleteFinished(&finished);
    return status == STATUS_PENDING || status == STATUS_SUCCESS ? status : Complete(irp, status, 0);
}

NTSTATUS PipePadDispatch(PadHeader* header, PIRP irp) {
    PipePad* pad = (PipePad*)header;
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
        case IRP_MJ_CREATE:
            return Complete(irp, header->plugged ? STATUS_SUCCESS : STATUS_DELETE_PENDING, 0);
        case IRP_MJ_CLEANUP:
        case IRP_MJ_CLOSE:
            return Complete(irp, STATUS_SUCCESS, 0);
        case IRP_MJ_READ:
            return Read(pad, irp);
        default:
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static void EnableInterface(PipePad* pad, BOOLEAN enable) {
    if (enable && pad->interfaceName.Buffer == NULL &&
        !NT_SUCCESS(IoRegisterDeviceInterface(pad->header.self, &PipeInterfaceClass, NULL,
                                              &pad->interfaceName))) {
        return;
    }
    if (pad->interfaceName.Buffer != NULL && pad->interfaceOn != enable &&
        NT_SUCCESS(IoSetDeviceInterfaceState(&pad->interfaceName, enable))) {
        pad->interfaceOn = enable;
    }
}

void DeletePipePad(PadHeader* header) {
    PipePad* pad = (PipePad*)header;
    EnableInterface(pad, FALSE);
    RtlFreeUnicodeString(&pad->interfaceName);
    IoDeleteDevice(header->self);
}

NTSTATUS PipePadPnp(PadHeader* header, PIRP irp) {
    PipePad* pad = (PipePad*)header;
    NTSTATUS status;
    if (AnswerChildPnp(header, irp, L"WINEPAD\\USBPIPE", L"WINEPAD\\USBPIPE", TRUE, &status)) {
        return status;
    }
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
        case IRP_MN_START_DEVICE:
            EnableInterface(pad, TRUE);
            return Complete(irp, pad->interfaceOn ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL, 0);
        case IRP_MN_SURPRISE_REMOVAL:
            EnableInterface(pad, FALSE);
            return Complete(irp, STATUS_SUCCESS, 0);
        case IRP_MN_REMOVE_DEVICE:
            EnableInterface(pad, FALSE);
            if (RemoveChild(header, &pad->reads, irp)) {
                DeletePipePad(header);
            }
            return STATUS_SUCCESS;
        default:
            return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}
