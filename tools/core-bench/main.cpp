// scopemark-core-bench: the decode core of our decoder against libavcodec's H.264 decoder,
// picture by picture. Each stream is read whole and cut into access units first; only the
// decode calls are timed, one access unit per call, on instances that decode the stream again
// and again without a reset, as a camera's endless stream.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include "camsim/access_units.h"
#include "h264/decoder/decoder.h"
#include "h264/decoder/kernel_select.h"

namespace {

constexpr const char* kUsage =
    "Usage: scopemark-core-bench [options] [--reference FILE] STREAM...\n"
    "Decodes each H.264 Annex B stream in memory with our decoder and with libavcodec (one\n"
    "thread), timing the decode call of every access unit in alternating runs, checks that\n"
    "both give the same pictures and prints microseconds per picture (medians over runs).\n"
    "\n"
    "  -h, --help        show this text and exit\n"
    "  --runs N          timed runs of each decoder (default 7)\n"
    "  --threads         our decoder decodes slices on its worker threads (work still\n"
    "                    running when a call returns counts in a later picture's call)\n"
    "  --kernels BUILD   our reconstruction kernels: portable, sse2 or ssse3\n"
    "  --reference FILE  check the next stream's pictures against libavcodec's of FILE\n"
    "                    (with --threads: the stream with its slice edges unfiltered)\n"
    "  --wall            time with the wall clock (default: the decoding thread's CPU time;\n"
    "                    always the wall clock with --threads)\n"
    "  --overheads       also print what the whole-process figures hold beyond the core\n";

struct Options {
  int runs = 7;
  bool threads = false;
  int kernels = -1;
  bool overheads = false;
  bool wall = false;
  struct Input {
    std::string path;
    std::string reference;  // empty: the stream itself
  };
  std::vector<Input> streams;
  int label_width = 6;  // the stream column: the longest file name stem
};

bool fail(const std::string& message) {
  std::fprintf(stderr, "scopemark-core-bench: %s\n", message.c_str());
  return false;
}

bool parse_options(int argc, char** argv, Options& options, bool& help) {
  std::string reference;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "-h" || arg == "--help") {
      help = true;
      return true;
    } else if (arg == "--runs") {
      options.runs = value ? std::atoi(value) : 0;
      if (options.runs < 1) return fail("--runs needs a number of at least 1");
      ++i;
    } else if (arg == "--threads") {
      options.threads = true;
    } else if (arg == "--kernels") {
      options.kernels = decoder_kernel_build_from_name(value ? value : "");
      if (options.kernels < 0) return fail("--kernels needs portable, sse2 or ssse3");
      if (!decoder_kernel_build_runs_here(options.kernels)) {
        return fail(std::string("this processor cannot run the ") + value + " kernels");
      }
      ++i;
    } else if (arg == "--reference") {
      if (!value) return fail("--reference needs a file name");
      reference = value;
      ++i;
    } else if (arg == "--wall") {
      options.wall = true;
    } else if (arg == "--overheads") {
      options.overheads = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg);
    } else {
      options.streams.push_back({arg, reference});
      reference.clear();
      const auto stem = std::filesystem::path(arg).stem().string().size();
      options.label_width = std::max(options.label_width, static_cast<int>(stem));
    }
  }
  if (!reference.empty()) return fail("--reference needs a stream after it");
  if (options.streams.empty()) return fail("no stream");
  return true;
}

// The clock of every figure: the calling thread's CPU time, which leaves out the time it waited
// for a processor busy with other work, or wall time (--wall, and --threads, whose workers'
// time the calling thread's clock would miss).
clockid_t figure_clock = CLOCK_THREAD_CPUTIME_ID;

