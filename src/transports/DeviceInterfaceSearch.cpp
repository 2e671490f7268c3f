#include "transports/DeviceInterfaceSearch.h"

DeviceInfoSet::DeviceInfoSet(const platform::InterfaceClassGuid& interfaceClass, uint32_t& error)
    : interfaceClass(interfaceClass) {
    error = platform::ListDeviceInterfaces(interfaceClass, members);
}

DeviceInterfaceDetail::DeviceInterfaceDetail(const DeviceInfoSet& infoSet, int32_t memberIndex,
                                             uint32_t& error) {
    const std::vector<std::string>& members = infoSet.Members();
    if (memberIndex < 0 || static_cast<size_t>(memberIndex) >= members.size()) {
        error = kErrorNoMoreItems;
        return;
    }
    devicePath = members[static_cast<size_t>(memberIndex)];
    error = 0;
}
