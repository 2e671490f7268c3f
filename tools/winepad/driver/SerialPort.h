/* What the two files of the bus's serial ports share: a port's state, and the receive side's
 * operations that the port's requests call. Everything in a Port is guarded by the bus's lock. */
#pragma once

#include "PadBus.h"
/* After the kernel's types, which it builds on. */
#include <ntddser.h>

#define RECEIVE_CAPACITY 16384

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

/* ---- SerialReceive.c ---- */

/* Under the lock: a line event happened; a wait for it ends. */
void Signal(Port* port, ULONG event, PLIST_ENTRY finished);
/* Under the lock: the pending wait, if any, ends reporting `events`. */
BOOLEAN EndWait(Port* port, ULONG events, PLIST_ENTRY finished);
NTSTATUS WaitOnMask(Port* port, PIRP irp, ULONG outLength);
NTSTATUS ReadPort(Port* port, PIRP irp);
/* Under the lock: every pending read (and wait) ends with `status`. */
void FinishReads(Port* port, PLIST_ENTRY finished, NTSTATUS status);
void FinishRequests(Port* port, PLIST_ENTRY finished, NTSTATUS status);
/* Under the lock: the receive queue empties. */
void ClearReceived(Port* port);