int64_t now_ns() {
  timespec t{};
  clock_gettime(figure_clock, &t);
  return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

int64_t nanoseconds_since(int64_t start) {
  return now_ns() - start;
}

long minor_faults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// A stream in memory, cut into access units: unit i is fed as bytes [cuts[i], cuts[i + 1]).
// Every cut but the first lies just past the start code of a unit's first NAL unit, so that
// the call of unit i closes its last slice and decodes the whole picture.
struct Stream {
  std::string label;
  std::vector<uint8_t> bytes;
  std::vector<size_t> starts;  // where each unit begins, its start code included
  std::vector<size_t> cuts;

  size_t units() const { return starts.size(); }
};

bool load_stream(const std::string& path, Stream& stream) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return fail("cannot read " + path);
  stream.label = std::filesystem::path(path).stem().string();
  stream.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  stream.starts = scopemark::camsim::plan_stream(stream.bytes).frame_starts;
  if (stream.starts.empty()) return fail(path + " holds no access unit");
  const std::vector<uint8_t>& b = stream.bytes;
  stream.cuts.push_back(0);
  for (size_t i = 1; i < stream.starts.size(); ++i) {
    size_t at = stream.starts[i];
    while (at + 3 < b.size() && (b[at] != 0 || b[at + 1] != 0 || b[at + 2] != 1)) ++at;
    stream.cuts.push_back(at + 3);
  }
  stream.cuts.push_back(b.size());
  return true;
}

// The visible area of a picture, its planes packed row after row.
struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> samples;
};

void append_plane(Picture& picture, const uint8_t* plane, size_t stride, uint32_t left,
                  uint32_t top, uint32_t width, uint32_t height) {
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = plane + (top + y) * stride + left;
    picture.samples.insert(picture.samples.end(), row, row + width);
  }
}

Picture visible_picture(const uint8_t* const planes[3], const size_t strides[3], uint32_t left,
                        uint32_t top, uint32_t width, uint32_t height) {
  Picture picture{width, height, {}};
  picture.samples.reserve(size_t{width} * height * 3 / 2);
  append_plane(picture, planes[0], strides[0], left, top, width, height);
  for (int c = 1; c < 3; ++c) {
    append_plane(picture, planes[c], strides[c], left / 2, top / 2, width / 2, height / 2);
  }
  return picture;
}

// Our decoder fed through its public interface.
class OursDecoder {
 public:
  explicit OursDecoder(const Options& options) {
    DecoderConfig config{0, 0, 120, 68, 16, DECODER_DISPLAY_ORDER, nullptr};
    if (options.threads) config.flags |= DECODER_WORKER_THREADS;
    const int64_t start = now_ns();
    decoder_ = decoder_create(&config);
    create_ns = nanoseconds_since(start);
    if (decoder_ && options.kernels >= 0) decoder_select_kernels(decoder_, options.kernels);
  }
  ~OursDecoder() { decoder_destroy(decoder_); }
  OursDecoder(const OursDecoder&) = delete;
  OursDecoder& operator=(const OursDecoder&) = delete;

  bool ok() const { return decoder_ != nullptr; }

  // Decodes unit `i`, handing each picture out. After the last unit the stream ends, or a start
  // code closes its last slice and the stream may start again.
  template <typename Sink>
  void decode(const Stream& stream, size_t i, Sink&& sink, bool end_of_stream) {
    feed(stream.bytes.data() + stream.cuts[i], stream.cuts[i + 1] - stream.cuts[i], sink);
    if (i + 1 < stream.units()) return;
    if (!end_of_stream) {
      static constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
      feed(kStartCode, sizeof kStartCode, sink);
      return;
    }
    while (decoder_decode(decoder_, nullptr, 0, 0, 0, &picture_, DECODE_END_OF_STREAM) ==
           DECODE_PICTURE_READY) {
      sink(picture_);
    }
  }

  static Picture copy(const DecodedPicture& p) {
    const uint8_t* planes[3] = {p.luma, p.cb, p.cr};
    const size_t strides[3] = {p.luma_stride, p.chroma_stride, p.chroma_stride};
    return visible_picture(planes, strides, p.crop_left, p.crop_top,
                           p.width - p.crop_left - p.crop_right,
                           p.height - p.crop_top - p.crop_bottom);
  }

  int64_t create_ns = 0;

 private:
  template <typename Sink>
  void feed(const uint8_t* bytes, size_t length, Sink& sink) {
    int result = decoder_decode(decoder_, bytes, static_cast<uint32_t>(length), 0, 0, &picture_, 0);
    for (; result == DECODE_PICTURE_READY;
         result = decoder_decode(decoder_, nullptr, 0, 0, 0, &picture_, 0)) {
      sink(picture_);
    }
  }

  DecoderContext* decoder_ = nullptr;
  DecodedPicture picture_{};
};

