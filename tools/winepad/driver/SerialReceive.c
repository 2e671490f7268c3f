/* The receive side of the bus's serial ports: bytes winepad.exe feeds wait in the port's
 * receive queue for reads, which end as the timeouts the program set say (a system thread ends
 * those whose timeouts run out), and a wait for line events completes with EV_RXCHAR when bytes
 * arrive and ends on a new wait mask or a cancel. */
#include "SerialPort.h"

#define HUNDRED_NS_PER_MS 10000ull
/* How long a port told to end its waits late keeps one that a new mask or a cancel ended. */
#define LATE_WAIT_MS 300ull

/* The kernel's own, which the driver kit's headers declare only for file system drivers. */
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable,
                                              PLARGE_INTEGER timeout);

static KEVENT DeadlineWake;
static HANDLE DeadlineThread;
static BOOLEAN Stopping; /* guarded by the lock */

/* In 100-nanosecond units. Not KeQueryInterruptTime: Wine's counts milliseconds there, which
 * would put every deadline ten thousand times too far. */
static ULONGLONG Now(void) {
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    return (ULONGLONG)now.QuadPart;
}

/* ---- Events and waits ---- */

BOOLEAN EndWait(Port* port, ULONG events, PLIST_ENTRY finished) {
    PIRP wait = DequeueIrp(&port->waits);
    if (wait == NULL) {
        return FALSE;
    }
    *(ULONG*)wait->AssociatedIrp.SystemBuffer = events;
    Finish(finished, wait, STATUS_SUCCESS, sizeof(ULONG));
    return TRUE;
}

void Signal(Port* port, ULONG event, PLIST_ENTRY finished) {
    if ((port->waitMask & event) == 0) {
        return;
    }
    port->history |= event;
    if (EndWait(port, port->history, finished)) {
        port->history = 0;
    }
}

/* Under the lock: the wait, off its queue, is kept as by a driver slow to let go; the deadline
 * thread ends it once it is due, reporting no event, or as cancelled. */
static void KeepWaitLate(Port* port, PIRP wait, NTSTATUS status) {
    *(ULONG*)wait->AssociatedIrp.SystemBuffer = 0;
    port->lateWait = wait;
    port->lateWaitStatus = status;
    port->lateWaitDue = Now() + LATE_WAIT_MS * HUNDRED_NS_PER_MS;
    KeSetEvent(&DeadlineWake, IO_NO_INCREMENT, FALSE);
}

/* The cancel routine of a wait: at once, or late on a port told to end its waits late by then. */
static VOID NTAPI CancelWait(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Port* port = device->DeviceExtension;
    Acquire();
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    const BOOLEAN late = port->lateWaits;
    if (late) {
        KeepWaitLate(port, irp, STATUS_CANCELLED);
    }
    Release();
    if (!late) {
        Complete(irp, STATUS_CANCELLED, 0);
    }
}

void EndWaitForNewMask(Port* port, PLIST_ENTRY finished) {
    if (!port->lateWaits) {
        EndWait(port, 0, finished);
        return;
    }
    PIRP wait = DequeueIrp(&port->waits);
    if (wait != NULL) {
        KeepWaitLate(port, wait, STATUS_SUCCESS);
    }
}

/* Under the lock: a wait kept late ends, with its own status once it is due, else with `status`. */
static void EndLateWait(Port* port, BOOLEAN due, NTSTATUS status, PLIST_ENTRY finished) {
    if (port->lateWait == NULL) {
        return;
    }
    const NTSTATUS ending = due ? port->lateWaitStatus : status;
    Finish(finished, port->lateWait, ending, ending == STATUS_SUCCESS ? sizeof(ULONG) : 0);
    port->lateWait = NULL;
}

BOOLEAN WaitPending(const Port* port) {
    return !IsListEmpty(&port->waits) || port->lateWait != NULL;
}

