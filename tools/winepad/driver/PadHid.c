/* The HID minidriver of a virtual pad: registers with the HID class driver and hands every
 * request the class driver sends it down to the pad's physical device object, which the bus
 * driver (PadBus.c) owns and answers. */
#include "HidMinidriver.h"

static PDEVICE_OBJECT LowerDevice(PDEVICE_OBJECT device) {
    return ((PadHidDeviceExtension*)device->DeviceExtension)->NextDeviceObject;
}

static NTSTATUS NTAPI PassDown(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(LowerDevice(device), irp);
}

static NTSTATUS NTAPI PassPowerDown(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(LowerDevice(device), irp);
}

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT device) {
    (void)driver;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    PadHidMinidriverRegistration registration;
    RtlZeroMemory(&registration, sizeof registration);
    registration.Revision = PAD_HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registryPath;
    registration.DeviceExtensionSize = 0;
    registration.DevicesArePolled = FALSE;

    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_PNP] = PassDown;
    driver->MajorFunction[IRP_MJ_POWER] = PassPowerDown;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = PassDown;
    return HidRegisterMinidriver(&registration);
}
