#include "link/link_config.h"

namespace scopemark {

void LinkConfig::set_ports(uint16_t stream, uint16_t event, uint16_t adjust, uint16_t picture) {
  stream_port = stream;
  event_port = event;
  adjust_port = adjust;
  picture_port = picture;
}

LinkOptions apply_link_options(const std::vector<std::string>& arguments, LinkConfig& config) {
  LinkOptions result;
  bool camera_given = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string option;
    for (const char* name : {"--camera-address", "--local-address"}) {
      if (argument == name || argument.rfind(std::string(name) + "=", 0) == 0) option = name;
    }
    if (option.empty()) {
      result.other_arguments.push_back(argument);
      continue;
    }
    std::string value;
    if (argument.size() > option.size()) {
      value = argument.substr(option.size() + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    }
    if (!make_address(value, 0)) {
      result.error = option + " needs an IPv4 address, got \"" + value + "\"";
      return result;
    }
    if (option == "--camera-address") {
      config.camera_address = value;
      camera_given = true;
    } else {
      config.local_address = value;
    }
  }
  if (camera_given) config.get_bind_address = config.local_address;
  return result;
}

bool prepare_link(LinkConfig& config, const AdapterSource& source, const LogFunction& log) {
  if (!config.discovery_wanted()) return true;
  std::string adapter_address;
  if (!find_wireless_adapter(source, adapter_address, log)) return false;
  if (config.local_address.empty()) config.local_address = adapter_address;
  return true;
}

}  // namespace scopemark
