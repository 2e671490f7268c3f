// The BridgeAddresses setting: which addresses a TCP listener's bridge may come from.
#include "tablet/BridgeAddresses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tablet/Ipv4Address.h"

namespace {

TEST(BridgeAddresses, ListsAcceptTheirAddressesOnlyAndNothingWhenNoneParses) {
    struct Case {
        std::string setting;
        std::vector<std::string> accepted;
        std::vector<std::string> refused;
        std::vector<std::string> rejectedEntries;
    };
    const Case cases[] = {
        {"", {"10.0.0.5", "127.0.0.1"}, {}, {}},
        {" ,\t, ", {"10.0.0.5"}, {}, {}},
        {"127.0.0.1", {"127.0.0.1"}, {"127.0.0.2", "1.0.0.127"}, {}},
        {"10.0.0.5, 192.168.1.20", {"10.0.0.5", "192.168.1.20"}, {"127.0.0.1"}, {}},
        {"10.0.0.5 192.168.1.20,,255.255.255.255",
         {"10.0.0.5", "192.168.1.20", "255.255.255.255"},
         {"10.0.0.6"},
         {}},
        {"0.0.0.0", {"0.0.0.0"}, {"127.0.0.1"}, {}},
        // Nothing that parses: nobody, never everybody.
        {"bogus", {}, {"127.0.0.1", "0.0.0.0"}, {"bogus"}},
        {"010.0.0.1;127.0.0.1", {}, {"10.0.0.1", "127.0.0.1"}, {"010.0.0.1;127.0.0.1"}},
        {"256.0.0.1, 1.2.3, 1.2.3.4.5, 1.2.3., 10.1, 0x7f.0.0.1, 127.0.0.1",
         {"127.0.0.1"},
         {"10.0.0.1", "1.2.3.4"},
         {"256.0.0.1", "1.2.3", "1.2.3.4.5", "1.2.3.", "10.1", "0x7f.0.0.1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.setting + "\"");
        const BridgeAddressList list = ParseBridgeAddresses(c.setting);
        for (const std::string& address : c.accepted) {
            EXPECT_TRUE(list.Accepts(ParseIpv4Address(address))) << address;
        }
        for (const std::string& address : c.refused) {
            EXPECT_FALSE(list.Accepts(ParseIpv4Address(address))) << address;
        }
        EXPECT_EQ(list.rejected, c.rejectedEntries);
    }
}

TEST(BridgeAddresses, DescriptionSaysWhichAddressesAndWhatIsIgnored) {
    EXPECT_EQ(DescribeBridgeAddresses(ParseBridgeAddresses("")),
              "from any address (BridgeAddresses is empty)");
    EXPECT_EQ(DescribeBridgeAddresses(ParseBridgeAddresses("10.0.0.5,127.0.0.1 x")),
              "only from 10.0.0.5, 127.0.0.1; BridgeAddresses entry \"x\" is no address and is "
              "ignored");
    EXPECT_EQ(DescribeBridgeAddresses(ParseBridgeAddresses("x")),
              "from no address at all; BridgeAddresses entry \"x\" is no address and is ignored");
}

}  // namespace
