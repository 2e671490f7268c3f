/* The control interface of the virtual pad bus: what winepad.exe sends to the bus driver
 * through \\.\WinePadBus, and what the bus driver hands back. Shared by the driver (C) and the
 * program (C++). Every request is METHOD_BUFFERED; every structure is packed and little-endian. */
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
/* In: WinePadReport and the bytes of one input report as the device sends it (the report id
 * byte first only for a device that numbers its reports). */
#define IOCTL_WINEPAD_INPUT WINEPAD_CTL(2)
/* Out: WinePadReport and the bytes of the next report the host sent to a pad; pends until one
 * is there. */
#define IOCTL_WINEPAD_NEXT_SENT WINEPAD_CTL(3)

#define WINEPAD_MAX_DESCRIPTOR 4096
#define WINEPAD_MAX_REPORT 1024
#define WINEPAD_MAX_QUEUED 4096

/* How a report reached the pad: the class driver's request that carried it. */
enum WinePadSentKind {
    WinePadWriteReport = 1,     /* WriteFile */
    WinePadSetOutputReport = 2, /* HidD_SetOutputReport */
    WinePadSetFeature = 3       /* HidD_SetFeature */
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
#include <poppack.h>
