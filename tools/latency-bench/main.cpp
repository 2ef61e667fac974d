// scopemark-latency-bench: the age of the picture a capture command gets, through the real
// session. A camera stand-in on loopback sends a 1280x720, 25 fps x264 stream (no B slices) one
// access unit at a time at its due time; capture commands go to the session's command server
// at known times; each snapshot is matched to its picture by the number drawn in it.
#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/viewer_session.h"
#include "camsim/camera_sim.h"
#include "events/event_server.h"
#include "h264/poc_rewrite.h"
#include "link/messages.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 300;  // 12 s, looped
constexpr auto kFrameInterval = 40ms;
constexpr int kBits = 12;  // picture number bits, each a 64 x 64 block in the top row
constexpr int kBlock = 64;
constexpr int kMarkerBits = 4;  // then 1010, to tell a picture from anything else

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// A still, textured scene with a small moving disc and the picture number as blocks.
void draw_picture(int number, std::vector<uint8_t>& yuv) {
  uint8_t* luma = yuv.data();
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int v = 90 + (x * 60 / kWidth) + ((x / 24 + y / 24) % 2) * 12;
      const int dx = x - (200 + number * 3 % 880), dy = y - 420;
      if (dx * dx + dy * dy < 50 * 50) v = 200;
      luma[y * kWidth + x] = static_cast<uint8_t>(v);
    }
  }
  for (int b = 0; b < kBits + kMarkerBits; ++b) {
    const bool one = b < kBits ? (number >> b) & 1 : (b - kBits) % 2 == 0;
    for (int y = 0; y < kBlock; ++y) {
      std::fill_n(luma + y * kWidth + b * kBlock, kBlock, one ? 235 : 16);
    }
  }
  std::fill(yuv.begin() + kWidth * kHeight, yuv.end(), 128);
}

