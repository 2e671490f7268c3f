/* The bus driver's lock, and the queues of pending requests and of reports that every kind of
 * pad uses. */
#include "PadBus.h"

static KSPIN_LOCK Lock;
static KIRQL LockIrql;

void InitializeLock(void) {
    KeInitializeSpinLock(&Lock);
}

void Acquire(void) {
    KIRQL irql;
    KeAcquireSpinLock(&Lock, &irql);
    LockIrql = irql;
}

void Release(void) {
    KeReleaseSpinLock(&Lock, LockIrql);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* ---- Requests that end later ---- */

void Finish(PLIST_ENTRY finished, PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    InsertTailList(finished, &irp->Tail.Overlay.ListEntry);
}

void CompleteFinished(PLIST_ENTRY finished) {
    while (!IsListEmpty(finished)) {
        PIRP irp = CONTAINING_RECORD(RemoveHeadList(finished), IRP, Tail.Overlay.ListEntry);
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
}

VOID NTAPI CancelQueuedIrp(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Acquire();
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    Release();
    Complete(irp, STATUS_CANCELLED, irp->IoStatus.Information);
}

NTSTATUS QueueIrp(PLIST_ENTRY queue, PIRP irp, PDRIVER_CANCEL cancel) {
    IoSetCancelRoutine(irp, cancel != NULL ? cancel : CancelQueuedIrp);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
        return STATUS_CANCELLED;
    }
    IoMarkIrpPending(irp);
    InsertTailList(queue, &irp->Tail.Overlay.ListEntry);
    return STATUS_PENDING;
}

BOOLEAN TakeIrp(PIRP irp) {
    if (IoSetCancelRoutine(irp, NULL) == NULL) {
        return FALSE; /* its cancel routine is running and completes it */
    }
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    return TRUE;
}

PIRP DequeueIrp(PLIST_ENTRY queue) {
    for (PLIST_ENTRY entry = queue->Flink; entry != queue;) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        entry = entry->Flink;
        if (TakeIrp(irp)) {
            return irp;
        }
    }
    return NULL;
}

void FinishAll(PLIST_ENTRY queue, PLIST_ENTRY finished, NTSTATUS status) {
    PIRP irp;
    while ((irp = DequeueIrp(queue)) != NULL) {
        Finish(finished, irp, status, irp->IoStatus.Information);
    }
}

/* ---- Queued reports ---- */

QueuedReport* NewReport(const WinePadReport* header, const UCHAR* bytes) {
    QueuedReport* report =
        ExAllocatePoolWithTag(NonPagedPool, sizeof(QueuedReport) + header->length, POOL_TAG);
    if (report != NULL) {
        report->header = *header;
        RtlCopyMemory(report->bytes, bytes, header->length);
    }
    return report;
}

void FreeReports(PLIST_ENTRY list) {
    while (!IsListEmpty(list)) {
        ExFreePoolWithTag(CONTAINING_RECORD(RemoveHeadList(list), QueuedReport, entry), POOL_TAG);
    }
}

/* ---- Names and buffers ---- */

PWCHAR AppendText(PWCHAR at, const WCHAR* text) {
    while (*text != 0) {
        *at++ = *text++;
    }
    return at;
}

PWCHAR AppendDecimal(PWCHAR at, ULONG value) {
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

PVOID RequestBuffer(PDEVICE_OBJECT device, PIRP irp) {
    return (device->Flags & DO_BUFFERED_IO) != 0 ? irp->AssociatedIrp.SystemBuffer
                                                 : irp->UserBuffer;
}
