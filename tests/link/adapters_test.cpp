#include "link/adapters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/system_adapters.h"

namespace scopemark {
namespace {

AdapterInfo adapter(const std::string& name, const std::string& description,
                    std::vector<std::string> addresses) {
  AdapterInfo info;
  info.name = name;
  info.description = description;
  info.hardware_address = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xef};
  for (const std::string& address : addresses) info.addresses.push_back({address, "255.255.255.0"});
  info.gateways = {"192.168.1.1"};
  return info;
}

struct Discovery {
  bool found = false;
  std::string local_address = "unchanged";
  std::string log;
};

Discovery discover(std::optional<std::vector<AdapterInfo>> list) {
  Discovery result;
  result.found = find_wireless_adapter(FixedAdapterSource(std::move(list)), result.local_address,
                                       [&](std::string_view line) { result.log += line; });
  return result;
}

TEST(FindWirelessAdapter, LogsEveryAdapterInTheOrderGiven) {
  AdapterInfo wifi = adapter("wlan0", "Intel Wireless-AC", {"10.0.0.5", "192.168.1.23"});
  wifi.gateways = {"10.0.0.1", "192.168.1.1"};
  const Discovery result = discover(std::vector{wifi});
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.local_address, "192.168.1.23");
  EXPECT_EQ(result.log,
            "网卡名称:wlan0.\n"
            "网卡描述：Intel Wireless-AC.\n"
            "MAC 地址：00-1A-2B-3C-4D-EF.\n"
            "IP地址： 10.0.0.5.\n"
            "子网掩码：255.255.255.0\n"
            "网关：  10.0.0.1.\n"
            "网关：  192.168.1.1.\n"
            "IP地址： 192.168.1.23.\n"
            "子网掩码：255.255.255.0\n"
            "网关：  10.0.0.1.\n"
            "网关：  192.168.1.1.\n"
            "Find OK -->szIP:192.168.1.23.\n");
}

TEST(FindWirelessAdapter, SelectionRule) {
  {
    SCOPED_TRACE("two qualifying adapters: the later wins");
    const Discovery result = discover(std::vector{adapter("a", "Wireless A", {"192.168.1.20"}),
                                                  adapter("b", "Wireless B", {"192.168.1.30"})});
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.local_address, "192.168.1.30");
  }
  {
    SCOPED_TRACE("a later non-qualifying adapter keeps the earlier choice");
    const Discovery result = discover(std::vector{adapter("a", "Wireless A", {"192.168.1.20"}),
                                                  adapter("b", "Ethernet", {"192.168.1.30"})});
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.local_address, "192.168.1.20");
  }
  {
    SCOPED_TRACE("wired adapter on 192.168.1.x: logged, not chosen");
    const Discovery result = discover(std::vector{adapter("eth0", "Gigabit", {"192.168.1.9"})});
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.local_address, "unchanged");
    EXPECT_NE(result.log.find("IP地址： 192.168.1.9.\n"), std::string::npos);
    EXPECT_EQ(result.log.find("not find"), std::string::npos);
  }
  {
    SCOPED_TRACE("wireless adapter with two addresses: the second is the candidate");
    const Discovery result =
        discover(std::vector{adapter("wlan0", "Wireless", {"192.168.1.9", "172.16.0.3"})});
    EXPECT_FALSE(result.found);
    EXPECT_NE(result.log.find("not find...\n"), std::string::npos);
  }
  {
    SCOPED_TRACE("\"wireless\" in lower case is not enough");
    const Discovery result = discover(std::vector{adapter("w", "wireless lan", {"192.168.1.9"})});
    EXPECT_FALSE(result.found);
  }
  {
    SCOPED_TRACE("0.0.0.0 is skipped without a log line");
    const Discovery result = discover(std::vector{adapter("w", "Wireless", {"0.0.0.0"})});
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.log.find("not find"), std::string::npos);
  }
  {
    SCOPED_TRACE("192.168.10.7 passes the substring test");
    const Discovery result = discover(std::vector{adapter("w", "Wireless", {"192.168.10.7"})});
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.local_address, "192.168.10.7");
  }
  {
    SCOPED_TRACE("another subnet");
    const Discovery result = discover(std::vector{adapter("w", "Wireless", {"192.168.2.7"})});
    EXPECT_FALSE(result.found);
    EXPECT_NE(result.log.find("not find...\n"), std::string::npos);
  }
  {
    SCOPED_TRACE("no adapter list");
    const Discovery result = discover(std::nullopt);
    EXPECT_FALSE(result.found);
    EXPECT_TRUE(result.log.empty());
  }
}

TEST(SystemAdapters, GatewaysFromTheRoutingTable) {
  std::istringstream table(
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
      "wlan0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
      "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
      "eth0\t0000000A\t0100000A\t0001\t0\t0\t100\t000000FF\t0\t0\t0\n"
      "eth0\t00000000\t0100000A\t0003\t0\t0\t200\t00000000\t0\t0\t0\n"
      "eth1\t00000000\t0200000Z\t0003\t0\t0\t200\t00000000\t0\t0\t0\n"
      "broken line\n");
  const auto gateways = parse_route_gateways(table);
  ASSERT_EQ(gateways.size(), 2u);
  EXPECT_EQ(gateways.at("wlan0"), std::vector<std::string>{"192.168.1.1"});
  EXPECT_EQ(gateways.at("eth0"), std::vector<std::string>{"10.0.0.1"});
}

TEST(SystemAdapters, WirelessDescriptionAndHardwareAddress) {
  const auto root =
      std::filesystem::temp_directory_path() / ("scopemark-sysfs-" + std::to_string(getpid()));
  std::filesystem::create_directories(root / "wlp2s0" / "wireless");
  std::filesystem::create_directories(root / "wlx0" / "phy80211");
  std::filesystem::create_directories(root / "Wireless0");
  EXPECT_NE(adapter_description(root, "wlp2s0").find("Wireless"), std::string::npos);
  EXPECT_NE(adapter_description(root, "wlx0").find("Wireless"), std::string::npos);
  EXPECT_EQ(adapter_description(root, "Wireless0").find("Wireless"), std::string::npos);
  EXPECT_EQ(adapter_description(root, "missing").find("Wireless"), std::string::npos);
  std::filesystem::remove_all(root);

  EXPECT_EQ(parse_hardware_address("3c:a9:f4:0b:1e:ff"),
            (std::array<uint8_t, 6>{0x3c, 0xa9, 0xf4, 0x0b, 0x1e, 0xff}));
  EXPECT_EQ(parse_hardware_address("3c:a9:f4"), (std::array<uint8_t, 6>{}));
  EXPECT_EQ(parse_hardware_address("00:11:22:33:44:55:66:77"), (std::array<uint8_t, 6>{}));
}

TEST(SystemAdapters, ListsNoLoopbackAndFillsEveryAdapter) {
  const auto list = SystemAdapterSource().adapters();
  ASSERT_TRUE(list.has_value());
  for (const AdapterInfo& info : *list) {
    EXPECT_NE(info.name, "lo");
    EXPECT_FALSE(info.addresses.empty()) << info.name;
    EXPECT_FALSE(info.gateways.empty()) << info.name;
    for (const AdapterAddress& entry : info.addresses) {
      EXPECT_NE(entry.address.rfind("127.", 0), 0u) << info.name;
    }
  }
}

}  // namespace
}  // namespace scopemark