// The picture number in a 24-bit bottom-up BMP of the picture, or -1.
int read_number(const fs::path& bmp) {
  std::ifstream in(bmp, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  const size_t row = (kWidth * 3 + 3) / 4 * 4;
  if (file.size() < 54 + row * kHeight) return -1;
  auto bit = [&](int b) {
    const size_t y = kHeight - 1 - kBlock / 2, x = b * kBlock + kBlock / 2;
    const uint8_t* p = &file[54 + y * row + x * 3];
    return (p[0] + p[1] + p[2]) / 3 > 128;
  };
  int number = 0;
  for (int b = 0; b < kBits; ++b) number |= bit(b) << b;
  for (int m = 0; m < kMarkerBits; ++m) {
    if (bit(kBits + m) != (m % 2 == 0)) return -1;
  }
  return number;
}

// Encodes the pictures with x264 into `path` once (order count type 2, CAVLC, no B slices).
bool make_stream(const fs::path& path) {
  if (fs::exists(path)) return true;
  std::printf("encoding %d pictures of %dx%d into %s\n", kFrames, kWidth, kHeight, path.c_str());
  const std::string command =
      "x264 --quiet --no-progress --threads 1 --preset veryfast --tune zerolatency --bframes 0 "
      "--weightp 0 --scenecut 0 "
      "--no-cabac --keyint 50 --crf 26 --demuxer raw --input-res 1280x720 --fps 25 -o '" +
      path.string() + ".part' -";
  FILE* x264 = popen(command.c_str(), "w");
  if (x264 == nullptr) return false;
  std::vector<uint8_t> yuv(kWidth * kHeight * 3 / 2);
  for (int n = 0; n < kFrames; ++n) {
    draw_picture(n, yuv);
    std::fwrite(yuv.data(), 1, yuv.size(), x264);
  }
  if (pclose(x264) != 0) return false;
  fs::rename(path.string() + ".part", path);
  return true;
}

// The camera's stream port: after the request, access unit n leaves at start + n intervals
// (looping over the stream); the time each left is kept.
class PacedCamera {
 public:
  explicit PacedCamera(std::vector<std::vector<uint8_t>> units) : units_(std::move(units)) {}

  bool start() {
    return server_.start(
        "127.0.0.1", 0, [this](scopemark::Socket connection, const std::atomic<bool>& stop) {
          scopemark::StreamRequest request{};
          if (scopemark::receive_exact(connection.get(), request.data(),
                                       scopemark::kStreamRequestSize, {},
                                       &stop) != scopemark::kStreamRequestSize) {
            return;
          }
          const auto start = Clock::now();
          for (size_t n = 0; !stop.load(); ++n) {
            std::this_thread::sleep_until(start + n * kFrameInterval);
            const std::vector<uint8_t>& unit = units_[n % units_.size()];
            if (scopemark::send_all(connection.get(), unit.data(), unit.size(), &stop) < 0) return;
            const std::lock_guard lock(mutex_);
            sent_.push_back(Clock::now());
          }
        });
  }
  void stop() { server_.stop(); }
  uint16_t port() const { return server_.port(); }

  // Send time of the unit with picture `number` sent closest to `at`.
  std::optional<Clock::time_point> send_time(int number, Clock::time_point at) {
    const std::lock_guard lock(mutex_);
    std::optional<Clock::time_point> best;
    for (size_t n = static_cast<size_t>(number); n < sent_.size(); n += units_.size()) {
      if (!best || std::chrono::abs(sent_[n] - at) < std::chrono::abs(*best - at)) best = sent_[n];
    }
    return best;
  }

 private:
  std::vector<std::vector<uint8_t>> units_;
  scopemark::camsim::ServerThread server_;
  std::mutex mutex_;
  std::vector<Clock::time_point> sent_;
};

struct Result {
  std::vector<double> ages;  // ms
  int unmatched = 0;
};

Result run_session(const std::vector<uint8_t>& stream, int seconds, const fs::path& folder) {
  std::vector<std::vector<uint8_t>> units = front_test::access_units(stream);
  units.resize(std::min<size_t>(units.size(), kFrames));
  PacedCamera camera(std::move(units));
  Result result;
  if (!camera.start()) return result;

  fs::remove_all(folder);
  fs::create_directories(folder);
  scopemark::SessionOptions options;
  scopemark::apply_link_options({"--camera-address", "127.0.0.1", "--local-address", "127.0.0.2"},
                                options.link);
  options.link.set_ports(camera.port(), 0, 0, 0);
  options.link_hooks.log = [](std::string_view) {};
  options.record_folder = folder.string();
  scopemark::ViewerSession session(options);

  struct Snapshot {
    Clock::time_point arrived;
    int number;
  };
  std::mutex mutex;
  std::vector<Clock::time_point> commands;
  std::vector<Snapshot> snapshots;
  QObject::connect(&session, &scopemark::ViewerSession::picture_changed, [&](const fs::path& path) {
    snapshots.push_back({Clock::now(), read_number(path)});
  });
  std::atomic<bool> done{false};
  std::thread commander;
  QObject::connect(&session, &scopemark::ViewerSession::started, [&] {
    commander = std::thread([&] {
      std::minstd_rand random(7);
      std::uniform_int_distribution<int> pause_ms(450, 750);
      std::this_thread::sleep_for(2s);  // the stream settles
      const auto end = Clock::now() + std::chrono::seconds(seconds);
      while (Clock::now() < end) {
        {
          const std::lock_guard lock(mutex);
          commands.push_back(Clock::now());
        }
        scopemark::camsim::send_event({"127.0.0.1", "127.0.0.1", session.event_port()},
                                      scopemark::kStartCapture);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms(random)));
      }
      done = true;
    });
  });
  session.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done) QCoreApplication::quit();
  });
  poll.start(100);
  QCoreApplication::exec();
  if (commander.joinable()) commander.join();
  session.stop();
  camera.stop();
  // Each snapshot answers the last command sent before it arrived.
  std::vector<bool> used(commands.size());
  for (const Snapshot& shot : snapshots) {
    const auto after = std::upper_bound(commands.begin(), commands.end(), shot.arrived);
    const size_t c = static_cast<size_t>(after - commands.begin());
    const auto sent = c == 0 || used[c - 1] || shot.number < 0
                          ? std::nullopt
                          : camera.send_time(shot.number, commands[c - 1]);
    if (!sent) {
      ++result.unmatched;
      continue;
    }
    used[c - 1] = true;
    result.ages.push_back(ms(commands[c - 1] - *sent));
    if (std::getenv("LATENCY_DEBUG")) {
      std::printf("command %9.1f  snapshot %9.1f  picture %4d sent %9.1f\n",
                  ms(commands[c - 1] - commands[0]), ms(shot.arrived - commands[0]), shot.number,
                  ms(*sent - commands[0]));
    }
  }
  return result;
}

void report(const char* kind, Result result) {
  std::vector<double>& a = result.ages;
  if (a.empty()) {
    std::printf("%-34s no capture matched (%d unmatched)\n", kind, result.unmatched);
    return;
  }
  std::sort(a.begin(), a.end());
  const double median = a[a.size() / 2];
  const double interval = ms(kFrameInterval);
  std::printf(
      "%-34s %3zu captures: age min %5.1f  median %5.1f  p90 %5.1f  max %5.1f ms"
      "  (median %s 60 ms, max %s 3 intervals)%s\n",
      kind, a.size(), a.front(), median, a[a.size() * 9 / 10], a.back(), median <= 60 ? "<=" : "> ",
      a.back() <= 3 * interval ? "<=" : "> ", result.unmatched ? " some unmatched" : "");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  int seconds = 30;
  fs::path dir = fs::current_path() / "latency-bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seconds") {
      seconds = std::atoi(argv[i + 1]);
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: scopemark-latency-bench [--seconds N] [--dir DIR]\n");
      return 2;
    }
  }
  fs::create_directories(dir);
  const fs::path stream_path = dir / "camera-720p25.264";
  if (!make_stream(stream_path)) {
    std::fprintf(stderr, "scopemark-latency-bench: x264 failed\n");
    return 1;
  }
  std::ifstream in(stream_path, std::ios::binary);
  const std::vector<uint8_t> type2{std::istreambuf_iterator<char>(in), {}};
  std::printf("capture age = command time - send time of the captured picture; %d s each\n",
              seconds);
  report("order count type 2", run_session(type2, seconds, dir / "record-type2"));
  report("order count type 0, VUI reorder 0",
         run_session(front_test::to_poc_type0(type2, true), seconds, dir / "record-type0"));
  return 0;
}