NTSTATUS WaitOnMask(Port* port, PIRP irp, ULONG outLength) {
    if (outLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    NTSTATUS status;
    ULONG events = 0;
    Acquire();
    status = Refusal(port, irp);
    if (!NT_SUCCESS(status)) {
        Release();
        return Complete(irp, status, 0);
    }
    ++port->waitRequests;
    if (!IsListEmpty(&port->waits) || port->waitMask == 0) {
        status = STATUS_INVALID_PARAMETER;
    } else if (port->history != 0) {
        events = port->history;
        port->history = 0;
        status = STATUS_SUCCESS;
    } else {
        status = QueueIrp(&port->waits, irp, CancelWait);
    }
    Release();
    if (status == STATUS_PENDING) {
        return status;
    }
    *(ULONG*)irp->AssociatedIrp.SystemBuffer = events;
    return Complete(irp, status, status == STATUS_SUCCESS ? sizeof(ULONG) : 0);
}

/* ---- Received bytes and reads ---- */

/* Under the lock: moves up to `room` received bytes to `to`. */
static ULONG TakeReceived(Port* port, PUCHAR to, ULONG room) {
    ULONG taken = 0;
    while (taken < room && port->count > 0) {
        to[taken++] = port->received[port->head];
        port->head = (port->head + 1) % RECEIVE_CAPACITY;
        --port->count;
    }
    return taken;
}

/* Under the lock: the deadlines of a read that starts now, as its timeouts give them. */
static void StartRead(Port* port, PIRP irp, ULONGLONG now) {
    const SERIAL_TIMEOUTS* t = &port->timeouts;
    const ULONG wanted = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    port->activeRead = irp;
    port->returnAtOnce = t->ReadIntervalTimeout == MAXULONG && t->ReadTotalTimeoutMultiplier == 0 &&
                         t->ReadTotalTimeoutConstant == 0;
    port->firstByteEnds =
        t->ReadIntervalTimeout == MAXULONG && t->ReadTotalTimeoutMultiplier == MAXULONG &&
        t->ReadTotalTimeoutConstant != 0 && t->ReadTotalTimeoutConstant != MAXULONG;
    ULONGLONG total = port->firstByteEnds ? t->ReadTotalTimeoutConstant
                                          : (ULONGLONG)t->ReadTotalTimeoutMultiplier * wanted +
                                                t->ReadTotalTimeoutConstant;
    port->totalDeadline = total != 0 ? now + total * HUNDRED_NS_PER_MS : 0;
    port->interval = t->ReadIntervalTimeout != MAXULONG
                         ? (ULONGLONG)t->ReadIntervalTimeout * HUNDRED_NS_PER_MS
                         : 0;
    port->lastByteAt = 0;
}

/* Under the lock. */
static BOOLEAN ReadIsDue(const Port* port, ULONG taken, ULONGLONG now) {
    return port->returnAtOnce || (port->firstByteEnds && taken > 0) ||
           (port->totalDeadline != 0 && now >= port->totalDeadline) ||
           (port->interval != 0 && taken > 0 && now >= port->lastByteAt + port->interval);
}

/* Under the lock: when the active read's next timeout runs out; MAXULONGLONG for never. */
static ULONGLONG NextDeadline(const Port* port) {
    ULONGLONG next = port->lateWait != NULL ? port->lateWaitDue : MAXULONGLONG;
    if (port->activeRead == NULL) {
        return next;
    }
    if (port->totalDeadline != 0 && port->totalDeadline < next) {
        next = port->totalDeadline;
    }
    if (port->interval != 0 && port->lastByteAt != 0 && port->lastByteAt + port->interval < next) {
        next = port->lastByteAt + port->interval;
    }
    return next;
}

/* Under the lock: the reads take what has been received, in order; those that have all they
 * asked for, or whose timeouts have run out, end. */
static void ServeReads(Port* port, ULONGLONG now, PLIST_ENTRY finished) {
    while (!IsListEmpty(&port->reads)) {
        PIRP irp = CONTAINING_RECORD(port->reads.Flink, IRP, Tail.Overlay.ListEntry);
        if (port->activeRead != irp) {
            StartRead(port, irp, now);
        }
        const ULONG wanted = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
        ULONG taken = (ULONG)irp->IoStatus.Information;
        const ULONG got = TakeReceived(port, (PUCHAR)RequestBuffer(port->header.self, irp) + taken,
                                       wanted - taken);
        if (got > 0) {
            taken += got;
            irp->IoStatus.Information = taken;
            port->lastByteAt = now;
        }
        if ((taken < wanted && !ReadIsDue(port, taken, now)) || !TakeIrp(irp)) {
            return; /* still waiting, or its cancel routine is about to end it */
        }
        port->activeRead = NULL;
        /* A read whose timeout ran out succeeds with what it has, as on Windows. */
        Finish(finished, irp, STATUS_SUCCESS, taken);
    }
}

static VOID NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Port* port = device->DeviceExtension;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    if (port->activeRead == irp) {
        port->activeRead = NULL;
    }
    ServeReads(port, Now(), &finished);
    Release();
    Complete(irp, STATUS_CANCELLED, irp->IoStatus.Information);
    CompleteFinished(&finished);
}

