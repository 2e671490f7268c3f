/* The control interface of the virtual pad bus: what winepad.exe sends to the bus driver
 * through \\.\WinePadBus, and what the bus driver hands back. Shared by the driver (C) and the
 * program (C++). Every request is METHOD_BUFFERED; every structure is packed and little-endian.
 * The bus presents three kinds of pad, all numbered from one count: HID pads, serial ports
 * (COMn) and pads of the legacy USB pipe driver. */
#pragma once

#define WINEPAD_CONTROL_NAME L"\\Device\\WinePadBus"
#define WINEPAD_CONTROL_LINK L"\\DosDevices\\WinePadBus"
#define WINEPAD_CONTROL_PATH "\\\\.\\WinePadBus"

#define WINEPAD_CTL(function) \
    CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900 + (function), METHOD_BUFFERED, FILE_ANY_ACCESS)

/* In: WinePadPlug and the report descriptor after it. Out: the new pad's id (ULONG). */
#define IOCTL_WINEPAD_PLUG WINEPAD_CTL(0)
/* In: the pad id (ULONG). The pad vanishes as a surprise removal. */
#define IOCTL_WINEPAD_UNPLUG WINEPAD_CTL(1)
/* In: WinePadReport and what the pad sends: for a HID pad one input report as the device sends
 * it (the report id byte first only for a device that numbers its reports); for a serial port
 * the bytes it receives; for a pipe pad whole 4-byte packets, one read each. */
#define IOCTL_WINEPAD_INPUT WINEPAD_CTL(2)
/* Out: WinePadReport and the bytes of the next report the host sent to a pad; pends until one
 * is there. */
#define IOCTL_WINEPAD_NEXT_SENT WINEPAD_CTL(3)

/* In: the port number n of COMn (ULONG). Out: the new pad's id (ULONG). */
#define IOCTL_WINEPAD_PLUG_PORT WINEPAD_CTL(4)
/* Out: the new pad's id (ULONG): a pad of the legacy USB pipe driver's interface class. */
#define IOCTL_WINEPAD_PLUG_PIPE WINEPAD_CTL(5)
/* In: WinePadSetting. */
#define IOCTL_WINEPAD_SET WINEPAD_CTL(6)
/* In: a serial port's pad id (ULONG). Out: WinePadPortState. */
#define IOCTL_WINEPAD_PORT_STATE WINEPAD_CTL(7)

#define WINEPAD_MAX_DESCRIPTOR 4096
#define WINEPAD_MAX_REPORT 1024
#define WINEPAD_MAX_QUEUED 4096

/* How a report reached the pad: the class driver's request that carried it. */
enum WinePadSentKind {
    WinePadWriteReport = 1,     /* WriteFile */
    WinePadSetOutputReport = 2, /* HidD_SetOutputReport */
    WinePadSetFeature = 3,      /* HidD_SetFeature */
    WinePadPortWrite = 4        /* WriteFile on a serial port */
};

/* What IOCTL_WINEPAD_SET changes. */
enum WinePadSettingKind {
    WinePadDsr = 1,         /* a serial port's DSR line: value 1 on, 0 off */
    WinePadRefusedRate = 2, /* a baud rate the serial port refuses (0: none) */
    WinePadHoldReads = 3,   /* a pipe pad keeps its reads and ignores their cancellation while
                               value is 1; 0 lets them go (cancelled) */
    WinePadLateWaits = 4    /* a serial port ends a pending wait that a new mask or a cancel
                               ends only LATE_WAIT_MS later while value is 1 */
};

#include <pshpack1.h>
typedef struct WinePadPlug {
    unsigned short vendorId;
    unsigned short productId;
    unsigned short version;
    unsigned short descriptorLength;
} WinePadPlug;

typedef struct WinePadReport {
    unsigned long padId;
    unsigned long kind;     /* WinePadSentKind for sent reports, 0 for input */
    unsigned long reportId; /* the id the class driver named, for sent reports */
    unsigned long length;   /* bytes that follow */
} WinePadReport;

typedef struct WinePadSetting {
    unsigned long padId;
    unsigned long kind; /* WinePadSettingKind */
    unsigned long value;
} WinePadSetting;

/* A serial port's settings as the program on the other side last set them, and how many of
 * each request it made since the port was plugged. */
typedef struct WinePadPortState {
    unsigned long opens; /* handles open now: 0 or 1 */
    unsigned long baudRate;
    unsigned char stopBits; /* as SERIAL_LINE_CONTROL has them */
    unsigned char parity;
    unsigned char wordLength;
    unsigned char dtr;
    unsigned char rts;
    unsigned char reserved[3];
    unsigned long controlHandShake; /* SERIAL_HANDFLOW */
    unsigned long flowReplace;
    unsigned long timeouts[5]; /* SERIAL_TIMEOUTS, in its order */
    unsigned long inQueueSize;
    unsigned long outQueueSize;
    unsigned long waitMask;
    unsigned long waits;         /* IOCTL_SERIAL_WAIT_ON_MASK */
    unsigned long statusQueries; /* IOCTL_SERIAL_GET_COMMSTATUS */
    unsigned long modemQueries;  /* IOCTL_SERIAL_GET_MODEMSTATUS */
    unsigned long reads;
    unsigned long writes;
    unsigned long refusedRequests; /* requests the port refused, unknown ones among them */
    unsigned long lastRefusedCode;
    unsigned long closesWithWait; /* closes of the port while a wait was still pending */
} WinePadPortState;
#include <poppack.h>
