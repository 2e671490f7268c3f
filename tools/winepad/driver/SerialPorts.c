/* The serial ports of the bus: each a device object of the serial port type named COMn (a
 * symbolic link in \DosDevices, and the SERIALCOMM entry programs list ports by), answering
 * the requests of the Windows comm functions as the system's serial port driver does where a
 * program can tell: one open at a time, line settings kept and a refused baud rate failing,
 * reads that follow the timeouts the program set, a wait for line events that completes with
 * EV_RXCHAR when bytes arrive and ends on a new wait mask or a cancel, the modem status with
 * the DSR line winepad.exe sets, and every request failing once the port is pulled out.
 * What the program writes goes to winepad.exe; what winepad.exe feeds arrives as received
 * bytes. A system thread ends reads whose timeouts run out. */
#include "PadBus.h"
/* After the kernel's types, which it builds on. */
#include <ntddser.h>

#define RECEIVE_CAPACITY 16384
#define HUNDRED_NS_PER_MS 10000ull

typedef struct Port {
    PadHeader header;
    ULONG number;      /* n of COMn */
    BOOLEAN named;     /* its COM link and SERIALCOMM entry are there */
    PFILE_OBJECT file; /* the one open of the port, or NULL */
    /* The line as the program set it. */
    ULONG baudRate;
    ULONG refusedRate;
    SERIAL_LINE_CONTROL line;
    SERIAL_HANDFLOW handflow;
    SERIAL_CHARS chars;
    SERIAL_TIMEOUTS timeouts;
    SERIAL_QUEUE_SIZE queues;
    BOOLEAN dtr;
    BOOLEAN rts;
    BOOLEAN dsr;
    ULONG waitMask;
    ULONG history; /* events of the mask that no wait has reported yet */
    ULONG errors;
    LIST_ENTRY waits; /* the pending IOCTL_SERIAL_WAIT_ON_MASK, at most one */
    /* Received bytes and the reads that take them, the oldest first. */
    UCHAR received[RECEIVE_CAPACITY];
    ULONG head;
    ULONG count;
    LIST_ENTRY reads;
    PIRP activeRead; /* the read the deadlines below belong to */
    BOOLEAN returnAtOnce;
    BOOLEAN firstByteEnds;
    ULONGLONG totalDeadline; /* 0: none */
    ULONGLONG interval;      /* 0: none */
    ULONGLONG lastByteAt;
    /* How many requests of each kind the port has had. */
    ULONG waitRequests;
    ULONG statusQueries;
    ULONG modemQueries;
    ULONG readRequests;
    ULONG writeRequests;
    ULONG refusedRequests;
    ULONG lastRefusedCode;
} Port;

/* The kernel's own, which the driver kit's headers declare only for file system drivers. */
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable,
                                              PLARGE_INTEGER timeout);

static KEVENT DeadlineWake;
static HANDLE DeadlineThread;
static BOOLEAN Stopping; /* guarded by the lock */

/* ---- Names ---- */

static void FormNames(const Port* port, PWCHAR device, PWCHAR link, PWCHAR com) {
    *AppendDecimal(AppendText(device, L"\\Device\\WinePadSerial"), port->header.id) = 0;
    *AppendDecimal(AppendText(com, L"COM"), port->number) = 0;
    *AppendText(AppendText(link, L"\\DosDevices\\"), com) = 0;
}

static NTSTATUS OpenSerialCommKey(HANDLE* key) {
    static const WCHAR* const path[] = {L"\\Registry\\Machine\\HARDWARE\\DEVICEMAP",
                                        L"\\Registry\\Machine\\HARDWARE\\DEVICEMAP\\SERIALCOMM"};
    NTSTATUS status = STATUS_SUCCESS;
    for (int level = 0; level < 2 && NT_SUCCESS(status); ++level) {
        UNICODE_STRING name;
        OBJECT_ATTRIBUTES attributes;
        RtlInitUnicodeString(&name, path[level]);
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                                   NULL, NULL);
        status = ZwCreateKey(key, KEY_SET_VALUE, &attributes, 0, NULL, REG_OPTION_VOLATILE, NULL);
        if (level == 0 && NT_SUCCESS(status)) {
            ZwClose(*key);
        }
    }
    return status;
}

