#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/link_log.h"

namespace scopemark {

struct AdapterAddress {
  std::string address;
  std::string mask;
};

// One network adapter as the system lists it. An adapter without an IPv4 address has one
// entry "0.0.0.0".
struct AdapterInfo {
  std::string name;
  std::string description;
  std::array<uint8_t, 6> hardware_address{};
  std::vector<AdapterAddress> addresses;
  std::vector<std::string> gateways;
};

// Where the adapter list comes from. nullopt: no list could be obtained.
class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  virtual std::optional<std::vector<AdapterInfo>> adapters() const = 0;
};

// A list given in advance (tests, demo).
class FixedAdapterSource final : public AdapterSource {
 public:
  explicit FixedAdapterSource(std::optional<std::vector<AdapterInfo>> list)
      : list_(std::move(list)) {}
  std::optional<std::vector<AdapterInfo>> adapters() const override { return list_; }

 private:
  std::optional<std::vector<AdapterInfo>> list_;
};

// Looks for a wireless adapter on the camera's subnet, logging every adapter. Returns true
// when one qualified; local_address then holds the address of the last one in list order
// and is left unchanged otherwise.
bool find_wireless_adapter(const AdapterSource& source, std::string& local_address,
                           const LogFunction& log = {});

}  // namespace scopemark