// libavcodec's H.264 decoder on one thread, fed whole access units as refcounted packets
// (padded as it requires) whose pts is the unit's index.
class FfmpegDecoder {
 public:
  FfmpegDecoder() {
    const int64_t start = now_ns();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    context_ = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (context_) {
      context_->thread_count = 1;
      context_->apply_cropping = 0;  // cropped here, as exactly as ours
      if (avcodec_open2(context_, codec, nullptr) < 0) avcodec_free_context(&context_);
    }
    create_ns = nanoseconds_since(start);
    frame_ = av_frame_alloc();
  }
  ~FfmpegDecoder() {
    for (AVPacket*& packet : packets_) av_packet_free(&packet);
    av_frame_free(&frame_);
    avcodec_free_context(&context_);
  }
  FfmpegDecoder(const FfmpegDecoder&) = delete;
  FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

  bool ok() const { return context_ && frame_; }

  // Whole access units, made once outside the timed calls.
  bool prepare(const Stream& stream) {
    for (AVPacket*& packet : packets_) av_packet_free(&packet);
    packets_.clear();
    for (size_t i = 0; i < stream.units(); ++i) {
      const size_t size =
          (i + 1 < stream.units() ? stream.starts[i + 1] : stream.bytes.size()) - stream.starts[i];
      AVPacket* packet = av_packet_alloc();
      if (!packet || av_new_packet(packet, static_cast<int>(size)) < 0) {
        av_packet_free(&packet);
        return fail("out of memory for packets");
      }
      std::memcpy(packet->data, stream.bytes.data() + stream.starts[i], size);
      packet->pts = static_cast<int64_t>(i);
      packets_.push_back(packet);
    }
    return true;
  }

  template <typename Sink>
  void decode(size_t i, Sink&& sink, bool end_of_stream) {
    receive(avcodec_send_packet(context_, packets_[i]), sink);
    if (end_of_stream && i + 1 == packets_.size()) {
      receive(avcodec_send_packet(context_, nullptr), sink);
    }
  }

  // The frame's pixel format unless it is 8-bit 4:2:0 (then null).
  static const char* unsupported(const AVFrame& f) {
    if (f.format == AV_PIX_FMT_YUV420P || f.format == AV_PIX_FMT_YUVJ420P) return nullptr;
    const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(f.format));
    return name ? name : "unknown";
  }

  static Picture copy(const AVFrame& f) {
    const uint8_t* planes[3] = {f.data[0], f.data[1], f.data[2]};
    const size_t strides[3] = {static_cast<size_t>(f.linesize[0]),
                               static_cast<size_t>(f.linesize[1]),
                               static_cast<size_t>(f.linesize[2])};
    const auto left = static_cast<uint32_t>(f.crop_left);
    const auto top = static_cast<uint32_t>(f.crop_top);
    return visible_picture(planes, strides, left, top,
                           static_cast<uint32_t>(f.width - f.crop_left - f.crop_right),
                           static_cast<uint32_t>(f.height - f.crop_top - f.crop_bottom));
  }

  int64_t create_ns = 0;
  int errors = 0;  // packets libavcodec refused

 private:
  template <typename Sink>
  void receive(int sent, Sink& sink) {
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) ++errors;
    while (avcodec_receive_frame(context_, frame_) == 0) {
      sink(*frame_);
      av_frame_unref(frame_);
    }
  }

  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::vector<AVPacket*> packets_;
};

// Nanoseconds of each unit's decode call in one pass.
using Pass = std::vector<int64_t>;

// One pass over the stream, every decode call timed; `faults`, when given, gets the minor page
// faults taken inside the calls.
template <typename DecodeUnit>
Pass timed_pass(size_t units, DecodeUnit&& decode_unit, long* faults = nullptr) {
  Pass pass(units);
  for (size_t i = 0; i < units; ++i) {
    const long faults_before = faults ? minor_faults() : 0;
    const int64_t start = now_ns();
    decode_unit(i);
    pass[i] = nanoseconds_since(start);
    if (faults) *faults += minor_faults() - faults_before;
  }
  return pass;
}

