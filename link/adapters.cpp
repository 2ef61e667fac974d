#include "link/adapters.h"

#include <cstdio>

namespace scopemark {

namespace {

std::string format_hardware_address(const std::array<uint8_t, 6>& bytes) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5]);
  return text;
}

}  // namespace

bool find_wireless_adapter(const AdapterSource& source, std::string& local_address,
                           const LogFunction& log) {
  const auto list = source.adapters();
  if (!list) return false;
  bool found = false;
  for (const AdapterInfo& adapter : *list) {
    write_log(log, "网卡名称:" + adapter.name + ".\n");
    write_log(log, "网卡描述：" + adapter.description + ".\n");
    write_log(log, "MAC 地址：" + format_hardware_address(adapter.hardware_address) + ".\n");
    std::string candidate;
    for (const AdapterAddress& entry : adapter.addresses) {
      write_log(log, "IP地址： " + entry.address + ".\n");
      write_log(log, "子网掩码：" + entry.mask + "\n");
      candidate = entry.address;
      for (const std::string& gateway : adapter.gateways) {
        write_log(log, "网关：  " + gateway + ".\n");
      }
    }
    if (candidate == "0.0.0.0") continue;
    if (candidate.find("192.168.1") == std::string::npos) {
      write_log(log, "not find...\n");
      continue;
    }
    if (adapter.description.find("Wireless") != std::string::npos) {
      write_log(log, "Find OK -->szIP:" + candidate + ".\n");
      local_address = candidate;
      found = true;
    }
  }
  return found;
}

}  // namespace scopemark
