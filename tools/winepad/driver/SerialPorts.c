/* The serial ports of the bus: each a device object of the serial port type named COMn (a
 * symbolic link in \DosDevices, and the SERIALCOMM entry programs list ports by), answering
 * the requests of the Windows comm functions as the system's serial port driver does where a
 * program can tell: one open at a time, line settings kept and a refused baud rate failing,
 * the modem status with the DSR line winepad.exe sets, and every request failing once the
 * port is pulled out. What the program writes goes to winepad.exe; what winepad.exe feeds
 * arrives as received bytes (SerialReceive.c). */
#include "SerialPort.h"

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

NTSTATUS UnplugPort(PadHeader* header) {
    Port* port = (Port*)header;
    LIST_ENTRY finished;
    InitializeListHead(&finished);
    Acquire();
    const BOOLEAN wasPlugged = header->plugged;
    header->plugged = FALSE;
    ClearReceived(port);
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

/* ---- Settings from winepad.exe ---- */

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
    } else if (kind == WinePadLateWaits) {
        port->lateWaits = value != 0;
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
    state.closesWithWait = port->closesWithWait;
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
    const NTSTATUS refusal = Refusal(port, irp);
    if (NT_SUCCESS(refusal)) {
        ++port->writeRequests;
        Signal(port, SERIAL_EV_TXEMPTY, &finished);
    }
    Release();
    CompleteFinished(&finished);
    if (!NT_SUCCESS(refusal)) {
        return Complete(irp, refusal, 0);
    }
    if (length > 0) {
        RecordSent(port->header.id, WinePadPortWrite, 0, RequestBuffer(port->header.self, irp),
                   length);
    }
    return Complete(irp, STATUS_SUCCESS, length);
}

/* Under the lock. */
static void Purge(Port* port, ULONG what, PLIST_ENTRY finished) {
    if ((what & SERIAL_PURGE_RXABORT) != 0) {
        FinishReads(port, finished, STATUS_CANCELLED);
    }
    if ((what & SERIAL_PURGE_RXCLEAR) != 0) {
        ClearReceived(port);
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

/* A request answered with one word. */
static NTSTATUS AnswerWord(PVOID buffer, ULONG out, ULONG word, ULONG_PTR* information) {
    NTSTATUS status = STATUS_SUCCESS;
    if (Fits(out, sizeof(ULONG), &status)) {
        *(ULONG*)buffer = word;
        *information = sizeof(ULONG);
    }
    return status;
}

/* Under the lock: a control request of the comm functions, answered in `buffer` (the request's
 * METHOD_BUFFERED buffer); `*information` is how much of it holds the answer. */
static NTSTATUS Control(Port* port, ULONG code, PVOID buffer, ULONG in, ULONG out,
                        ULONG_PTR* information, PLIST_ENTRY finished) {
    NTSTATUS status = STATUS_SUCCESS;
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
                EndWaitForNewMask(port, finished);
                port->waitMask = *(const ULONG*)buffer;
                port->history = 0;
            }
            break;
        case IOCTL_SERIAL_GET_WAIT_MASK:
            return AnswerWord(buffer, out, port->waitMask, information);
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
            return AnswerWord(buffer, out, port->dsr ? SERIAL_DSR_STATE | SERIAL_CTS_STATE : 0,
                              information);
        case IOCTL_SERIAL_GET_DTRRTS:
            return AnswerWord(
                buffer, out,
                (port->dtr ? SERIAL_DTR_STATE : 0) | (port->rts ? SERIAL_RTS_STATE : 0),
                information);
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
    NTSTATUS status = Refusal(port, irp);
    if (!NT_SUCCESS(status)) {
        Release();
        return Complete(irp, status, 0);
    }
    status =
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

NTSTATUS Refusal(const Port* port, PIRP irp) {
    if (!port->header.plugged) {
        return STATUS_DELETE_PENDING;
    }
    return port->file == FileOf(irp) ? STATUS_SUCCESS : STATUS_ACCESS_DENIED;
}

/* The first open takes the port with its receive queue empty and no wait mask; another is
 * refused while it is open. */
static NTSTATUS Create(Port* port, PIRP irp) {
    NTSTATUS status = STATUS_SUCCESS;
    Acquire();
    if (!port->header.plugged) {
        status = STATUS_DELETE_PENDING; /* pulled out while the open was on its way */
    } else if (port->file != NULL) {
        status = STATUS_ACCESS_DENIED;
    } else {
        port->file = FileOf(irp);
        ClearReceived(port);
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
        port->closesWithWait += WaitPending(port) ? 1 : 0;
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
    /* Each request checks the port under the lock (Refusal): checked here, an unplug could come
     * between the check and a wait or read queued after its requests were finished. */
    switch (function) {
        case IRP_MJ_CREATE:
            return Create(port, irp);
        case IRP_MJ_READ:
            return ReadPort(port, irp);
        case IRP_MJ_WRITE:
            return Write(port, irp);
        case IRP_MJ_DEVICE_CONTROL:
            return DeviceControl(port, irp);
        default:
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}