/* The link \DosDevices\COMn and the SERIALCOMM value (the device name, holding "COMn"). */
static NTSTATUS AddPortNames(Port* port) {
    WCHAR device[48], link[32], com[16];
    FormNames(port, device, link, com);
    UNICODE_STRING deviceName, linkName, valueName;
    RtlInitUnicodeString(&deviceName, device);
    RtlInitUnicodeString(&linkName, link);
    NTSTATUS status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    HANDLE key;
    status = OpenSerialCommKey(&key);
    if (NT_SUCCESS(status)) {
        RtlInitUnicodeString(&valueName, device);
        status = ZwSetValueKey(key, &valueName, 0, REG_SZ, com,
                               (ULONG)((wcslen(com) + 1) * sizeof(WCHAR)));
        ZwClose(key);
    }
    if (!NT_SUCCESS(status)) {
        IoDeleteSymbolicLink(&linkName);
        return status;
    }
    port->named = TRUE;
    return STATUS_SUCCESS;
}

static void RemovePortNames(Port* port) {
    Acquire();
    const BOOLEAN named = port->named;
    port->named = FALSE;
    Release();
    if (!named) {
        return;
    }
    WCHAR device[48], link[32], com[16];
    FormNames(port, device, link, com);
    UNICODE_STRING linkName, valueName;
    RtlInitUnicodeString(&linkName, link);
    IoDeleteSymbolicLink(&linkName);
    HANDLE key;
    if (NT_SUCCESS(OpenSerialCommKey(&key))) {
        RtlInitUnicodeString(&valueName, device);
        ZwDeleteValueKey(key, &valueName);
        ZwClose(key);
    }
}

/* ---- Plug and unplug ---- */

/* Under the lock. */
static BOOLEAN NumberInUse(ULONG number) {
    PLIST_ENTRY pads = PadList();
    for (PLIST_ENTRY entry = pads->Flink; entry != pads; entry = entry->Flink) {
        const PadHeader* pad = CONTAINING_RECORD(entry, PadHeader, entry);
        if (pad->kind == PortDevice && pad->plugged && ((const Port*)pad)->number == number) {
            return TRUE;
        }
    }
    return FALSE;
}

