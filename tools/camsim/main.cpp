// scopemark-camsim: a stand-in for the microscope camera on a loopback address.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "camsim/camera_sim.h"

namespace {

using scopemark::camsim::AdjustServer;
using scopemark::camsim::AdjustServerOptions;
using scopemark::camsim::ClientTarget;
using scopemark::camsim::StreamServer;
using scopemark::camsim::StreamServerOptions;

constexpr const char* kUsage =
    "Usage: scopemark-camsim serve --address ADDR --stream FILE [--fps N] [--stream-port P]\n"
    "                              [--adjust-port P] [--close-after BYTES]\n"
    "                              [--max-segment BYTES] [--reply-command N]\n"
    "       scopemark-camsim event --address ADDR [--viewer ADDR] [--port P] COMMAND\n"
    "       scopemark-camsim picture --address ADDR [--viewer ADDR] [--port P] FILE NAME\n"
    "       scopemark-camsim --help\n"
    "Stands in for the microscope camera on this computer.\n"
    "  serve    serve the H.264 Annex B FILE as the camera's stream (default port 40003,\n"
    "           N pictures per second, default 25) and answer picture adjustment (default\n"
    "           port 40006) until interrupted\n"
    "  event    send a camera command to the viewer (default port 40004): 1 start capture,\n"
    "           0 stop capture, 4 delete the last received picture, 6 delete all pictures\n"
    "  picture  send the picture FILE under the name NAME to the viewer (default port 40013)\n"
    "ADDR must lie in 127.0.0.0/8; the servers listen on --address, and client commands\n"
    "connect from it to --viewer (default 127.0.0.1).\n";

int usage_error(const std::string& problem) {
  std::fprintf(stderr, "scopemark-camsim: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

bool read_file(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

// Splits "--name value" pairs from positional arguments.
struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  std::string error;
};

Arguments parse_arguments(int argc, char** argv) {
  Arguments parsed;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--", 0) != 0) {
      parsed.positional.push_back(argument);
    } else if (i + 1 < argc) {
      parsed.options[argument] = argv[++i];
    } else {
      parsed.error = argument + " needs a value";
    }
  }
  return parsed;
}

bool to_number(const std::string& text, unsigned long long max, unsigned long long& value) {
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value <= max && text[0] != '-';
}

int serve(const Arguments& arguments) {
  const auto option = [&](const char* name, const char* fallback) {
    const auto found = arguments.options.find(name);
    return found == arguments.options.end() ? std::string(fallback) : found->second;
  };
  StreamServerOptions stream;
  AdjustServerOptions adjust;
  stream.address = adjust.address = option("--address", "");
  unsigned long long stream_port = 0, adjust_port = 0, close_after = 0, max_segment = 0, reply = 0;
  if (!to_number(option("--stream-port", "40003"), 65535, stream_port) ||
      !to_number(option("--adjust-port", "40006"), 65535, adjust_port) ||
      !to_number(option("--close-after", "0"), UINT64_MAX, close_after) ||
      !to_number(option("--max-segment", "1400"), 1 << 20, max_segment) ||
      !to_number(option("--reply-command", "10"), 65535, reply)) {
    return usage_error("bad number");
  }
  stream.port = static_cast<uint16_t>(stream_port);
  adjust.port = static_cast<uint16_t>(adjust_port);
  stream.close_after = close_after;
  stream.max_segment = static_cast<size_t>(max_segment);
  adjust.reply_command = static_cast<uint16_t>(reply);
  stream.frame_rate = std::atof(option("--fps", "25").c_str());
  if (!read_file(option("--stream", ""), stream.stream)) return usage_error("cannot read --stream");

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  scopemark::init_sockets();
  StreamServer stream_server(std::move(stream));
  AdjustServer adjust_server(adjust);
  if (!stream_server.start() || !adjust_server.start()) {
    return usage_error("cannot listen on " + adjust.address + " (a 127.x address is required)");
  }
  std::printf("camsim: stream port %u, adjustment port %u on %s\n", stream_server.port(),
              adjust_server.port(), adjust.address.c_str());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&signals, &signal);
  return 0;
}

int client(const std::string& command, const Arguments& arguments) {
  const auto option = [&](const char* name, const char* fallback) {
    const auto found = arguments.options.find(name);
    return found == arguments.options.end() ? std::string(fallback) : found->second;
  };
  const bool event = command == "event";
  ClientTarget target;
  target.source_address = option("--address", "");
  target.viewer_address = option("--viewer", "127.0.0.1");
  unsigned long long port = 0;
  if (!to_number(option("--port", event ? "40004" : "40013"), 65535, port)) {
    return usage_error("bad port");
  }
  target.port = static_cast<uint16_t>(port);
  scopemark::init_sockets();
  if (event) {
    unsigned long long code = 0;
    if (arguments.positional.size() != 1 || !to_number(arguments.positional[0], 65535, code)) {
      return usage_error("event needs one COMMAND number");
    }
    return scopemark::camsim::send_event(target, static_cast<uint16_t>(code)) == 0 ? 0 : 1;
  }
  std::vector<uint8_t> picture;
  if (arguments.positional.size() != 2 || !read_file(arguments.positional[0], picture)) {
    return usage_error("picture needs a readable FILE and a NAME");
  }
  return scopemark::camsim::send_picture(target, picture, arguments.positional[1]) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command");
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  const std::string command = argv[1];
  const Arguments arguments = parse_arguments(argc, argv);
  if (!arguments.error.empty()) return usage_error(arguments.error);
  if (!scopemark::is_loopback_address(
          arguments.options.count("--address") ? arguments.options.at("--address") : "")) {
    return usage_error("--address must be a 127.x address");
  }
  if (command == "serve") return serve(arguments);
  if (command == "event" || command == "picture") return client(command, arguments);
  return usage_error("unknown command " + command);
}