// Decodes the stream to its end with both decoders, comparing their pictures in output order;
// fills `types` with libavcodec's picture type of each unit.
bool check_pictures(const Stream& stream, const Stream& reference, OursDecoder& ours,
                    FfmpegDecoder& ffmpeg, std::vector<char>& types) {
  std::deque<Picture> ours_queue, ffmpeg_queue;
  size_t compared = 0;
  std::string error;
  auto compare = [&] {
    for (; !ours_queue.empty() && !ffmpeg_queue.empty() && error.empty(); ++compared) {
      const Picture& a = ours_queue.front();
      const Picture& b = ffmpeg_queue.front();
      if (a.width != b.width || a.height != b.height) {
        error = "picture " + std::to_string(compared) + " is " + std::to_string(a.width) + "x" +
                std::to_string(a.height) + " here, " + std::to_string(b.width) + "x" +
                std::to_string(b.height) + " in libavcodec's decoding";
      } else if (a.samples != b.samples) {
        const auto at = static_cast<size_t>(
            std::mismatch(a.samples.begin(), a.samples.end(), b.samples.begin()).first -
            a.samples.begin());
        const size_t luma = size_t{a.width} * a.height;
        const char* plane = at < luma ? "Y" : at < luma * 5 / 4 ? "Cb" : "Cr";
        error = "picture " + std::to_string(compared) + " differs from libavcodec's (" + plane +
                " plane, byte " + std::to_string(at) + " of the picture)";
      }
      ours_queue.pop_front();
      ffmpeg_queue.pop_front();
    }
  };
  types.assign(stream.units(), '?');
  const char* unsupported = nullptr;
  const size_t units = std::max(stream.units(), reference.units());
  for (size_t i = 0; i < units && error.empty() && !unsupported; ++i) {
    if (i < stream.units()) {
      ours.decode(
          stream, i, [&](const DecodedPicture& p) { ours_queue.push_back(OursDecoder::copy(p)); },
          true);
    }
    if (i < reference.units()) {
      ffmpeg.decode(
          i,
          [&](const AVFrame& f) {
            if ((unsupported = FfmpegDecoder::unsupported(f))) return;
            if (f.pts >= 0 && static_cast<size_t>(f.pts) < types.size()) {
              types[static_cast<size_t>(f.pts)] = av_get_picture_type_char(f.pict_type);
            }
            ffmpeg_queue.push_back(FfmpegDecoder::copy(f));
          },
          true);
    }
    compare();
  }
  if (unsupported) {
    return fail(stream.label + ": libavcodec decodes " + unsupported + ", not 8-bit 4:2:0");
  }
  if (error.empty() && ours_queue.size() != ffmpeg_queue.size()) {
    error = std::to_string(compared + ours_queue.size()) + " pictures here, " +
            std::to_string(compared + ffmpeg_queue.size()) + " in libavcodec's decoding";
  }
  if (error.empty() && compared == 0) error = "no picture decoded";
  if (!error.empty()) return fail(stream.label + ": " + error);
  return true;
}