NTSTATUS PlugPort(PIRP irp, ULONG inLength, ULONG outLength) {
    if (inLength < sizeof(ULONG) || outLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    const ULONG number = *(const ULONG*)irp->AssociatedIrp.SystemBuffer;
    Acquire();
    const BOOLEAN taken = NumberInUse(number);
    Release();
    if (number == 0 || number > 255 || taken) {
        return Complete(irp, STATUS_OBJECT_NAME_COLLISION, 0);
    }
    Port* port = (Port*)NewPad(PortDevice, L"Serial", sizeof(Port), FILE_DEVICE_SERIAL_PORT);
    if (port == NULL) {
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    port->header.self->Flags |= DO_BUFFERED_IO;
    port->number = number;
    port->baudRate = 9600;
    port->line.WordLength = 8;
    port->line.Parity = NO_PARITY;
    port->line.StopBits = STOP_BIT_1;
    port->queues.InSize = port->queues.OutSize = 4096;
    port->dsr = TRUE; /* a pad that is switched on raises DSR */
    InitializeListHead(&port->waits);
    InitializeListHead(&port->reads);
    const NTSTATUS status = AddPortNames(port);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(port->header.self);
        return Complete(irp, status, 0);
    }
    AddPad(&port->header);
    *(ULONG*)irp->AssociatedIrp.SystemBuffer = port->header.id;
    return Complete(irp, STATUS_SUCCESS, sizeof(ULONG));
}

void DeletePort(PadHeader* header) {
    RemovePortNames((Port*)header);
    IoDeleteDevice(header->self);
}

/* Under the lock: every pending read and wait ends with `status`. */
static void FinishRequests(Port* port, PLIST_ENTRY finished, NTSTATUS status) {
    FinishAll(&port->reads, finished, status);
    FinishAll(&port->waits, finished, status);
    port->activeRead = NULL;
}

NTSTATUS UnplugPort(PadHeader* header) {
    Port* port = (Port*)header;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    const BOOLEAN wasPlugged = header->plugged;
    header->plugged = FALSE;
    port->count = 0;
    FinishRequests(port, &finished, STATUS_DELETE_PENDING);
    const BOOLEAN gone = wasPlugged && port->file == NULL && LeaveIfUnplugged(header);
    Release();
    CompleteFinished(&finished);
    if (!wasPlugged) {
        return STATUS_NO_SUCH_DEVICE;
    }
    RemovePortNames(port);
    if (gone) {
        DeletePort(header);
    }
    return STATUS_SUCCESS;
}

/* ---- Events and waits ---- */

/* Under the lock: the pending wait, if any, ends reporting `events`. */
static BOOLEAN EndWait(Port* port, ULONG events, PLIST_ENTRY finished) {
    PIRP wait = DequeueIrp(&port->waits);
    if (wait == NULL) {
        return FALSE;
    }
    *(ULONG*)wait->AssociatedIrp.SystemBuffer = events;
    Finish(finished, wait, STATUS_SUCCESS, sizeof(ULONG));
    return TRUE;
}

/* Under the lock: a line event happened; a wait for it ends. */
static void Signal(Port* port, ULONG event, PLIST_ENTRY finished) {
    if ((port->waitMask & event) == 0) {
        return;
    }
    port->history |= event;
    if (EndWait(port, port->history, finished)) {
        port->history = 0;
    }
}

static NTSTATUS WaitOnMask(Port* port, PIRP irp, ULONG outLength) {
    if (outLength < sizeof(ULONG)) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    NTSTATUS status;
    ULONG events = 0;
    Acquire();
    ++port->waitRequests;
    if (!IsListEmpty(&port->waits) || port->waitMask == 0) {
        status = STATUS_INVALID_PARAMETER;
    } else if (port->history != 0) {
        events = port->history;
        port->history = 0;
        status = STATUS_SUCCESS;
    } else {
        status = QueueIrp(&port->waits, irp, NULL);
    }
    Release();
    if (status == STATUS_PENDING) {
        return status;
    }
    *(ULONG*)irp->AssociatedIrp.SystemBuffer = events;
    return Complete(irp, status, status == STATUS_SUCCESS ? sizeof(ULONG) : 0);
}

/* ---- Reads ---- */

static ULONGLONG Now(void) {
    return KeQueryInterruptTime();
}

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
    ULONGLONG next = MAXULONGLONG;
    if (port->activeRead == NULL) {
        return next;
    }
    if (port->totalDeadline != 0) {
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

static NTSTATUS Read(Port* port, PIRP irp) {
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    irp->IoStatus.Information = 0;
    Acquire();
    ++port->readRequests;
    NTSTATUS status = QueueIrp(&port->reads, irp, CancelRead);
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

/* ---- Bytes from winepad.exe, and settings ---- */

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

NTSTATUS PortSetting(PadHeader* header, ULONG kind, ULONG value) {
    Port* port = (Port*)header;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    if (kind == WinePadDsr) {
        if (port->dsr != (value != 0)) {
            port->dsr = value != 0;
            Signal(port, SERIAL_EV_DSR, &finished);
        }
    } else if (kind == WinePadRefusedRate) {
        port->refusedRate = value;
    } else {
        status = STATUS_INVALID_PARAMETER;
    }
    Release();
    CompleteFinished(&finished);
    return status;
}

NTSTATUS PortState(PadHeader* header, PIRP irp, ULONG outLength) {
    const Port* port = (const Port*)header;
    WinePadPortState state;
    if (outLength < sizeof state) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    RtlZeroMemory(&state, sizeof state);
    Acquire();
    state.opens = port->file != NULL ? 1 : 0;
    state.baudRate = port->baudRate;
    state.stopBits = port->line.StopBits;
    state.parity = port->line.Parity;
    state.wordLength = port->line.WordLength;
    state.dtr = port->dtr;
    state.rts = port->rts;
    state.controlHandShake = port->handflow.ControlHandShake;
    state.flowReplace = port->handflow.FlowReplace;
    state.timeouts[0] = port->timeouts.ReadIntervalTimeout;
    state.timeouts[1] = port->timeouts.ReadTotalTimeoutMultiplier;
    state.timeouts[2] = port->timeouts.ReadTotalTimeoutConstant;
    state.timeouts[3] = port->timeouts.WriteTotalTimeoutMultiplier;
    state.timeouts[4] = port->timeouts.WriteTotalTimeoutConstant;
    state.inQueueSize = port->queues.InSize;
    state.outQueueSize = port->queues.OutSize;
    state.waitMask = port->waitMask;
    state.waits = port->waitRequests;
    state.statusQueries = port->statusQueries;
    state.modemQueries = port->modemQueries;
    state.reads = port->readRequests;
    state.writes = port->writeRequests;
    state.refusedRequests = port->refusedRequests;
    state.lastRefusedCode = port->lastRefusedCode;
    Release();
    RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, &state, sizeof state);
    return Complete(irp, STATUS_SUCCESS, sizeof state);
}

/* ---- The program's requests ---- */

static NTSTATUS Write(Port* port, PIRP irp) {
    const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    ++port->writeRequests;
    Signal(port, SERIAL_EV_TXEMPTY, &finished);
    Release();
    CompleteFinished(&finished);
    if (length > 0) {
        RecordSent(port->header.id, WinePadPortWrite, 0, RequestBuffer(port->header.self, irp),
                   length);
    }
    return Complete(irp, STATUS_SUCCESS, length);
}

/* Under the lock. */
static void Purge(Port* port, ULONG what, PLIST_ENTRY finished) {
    if ((what & SERIAL_PURGE_RXABORT) != 0) {
        FinishAll(&port->reads, finished, STATUS_CANCELLED);
        port->activeRead = NULL;
    }
    if ((what & SERIAL_PURGE_RXCLEAR) != 0) {
        port->head = port->count = 0;
    }
}

/* Whether a request's buffer holds `size` bytes; if not, the status says so. */
static BOOLEAN Fits(ULONG length, ULONG size, NTSTATUS* status) {
    if (length < size) {
        *status = STATUS_BUFFER_TOO_SMALL;
        return FALSE;
    }
    return TRUE;
}

/* Under the lock: a control request of the comm functions, answered in `buffer` (the request's
 * METHOD_BUFFERED buffer); `*information` is how much of it holds the answer. */
static NTSTATUS Control(Port* port, ULONG code, PVOID buffer, ULONG in, ULONG out,
                        ULONG_PTR* information, PLIST_ENTRY finished) {
    NTSTATUS status = STATUS_SUCCESS;
    ULONG answer = 0;
    *information = 0;
    switch (code) {
        case IOCTL_SERIAL_SET_BAUD_RATE:
            if (Fits(in, sizeof(SERIAL_BAUD_RATE), &status)) {
                const ULONG rate = ((const SERIAL_BAUD_RATE*)buffer)->BaudRate;
                if (rate == 0 || rate == port->refusedRate) {
                    status = STATUS_INVALID_PARAMETER;
                } else {
                    port->baudRate = rate;
                }
            }
            break;
        case IOCTL_SERIAL_GET_BAUD_RATE:
            if (Fits(out, sizeof(SERIAL_BAUD_RATE), &status)) {
                ((SERIAL_BAUD_RATE*)buffer)->BaudRate = port->baudRate;
                *information = sizeof(SERIAL_BAUD_RATE);
            }
            break;
        case IOCTL_SERIAL_SET_LINE_CONTROL:
            if (Fits(in, sizeof port->line, &status)) {
                RtlCopyMemory(&port->line, buffer, sizeof port->line);
            }
            break;
        case IOCTL_SERIAL_GET_LINE_CONTROL:
            if (Fits(out, sizeof port->line, &status)) {
                RtlCopyMemory(buffer, &port->line, sizeof port->line);
                *information = sizeof port->line;
            }
            break;
        case IOCTL_SERIAL_SET_HANDFLOW:
            if (Fits(in, sizeof port->handflow, &status)) {
                /* DTR and RTS are raised when set on or for handshaking, dropped when off. */
                RtlCopyMemory(&port->handflow, buffer, sizeof port->handflow);
                port->dtr = (port->handflow.ControlHandShake & SERIAL_DTR_MASK) != 0;
                port->rts = (port->handflow.FlowReplace & SERIAL_RTS_MASK) != 0;
            }
            break;
        case IOCTL_SERIAL_GET_HANDFLOW:
            if (Fits(out, sizeof port->handflow, &status)) {
                RtlCopyMemory(buffer, &port->handflow, sizeof port->handflow);
                *information = sizeof port->handflow;
            }
            break;
        case IOCTL_SERIAL_SET_CHARS:
            if (Fits(in, sizeof port->chars, &status)) {
                RtlCopyMemory(&port->chars, buffer, sizeof port->chars);
            }
            break;
        case IOCTL_SERIAL_GET_CHARS:
            if (Fits(out, sizeof port->chars, &status)) {
                RtlCopyMemory(buffer, &port->chars, sizeof port->chars);
                *information = sizeof port->chars;
            }
            break;
        case IOCTL_SERIAL_SET_TIMEOUTS:
            if (Fits(in, sizeof port->timeouts, &status)) {
                RtlCopyMemory(&port->timeouts, buffer, sizeof port->timeouts);
            }
            break;
        case IOCTL_SERIAL_GET_TIMEOUTS:
            if (Fits(out, sizeof port->timeouts, &status)) {
                RtlCopyMemory(buffer, &port->timeouts, sizeof port->timeouts);
                *information = sizeof port->timeouts;
            }
            break;
        case IOCTL_SERIAL_SET_QUEUE_SIZE:
            if (Fits(in, sizeof port->queues, &status)) {
                RtlCopyMemory(&port->queues, buffer, sizeof port->queues);
            }
            break;
        case IOCTL_SERIAL_SET_WAIT_MASK:
            if (Fits(in, sizeof(ULONG), &status)) {
                /* A new mask ends the pending wait, which reports no event. */
                EndWait(port, 0, finished);
                port->waitMask = *(const ULONG*)buffer;
                port->history = 0;
            }
            break;
        case IOCTL_SERIAL_GET_WAIT_MASK:
            answer = port->waitMask;
            goto answer;
        case IOCTL_SERIAL_GET_COMMSTATUS:
            ++port->statusQueries;
            if (Fits(out, sizeof(SERIAL_STATUS), &status)) {
                SERIAL_STATUS* line = buffer;
                RtlZeroMemory(line, sizeof *line);
                line->Errors = port->errors;
                line->AmountInInQueue = port->count;
                port->errors = 0;
                *information = sizeof *line;
            }
            break;
        case IOCTL_SERIAL_GET_MODEMSTATUS:
            ++port->modemQueries;
            answer = port->dsr ? SERIAL_DSR_STATE | SERIAL_CTS_STATE : 0;
            goto answer;
        case IOCTL_SERIAL_GET_DTRRTS:
            answer = (port->dtr ? SERIAL_DTR_STATE : 0) | (port->rts ? SERIAL_RTS_STATE : 0);
            goto answer;
        case IOCTL_SERIAL_SET_DTR:
        case IOCTL_SERIAL_CLR_DTR:
            port->dtr = code == IOCTL_SERIAL_SET_DTR;
            break;
        case IOCTL_SERIAL_SET_RTS:
        case IOCTL_SERIAL_CLR_RTS:
            port->rts = code == IOCTL_SERIAL_SET_RTS;
            break;
        case IOCTL_SERIAL_PURGE:
            if (Fits(in, sizeof(ULONG), &status)) {
                Purge(port, *(const ULONG*)buffer, finished);
            }
            break;
        case IOCTL_SERIAL_SET_XON:
        case IOCTL_SERIAL_SET_XOFF:
        case IOCTL_SERIAL_SET_BREAK_ON:
        case IOCTL_SERIAL_SET_BREAK_OFF:
            break;
        default:
            status = STATUS_INVALID_PARAMETER;
            break;
    }
    return status;
answer:
    if (Fits(out, sizeof(ULONG), &status)) {
        *(ULONG*)buffer = answer;
        *information = sizeof(ULONG);
    }
    return status;
}

static NTSTATUS DeviceControl(Port* port, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    if (code == IOCTL_SERIAL_WAIT_ON_MASK) {
        return WaitOnMask(port, irp, out);
    }
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    ULONG_PTR information = 0;
    Acquire();
    const NTSTATUS status =
        Control(port, code, irp->AssociatedIrp.SystemBuffer,
                stack->Parameters.DeviceIoControl.InputBufferLength, out, &information, &finished);
    if (!NT_SUCCESS(status)) {
        ++port->refusedRequests;
        port->lastRefusedCode = code;
    }
    Release();
    CompleteFinished(&finished);
    return Complete(irp, status, information);
}

static PFILE_OBJECT FileOf(PIRP irp) {
    return IoGetCurrentIrpStackLocation(irp)->FileObject;
}

/* The first open takes the port with its receive queue empty and no wait mask; another is
 * refused while it is open. */
static NTSTATUS Create(Port* port, PIRP irp) {
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    if (port->file != NULL) {
        status = STATUS_ACCESS_DENIED;
    } else {
        port->file = FileOf(irp);
        port->head = port->count = 0;
        port->errors = port->waitMask = port->history = 0;
    }
    Release();
    return Complete(irp, status, 0);
}

/* The open's handle goes (cleanup), then the open itself (close): its requests end, DTR and RTS
 * drop, and a port pulled out meanwhile goes. An open that was refused is closed too, and
 * leaves the port as it is. */
static NTSTATUS EndOpen(Port* port, PIRP irp, BOOLEAN close) {
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    BOOLEAN gone = FALSE;
    Acquire();
    if (port->file == FileOf(irp)) {
        FinishRequests(port, &finished, STATUS_CANCELLED);
        if (close) {
            port->file = NULL;
            port->dtr = port->rts = FALSE;
            gone = LeaveIfUnplugged(&port->header);
        }
    }
    Release();
    CompleteFinished(&finished);
    Complete(irp, STATUS_SUCCESS, 0);
    if (gone) {
        DeletePort(&port->header);
    }
    return STATUS_SUCCESS;
}

NTSTATUS PortDispatch(PadHeader* header, PIRP irp) {
    Port* port = (Port*)header;
    const UCHAR function = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    if (function == IRP_MJ_CLOSE || function == IRP_MJ_CLEANUP) {
        return EndOpen(port, irp, function == IRP_MJ_CLOSE);
    }
    if (!header->plugged) {
        /* Pulled out: what is left of the port refuses everything as a device being deleted. */
        return Complete(irp, STATUS_DELETE_PENDING, 0);
    }
    if (function == IRP_MJ_CREATE) {
        return Create(port, irp);
    }
    /* Wine hands out the handle of an open before the driver has answered it, and keeps it
     * whatever the answer: a refused open gets its requests refused instead. */
    Acquire();
    const BOOLEAN owner = port->file == FileOf(irp);
    Release();
    if (!owner) {
        return Complete(irp, STATUS_ACCESS_DENIED, 0);
    }
    switch (function) {
        case IRP_MJ_READ:
            return Read(port, irp);
        case IRP_MJ_WRITE:
            return Write(port, irp);
        case IRP_MJ_DEVICE_CONTROL:
            return DeviceControl(port, irp);
        default:
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}