NTSTATUS ReadPort(Port* port, PIRP irp) {
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    irp->IoStatus.Information = 0;
    Acquire();
    NTSTATUS status = Refusal(port, irp);
    if (!NT_SUCCESS(status)) {
        Release();
        return Complete(irp, status, 0);
    }
    ++port->readRequests;
    status = QueueIrp(&port->reads, irp, CancelRead);
    if (status == STATUS_PENDING) {
        ServeReads(port, Now(), &finished);
    }
    const BOOLEAN timed = port->activeRead != NULL;
    Release();
    CompleteFinished(&finished);
    if (timed) {
        KeSetEvent(&DeadlineWake, IO_NO_INCREMENT, FALSE);
    }
    return status == STATUS_PENDING ? status : Complete(irp, status, 0);
}

/* Ends the reads whose timeouts have run out, sleeping until the next one can. */
static VOID NTAPI DeadlineLoop(PVOID context) {
    (void)context;
    for (;;) {
        LIST_ENTRY finished;
        InitializeListHead(&finished);
        ULONGLONG next = MAXULONGLONG;
        Acquire();
        const BOOLEAN stopping = Stopping;
        const ULONGLONG now = Now();
        PLIST_ENTRY pads = PadList();
        for (PLIST_ENTRY entry = pads->Flink; !stopping && entry != pads; entry = entry->Flink) {
            PadHeader* pad = CONTAINING_RECORD(entry, PadHeader, entry);
            if (pad->kind == PortDevice) {
                ServeReads((Port*)pad, now, &finished);
                if (now >= ((Port*)pad)->lateWaitDue) {
                    EndLateWait((Port*)pad, TRUE, STATUS_SUCCESS, &finished);
                }
                const ULONGLONG due = NextDeadline((const Port*)pad);
                next = due < next ? due : next;
            }
        }
        Release();
        CompleteFinished(&finished);
        if (stopping) {
            break;
        }
        LARGE_INTEGER wait;
        wait.QuadPart = -(LONGLONG)(next > now ? next - now : 1);
        KeWaitForSingleObject(&DeadlineWake, Executive, KernelMode, FALSE,
                              next == MAXULONGLONG ? NULL : &wait);
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

NTSTATUS StartSerialPorts(void) {
    KeInitializeEvent(&DeadlineWake, SynchronizationEvent, FALSE);
    return PsCreateSystemThread(&DeadlineThread, THREAD_ALL_ACCESS, NULL, NULL, NULL, DeadlineLoop,
                                NULL);
}

void StopSerialPorts(void) {
    Acquire();
    Stopping = TRUE;
    Release();
    KeSetEvent(&DeadlineWake, IO_NO_INCREMENT, FALSE);
    ZwWaitForSingleObject(DeadlineThread, FALSE, NULL);
    ZwClose(DeadlineThread);
}

void FinishReads(Port* port, PLIST_ENTRY finished, NTSTATUS status) {
    FinishAll(&port->reads, finished, status);
    port->activeRead = NULL;
}

void FinishRequests(Port* port, PLIST_ENTRY finished, NTSTATUS status) {
    FinishReads(port, finished, status);
    FinishAll(&port->waits, finished, status);
    EndLateWait(port, FALSE, status, finished);
}

void ClearReceived(Port* port) {
    port->head = port->count = 0;
}

NTSTATUS PortInput(PadHeader* header, const UCHAR* bytes, ULONG length) {
    Port* port = (Port*)header;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    for (ULONG i = 0; i < length; ++i) {
        if (port->count == RECEIVE_CAPACITY) {
            port->errors |= SERIAL_ERROR_QUEUEOVERRUN;
            break;
        }
        port->received[(port->head + port->count) % RECEIVE_CAPACITY] = bytes[i];
        ++port->count;
    }
    ServeReads(port, Now(), &finished);
    Signal(port, SERIAL_EV_RXCHAR, &finished);
    const BOOLEAN timed = port->activeRead != NULL;
    Release();
    CompleteFinished(&finished);
    if (timed) {
        KeSetEvent(&DeadlineWake, IO_NO_INCREMENT, FALSE);
    }
    return STATUS_SUCCESS;
}