double median_of(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Per-picture figures of one pass over the units in `members`, in microseconds.
struct Figures {
  double median = 0, mean = 0, p90 = 0;
};

Figures figures_of(const Pass& pass, const std::vector<size_t>& members) {
  std::vector<double> us;
  for (size_t i : members) us.push_back(pass[i] / 1000.0);
  std::sort(us.begin(), us.end());
  double sum = 0;
  for (double v : us) sum += v;
  const size_t rank = (us.size() * 9 + 9) / 10;  // nearest rank of the 90th percentile
  return {median_of(us), sum / us.size(), us[std::max<size_t>(rank, 1) - 1]};
}

// Medians over runs of each per-run figure.
Figures median_over_runs(const std::vector<Pass>& runs, const std::vector<size_t>& members) {
  std::vector<double> medians, means, p90s;
  for (const Pass& pass : runs) {
    const Figures f = figures_of(pass, members);
    medians.push_back(f.median);
    means.push_back(f.mean);
    p90s.push_back(f.p90);
  }
  return {median_of(medians), median_of(means), median_of(p90s)};
}

double total_ms(const Pass& pass) {
  double sum = 0;
  for (int64_t ns : pass) sum += ns / 1e6;
  return sum;
}

// libavcodec's H.264 parser over the whole stream in 64 KiB reads, as FFmpeg's raw H.264 input
// cuts a file into access units before decoding; milliseconds.
double parser_ms(const Stream& stream) {
  AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
  AVCodecContext* context = avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_H264));
  if (!parser || !context) {
    av_parser_close(parser);
    avcodec_free_context(&context);
    return 0;
  }
  std::vector<uint8_t> padded(stream.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  std::copy(stream.bytes.begin(), stream.bytes.end(), padded.begin());
  const int64_t start = now_ns();
  uint8_t* out = nullptr;
  int out_size = 0;
  for (size_t at = 0; at < stream.bytes.size();) {
    const int block = static_cast<int>(std::min<size_t>(65536, stream.bytes.size() - at));
    for (int used = 0; used < block;) {
      used += av_parser_parse2(parser, context, &out, &out_size, padded.data() + at + used,
                               block - used, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    }
    at += static_cast<size_t>(block);
  }
  av_parser_parse2(parser, context, &out, &out_size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
  const double ms = nanoseconds_since(start) / 1e6;
  av_parser_close(parser);
  avcodec_free_context(&context);
  return ms;
}

struct Overheads {
  std::string label;
  double create_ms[2];
  double cold_ms[2];
  double warm_ms[2];
  long cold_faults[2];
  double parse_ms;
};

void print_header(int label_width) {
  std::printf("%-*s %-4s %8s | %-26s | %-26s | %s\n", label_width, "", "", "", "ours us/picture",
              "ffmpeg us/picture", "ffmpeg/ours");
  std::printf("%-*s %-4s %8s | %8s %8s %8s | %8s %8s %8s | %6s %6s\n", label_width, "stream",
              "type", "pictures", "median", "mean", "p90", "median", "mean", "p90", "median",
              "mean");
}

// Prints the stream's rows and fills `overheads`.
bool bench_stream(const Options& options, const Options::Input& input, Overheads& overheads) {
  Stream stream, reference;
  if (!load_stream(input.path, stream)) return false;
  if (!input.reference.empty() && !load_stream(input.reference, reference)) return false;
  const Stream& expected = input.reference.empty() ? stream : reference;

  // The timed instances, the first of the process, decode the stream over and over as a
  // camera's endless stream, with neither reset nor end between passes.
  OursDecoder ours(options);
  FfmpegDecoder ffmpeg;
  if (!ours.ok()) return fail("our decoder could not be created");
  if (!ffmpeg.ok()) return fail("libavcodec's H.264 decoder could not be opened");
  if (!ffmpeg.prepare(stream)) return false;
  auto ignore = [](const auto&) {};
  auto ours_pass = [&](long* faults) {
    return timed_pass(
        stream.units(), [&](size_t i) { ours.decode(stream, i, ignore, false); }, faults);
  };
  auto ffmpeg_pass = [&](long* faults) {
    return timed_pass(
        stream.units(), [&](size_t i) { ffmpeg.decode(i, ignore, false); }, faults);
  };
  long cold_faults[2] = {0, 0};
  const Pass ours_cold = ours_pass(&cold_faults[0]);
  const Pass ffmpeg_cold = ffmpeg_pass(&cold_faults[1]);
  std::vector<Pass> ours_runs, ffmpeg_runs;
  for (int run = 0; run < options.runs; ++run) {
    ours_runs.push_back(ours_pass(nullptr));
    ffmpeg_runs.push_back(ffmpeg_pass(nullptr));
  }

  // The check runs on instances of its own, which end the stream.
  std::vector<char> types;
  OursDecoder check_ours(options);
  FfmpegDecoder check_ffmpeg;
  if (!check_ours.ok() || !check_ffmpeg.ok() || !check_ffmpeg.prepare(expected) ||
      !check_pictures(stream, expected, check_ours, check_ffmpeg, types)) {
    return false;
  }
  if (ffmpeg.errors) {
    std::fprintf(stderr, "scopemark-core-bench: %s: libavcodec reported %d decoding errors\n",
                 stream.label.c_str(), ffmpeg.errors);
  }

  std::vector<std::pair<std::string, std::vector<size_t>>> groups{{"all", {}}};
  for (size_t i = 0; i < stream.units(); ++i) {
    groups[0].second.push_back(i);
    const std::string type(1, types[i]);
    auto group = std::find_if(groups.begin() + 1, groups.end(),
                              [&](const auto& g) { return g.first == type; });
    if (group == groups.end()) group = groups.insert(groups.end(), {type, {}});
    group->second.push_back(i);
  }
  std::sort(groups.begin() + 1, groups.end());
  for (const auto& [type, members] : groups) {
    const Figures a = median_over_runs(ours_runs, members);
    const Figures b = median_over_runs(ffmpeg_runs, members);
    std::printf("%-*s %-4s %8zu | %8.0f %8.0f %8.0f | %8.0f %8.0f %8.0f | %6.2f %6.2f\n",
                options.label_width, stream.label.c_str(), type.c_str(), members.size(), a.median,
                a.mean, a.p90, b.median, b.mean, b.p90, b.median / a.median, b.mean / a.mean);
  }
  std::fflush(stdout);

  auto warm_ms = [](const std::vector<Pass>& runs) {
    std::vector<double> totals;
    for (const Pass& pass : runs) totals.push_back(total_ms(pass));
    return median_of(totals);
  };
  overheads = {stream.label,
               {ours.create_ns / 1e6, ffmpeg.create_ns / 1e6},
               {total_ms(ours_cold), total_ms(ffmpeg_cold)},
               {warm_ms(ours_runs), warm_ms(ffmpeg_runs)},
               {cold_faults[0], cold_faults[1]},
               parser_ms(stream)};
  return true;
}

std::string overheads_row(const Overheads& r, int label_width) {
  char row[256];
  std::snprintf(row, sizeof row, "%-*s %9.2f %9.2f %9.1f %9.1f %9.1f %9.1f %9ld %9ld %9.1f\n",
                label_width, r.label.c_str(), r.create_ms[0], r.create_ms[1], r.cold_ms[0],
                r.cold_ms[1], r.warm_ms[0], r.warm_ms[1], r.cold_faults[0], r.cold_faults[1],
                r.parse_ms);
  return row;
}

void print_overheads(const std::string& rows, int label_width) {
  std::printf(
      "\nbeyond the core, ms: create = creating the decoder; first = the first pass of a fresh\n"
      "instance (faults: its minor page faults); warm = the median warm pass; parser =\n"
      "libavcodec's parser cutting the stream into access units, as FFmpeg's raw H.264 input "
      "does\n");
  std::printf("%-*s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n", label_width, "stream", "create",
              "create", "first", "first", "warm", "warm", "faults", "faults", "parser");
  std::printf("%-*s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n", label_width, "", "ours", "ffmpeg",
              "ours", "ffmpeg", "ours", "ffmpeg", "ours", "ffmpeg", "ffmpeg");
  std::fputs(rows.c_str(), stdout);
}

// Benchmarks the stream in a child process, so that each stream starts, as a whole process
// does, on a new allocator and libavcodec's one-time set-up; its overheads row goes to `out`.
bool bench_in_child(const Options& options, const Options::Input& input, int out) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) return fail("cannot start a process");
  if (child == 0) {
    Overheads overheads;
    const bool ok = bench_stream(options, input, overheads);
    if (ok) {
      const std::string row = overheads_row(overheads, options.label_width);
      if (write(out, row.data(), row.size()) != static_cast<ssize_t>(row.size())) _exit(1);
    }
    std::fflush(stdout);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool help = false;
  if (!parse_options(argc, argv, options, help)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.wall || options.threads) figure_clock = CLOCK_MONOTONIC;
  std::printf("times: %s\n",
              figure_clock == CLOCK_MONOTONIC ? "wall clock" : "CPU time of the decoding thread");
  av_log_set_level(AV_LOG_ERROR);
  print_header(options.label_width);
  int rows[2];
  if (pipe(rows) != 0) {
    fail("cannot make a pipe");
    return 1;
  }
  for (const Options::Input& input : options.streams) {
    if (!bench_in_child(options, input, rows[1])) return 1;
  }
  close(rows[1]);
  std::string overheads;
  char block[4096];
  for (ssize_t got; (got = read(rows[0], block, sizeof block)) > 0;) overheads.append(block, got);
  if (options.overheads) print_overheads(overheads, options.label_width);
  return 0;
}
