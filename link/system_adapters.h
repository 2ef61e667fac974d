#pragma once

#include <istream>
#include <map>
#include <string>
#include <vector>

#include "link/adapters.h"

namespace scopemark {

// The running system's adapters, in kernel (interface index) order, loopback excluded:
// IPv4 addresses from getifaddrs, the hardware address, gateways from the routing table, and
// a description containing "Wireless" exactly when the kernel reports the interface as
// wireless (a `wireless` or `phy80211` entry in its sysfs folder).
class SystemAdapterSource final : public AdapterSource {
 public:
  explicit SystemAdapterSource(std::string sysfs_net = "/sys/class/net",
                               std::string route_table = "/proc/net/route")
      : sysfs_net_(std::move(sysfs_net)), route_table_(std::move(route_table)) {}
  std::optional<std::vector<AdapterInfo>> adapters() const override;

 private:
  std::string sysfs_net_;
  std::string route_table_;
};

// Gateways per interface from the text of /proc/net/route, in table order.
std::map<std::string, std::vector<std::string>> parse_route_gateways(std::istream& table);

// Description for an interface: contains "Wireless" exactly when sysfs_net/name/wireless or
// sysfs_net/name/phy80211 exists.
std::string adapter_description(const std::string& sysfs_net, const std::string& name);

// "aa:bb:cc:dd:ee:ff" as six bytes; zeros for anything else.
std::array<uint8_t, 6> parse_hardware_address(const std::string& text);

}  // namespace scopemark
