#include "link/system_adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace scopemark {

namespace {

std::string dotted(const sockaddr* address) {
  char text[INET_ADDRSTRLEN] = "0.0.0.0";
  if (address && address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  }
  return text;
}

std::string read_first_line(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

bool parse_hex(const std::string& text, unsigned long& value) {
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, 16);
  return !text.empty() && *end == '\0';
}

struct Interface {
  unsigned index = 0;
  AdapterInfo info;
};

}  // namespace

std::map<std::string, std::vector<std::string>> parse_route_gateways(std::istream& table) {
  std::map<std::string, std::vector<std::string>> gateways;
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string name;
    std::string destination;
    std::string gateway_hex;
    std::string flags_hex;
    if (!(fields >> name >> destination >> gateway_hex >> flags_hex)) continue;
    unsigned long gateway = 0;
    unsigned long flags = 0;
    if (!parse_hex(gateway_hex, gateway) || !parse_hex(flags_hex, flags)) continue;
    if ((flags & RTF_GATEWAY) == 0 || gateway == 0) continue;
    in_addr address{};
    address.s_addr = static_cast<in_addr_t>(gateway);
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof text);
    auto& list = gateways[name];
    if (std::find(list.begin(), list.end(), text) == list.end()) list.emplace_back(text);
  }
  return gateways;
}

std::string adapter_description(const std::string& sysfs_net, const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(sysfs_net) / name;
  std::error_code error;
  const bool wireless = std::filesystem::exists(folder / "wireless", error) ||
                        std::filesystem::exists(folder / "phy80211", error);
  return wireless ? "Wireless network adapter" : "Network adapter";
}

std::array<uint8_t, 6> parse_hardware_address(const std::string& text) {
  std::array<unsigned, 6> parts{};
  std::array<uint8_t, 6> bytes{};
  char tail = 0;
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &parts[0], &parts[1], &parts[2],
                  &parts[3], &parts[4], &parts[5], &tail) == 6) {
    std::copy(parts.begin(), parts.end(), bytes.begin());
  }
  return bytes;
}

std::optional<std::vector<AdapterInfo>> SystemAdapterSource::adapters() const {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::vector<Interface> interfaces;
  for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (entry->ifa_flags & IFF_LOOPBACK) continue;
    const std::string name = entry->ifa_name;
    auto it = std::find_if(interfaces.begin(), interfaces.end(),
                           [&](const Interface& known) { return known.info.name == name; });
    if (it == interfaces.end()) {
      Interface added;
      added.index = if_nametoindex(name.c_str());
      added.info.name = name;
      interfaces.push_back(std::move(added));
      it = interfaces.end() - 1;
    }
    if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
      it->info.addresses.push_back({dotted(entry->ifa_addr), dotted(entry->ifa_netmask)});
    }
  }
  freeifaddrs(list);

  std::ifstream route_file(route_table_);
  const auto gateways = parse_route_gateways(route_file);
  std::stable_sort(interfaces.begin(), interfaces.end(),
                   [](const Interface& a, const Interface& b) { return a.index < b.index; });
  std::vector<AdapterInfo> adapters;
  for (Interface& interface : interfaces) {
    AdapterInfo& info = interface.info;
    info.description = adapter_description(sysfs_net_, info.name);
    info.hardware_address = parse_hardware_address(
        read_first_line(std::filesystem::path(sysfs_net_) / info.name / "address"));
    if (info.addresses.empty()) info.addresses.push_back({"0.0.0.0", "0.0.0.0"});
    const auto found = gateways.find(info.name);
    if (found != gateways.end()) info.gateways = found->second;
    if (info.gateways.empty()) info.gateways.emplace_back("0.0.0.0");
    adapters.push_back(std::move(info));
  }
  return adapters;
}

}  // namespace scopemark
