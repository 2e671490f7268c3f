/* What a HID minidriver and the bus below it need from the HID class driver's interface, as
 * Microsoft documents it (MinGW-w64 ships no hidport.h, and its ddk/hidclass.h gives the
 * minidriver request codes other values, so that header is not used). */
#pragma once

#include <ddk/wdm.h>

#define PAD_HID_CTL(function) \
    CTL_CODE(FILE_DEVICE_KEYBOARD, (function), METHOD_NEITHER, FILE_ANY_ACCESS)
#define PAD_HID_IN_CTL(function) \
    CTL_CODE(FILE_DEVICE_KEYBOARD, (function), METHOD_IN_DIRECT, FILE_ANY_ACCESS)
#define PAD_HID_OUT_CTL(function) \
    CTL_CODE(FILE_DEVICE_KEYBOARD, (function), METHOD_OUT_DIRECT, FILE_ANY_ACCESS)

#define PAD_IOCTL_HID_GET_DEVICE_DESCRIPTOR PAD_HID_CTL(0)
#define PAD_IOCTL_HID_GET_REPORT_DESCRIPTOR PAD_HID_CTL(1)
#define PAD_IOCTL_HID_READ_REPORT PAD_HID_CTL(2)
#define PAD_IOCTL_HID_WRITE_REPORT PAD_HID_CTL(3)
#define PAD_IOCTL_HID_GET_STRING PAD_HID_CTL(4)
#define PAD_IOCTL_HID_GET_DEVICE_ATTRIBUTES PAD_HID_CTL(9)
#define PAD_IOCTL_HID_SET_FEATURE PAD_HID_IN_CTL(100)
#define PAD_IOCTL_HID_SET_OUTPUT_REPORT PAD_HID_IN_CTL(101)

#define PAD_HID_REVISION 1
#define PAD_HID_HID_DESCRIPTOR_TYPE 0x21
#define PAD_HID_REPORT_DESCRIPTOR_TYPE 0x22

typedef struct PadHidMinidriverRegistration {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} PadHidMinidriverRegistration;

/* The device extension the class driver gives a minidriver's functional device object. */
typedef struct PadHidDeviceExtension {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} PadHidDeviceExtension;

typedef struct PadHidDeviceAttributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} PadHidDeviceAttributes;

#include <pshpack1.h>
typedef struct PadHidDescriptor {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
} PadHidDescriptor;
#include <poppack.h>

typedef struct PadHidXferPacket {
    PUCHAR reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} PadHidXferPacket;

NTSTATUS NTAPI HidRegisterMinidriver(PadHidMinidriverRegistration* registration);
