#include "link/link_config.h"

#include <gtest/gtest.h>

namespace scopemark {
namespace {

TEST(LinkConfig, CommandLineOverrides) {
  {
    LinkConfig config;
    const LinkOptions options = apply_link_options(
        {"--demo", "--camera-address", "127.0.0.1", "--local-address=127.0.0.2", "x"}, config);
    EXPECT_TRUE(options.error.empty());
    EXPECT_EQ(options.other_arguments, (std::vector<std::string>{"--demo", "x"}));
    EXPECT_EQ(config.camera_address, "127.0.0.1");
    EXPECT_EQ(config.local_address, "127.0.0.2");
    EXPECT_EQ(config.get_bind_address, "127.0.0.2");
    EXPECT_FALSE(config.discovery_wanted());
  }
  {
    SCOPED_TRACE("a local address alone keeps discovery and the get bind address");
    LinkConfig config;
    EXPECT_TRUE(apply_link_options({"--local-address", "127.0.0.3"}, config).error.empty());
    EXPECT_EQ(config.local_address, "127.0.0.3");
    EXPECT_EQ(config.get_bind_address, "192.168.1.20");
    EXPECT_TRUE(config.discovery_wanted());
  }
  {
    SCOPED_TRACE("camera address without a local one: no get bind");
    LinkConfig config;
    EXPECT_TRUE(apply_link_options({"--camera-address=127.0.0.9"}, config).error.empty());
    EXPECT_TRUE(config.get_bind_address.empty());
  }
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--camera-address"}, {"--camera-address", "camera"}, {"--local-address=1.2.3"}}) {
    LinkConfig config;
    EXPECT_FALSE(apply_link_options(bad, config).error.empty()) << bad[0];
    EXPECT_EQ(config.camera_address, kDefaultCameraAddress);
  }
}

TEST(LinkConfig, PrepareLinkRunsDiscoveryOnlyForTheDefaultCamera) {
  AdapterInfo wifi;
  wifi.name = "wlan0";
  wifi.description = "Wireless network adapter";
  wifi.addresses = {{"192.168.1.34", "255.255.255.0"}};
  const FixedAdapterSource with_wifi(std::vector{wifi});
  const FixedAdapterSource no_list(std::nullopt);
  const LogFunction quiet = [](std::string_view) {};
  {
    LinkConfig config;
    EXPECT_TRUE(prepare_link(config, with_wifi, quiet));
    EXPECT_EQ(config.local_address, "192.168.1.34");
  }
  {
    LinkConfig config;
    config.local_address = "192.168.1.50";
    EXPECT_TRUE(prepare_link(config, with_wifi, quiet));
    EXPECT_EQ(config.local_address, "192.168.1.50");
  }
  {
    LinkConfig config;
    EXPECT_FALSE(prepare_link(config, no_list, quiet));
  }
  {
    LinkConfig config;
    config.camera_address = "127.0.0.1";
    EXPECT_TRUE(prepare_link(config, no_list, quiet));
    EXPECT_TRUE(config.local_address.empty());
  }
}

}  // namespace
}  // namespace scopemark
