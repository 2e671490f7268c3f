/* The HID pads of the bus: child physical device objects on which the pads' HID minidriver
 * (PadHid.c) sits and passes the HID class driver's requests down, where this file answers
 * them: the descriptors and attributes, input reports for the class driver's reads, and the
 * reports the host sends, which go to winepad.exe. */
#include "PadBus.h"

typedef struct HidPad {
    PadHeader header;
    USHORT vendorId;
    USHORT productId;
    USHORT version;
    USHORT descriptorLength;
    PUCHAR descriptor;
    LIST_ENTRY inputs; /* QueuedReport: input reports no read has taken yet */
    ULONG inputCount;
    LIST_ENTRY reads; /* pending IOCTL_HID_READ_REPORT requests */
} HidPad;

static PWCHAR AppendHex4(PWCHAR at, USHORT value) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) {
        *at++ = digits[(value >> shift) & 0xF];
    }
    return at;
}

NTSTATUS PlugHidPad(PIRP irp, ULONG inLength, ULONG outLength) {
    const WinePadPlug* request = irp->AssociatedIrp.SystemBuffer;
    if (inLength < sizeof *request || outLength < sizeof(ULONG) || request->descriptorLength == 0 ||
        request->descriptorLength > WINEPAD_MAX_DESCRIPTOR ||
        inLength < sizeof *request + request->descriptorLength) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    HidPad* pad = (HidPad*)NewPad(HidPadDevice, L"", sizeof(HidPad), FILE_DEVICE_UNKNOWN);
    if (pad == NULL) {
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    pad->descriptor = ExAllocatePoolWithTag(NonPagedPool, request->descriptorLength, POOL_TAG);
    if (pad->descriptor == NULL) {
        IoDeleteDevice(pad->header.self);
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    RtlCopyMemory(pad->descriptor, request + 1, request->descriptorLength);
    pad->vendorId = request->vendorId;
    pad->productId = request->productId;
    pad->version = request->version;
    pad->descriptorLength = request->descriptorLength;
    InitializeListHead(&pad->inputs);
    InitializeListHead(&pad->reads);
    AddPad(&pad->header);
    *(ULONG*)irp->AssociatedIrp.SystemBuffer = pad->header.id;
    return Complete(irp, STATUS_SUCCESS, sizeof(ULONG));
}

void UnplugHidPad(PadHeader* header, PLIST_ENTRY finished) {
    HidPad* pad = (HidPad*)header;
    header->plugged = FALSE;
    FreeReports(&pad->inputs);
    pad->inputCount = 0;
    FinishAll(&pad->reads, finished, STATUS_DEVICE_NOT_CONNECTED);
}

/* Under the lock: the read takes one input report, cut to the class driver's buffer. */
static void FinishRead(PIRP irp, const UCHAR* bytes, ULONG length, PLIST_ENTRY finished) {
    const ULONG room =
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    const ULONG copied = length < room ? length : room;
    RtlCopyMemory(irp->UserBuffer, bytes, copied);
    Finish(finished, irp, STATUS_SUCCESS, copied);
}

NTSTATUS HidPadInput(PadHeader* header, const UCHAR* bytes, ULONG length) {
    HidPad* pad = (HidPad*)header;
    WinePadReport report = {header->id, 0, 0, length};
    QueuedReport* queued = NewReport(&report, bytes);
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    PIRP read = DequeueIrp(&pad->reads);
    if (read != NULL) {
        FinishRead(read, bytes, length, &finished);
    } else if (pad->inputCount >= WINEPAD_MAX_QUEUED) {
        status = STATUS_DEVICE_BUSY;
    } else if (queued == NULL) {
        status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
        InsertTailList(&pad->inputs, &queued->entry);
        ++pad->inputCount;
        queued = NULL;
    }
    Release();
    CompleteFinished(&finished);
    if (queued != NULL) {
        ExFreePoolWithTag(queued, POOL_TAG);
    }
    return status;
}

static NTSTATUS ReadReport(HidPad* pad, PIRP irp) {
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    QueuedReport* report = NULL;
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    if (!pad->header.plugged) {
        status = STATUS_DEVICE_NOT_CONNECTED;
    } else if (!IsListEmpty(&pad->inputs)) {
        report = CONTAINING_RECORD(RemoveHeadList(&pad->inputs), QueuedReport, entry);
        --pad->inputCount;
        FinishRead(irp, report->bytes, report->header.length, &finished);
    } else {
        status = QueueIrp(&pad->reads, irp, NULL);
    }
    Release();
    CompleteFinished(&finished);
    if (report != NULL) {
        ExFreePoolWithTag(report, POOL_TAG);
    }
    return status == STATUS_PENDING || status == STATUS_SUCCESS ? status : Complete(irp, status, 0);
}

/* The class driver passes the report of a write in a transfer packet; where it puts the
 * packet pointer differs between systems, so both places are looked at. */
static NTSTATUS SendReport(HidPad* pad, PIRP irp, ULONG kind) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const PadHidXferPacket* packet = irp->UserBuffer;
    if (packet == NULL) {
        packet = stack->Parameters.DeviceIoControl.Type3InputBuffer;
    }
    if (packet == NULL || packet->reportBuffer == NULL) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    if (!pad->header.plugged) {
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    RecordSent(pad->header.id, kind, packet->reportId, packet->reportBuffer,
               packet->reportBufferLen);
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

NTSTATUS HidPadInternalControl(PadHeader* header, PIRP irp) {
    HidPad* pad = (HidPad*)header;
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

void DeleteHidPad(PadHeader* header) {
    HidPad* pad = (HidPad*)header;
    ExFreePoolWithTag(pad->descriptor, POOL_TAG);
    IoDeleteDevice(header->self);
}

NTSTATUS HidPadPnp(PadHeader* header, PIRP irp) {
    HidPad* pad = (HidPad*)header;
    WCHAR deviceId[32];
    PWCHAR at = AppendHex4(AppendText(deviceId, L"WINEPAD\\VID_"), pad->vendorId);
    *AppendHex4(AppendText(at, L"&PID_"), pad->productId) = 0;
    NTSTATUS status;
    if (AnswerChildPnp(header, irp, deviceId, L"WINEPAD\\PAD", FALSE, &status)) {
        return status;
    }
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
        case IRP_MN_START_DEVICE:
            return Complete(irp, STATUS_SUCCESS, 0);
        case IRP_MN_SURPRISE_REMOVAL:
            Acquire();
            FinishAll(&pad->reads, &finished, STATUS_DEVICE_NOT_CONNECTED);
            Release();
            CompleteFinished(&finished);
            return Complete(irp, STATUS_SUCCESS, 0);
        case IRP_MN_REMOVE_DEVICE:
            if (RemoveChild(header, &pad->reads, irp)) {
                DeleteHidPad(header);
            }
            return STATUS_SUCCESS;
        default:
            return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}
