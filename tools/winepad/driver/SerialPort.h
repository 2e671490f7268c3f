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
    /* Told to end waits late: a wait that a new mask or a cancel ends (what a program's close
     * does to end its wait) waits here until lateWaitDue, when the deadline thread completes it
     * with lateWaitStatus. */
    BOOLEAN lateWaits;
    PIRP lateWait;
    NTSTATUS lateWaitStatus;
    ULONGLONG lateWaitDue;
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
    ULONG closesWithWait; /* closes while a wait was still pending */
} Port;

/* ---- SerialPorts.c ---- */

/* Under the lock, so that an unplug cannot come between the check and the request's queueing:
 * why the port refuses a request of the open the request belongs to, else STATUS_SUCCESS. A port
 * pulled out refuses everything as a device being deleted; Wine hands out the handle of an open
 * before the driver has answered it, and keeps it whatever the answer, so the requests of a
 * refused open are refused instead. */
NTSTATUS Refusal(const Port* port, PIRP irp);

/* ---- SerialReceive.c ---- */

/* Under the lock: a line event happened; a wait for it ends. */
void Signal(Port* port, ULONG event, PLIST_ENTRY finished);
/* Under the lock: the pending wait, if any, ends reporting `events`. */
BOOLEAN EndWait(Port* port, ULONG events, PLIST_ENTRY finished);
NTSTATUS WaitOnMask(Port* port, PIRP irp, ULONG outLength);
NTSTATUS ReadPort(Port* port, PIRP irp);
/* Under the lock: whether a wait is pending, one that ends late too. */
BOOLEAN WaitPending(const Port* port);
/* Under the lock: a new mask ends the pending wait, which reports no event; on a port told to end
 * its waits late, only LATE_WAIT_MS later. */
void EndWaitForNewMask(Port* port, PLIST_ENTRY finished);
/* Under the lock: every pending read (and wait) ends with `status`. */
void FinishReads(Port* port, PLIST_ENTRY finished, NTSTATUS status);
void FinishRequests(Port* port, PLIST_ENTRY finished, NTSTATUS status);
/* Under the lock: the receive queue empties. */
void ClearReceived(Port* port);
