// scopemark-decode: decodes an Annex B file through the public decoder interface.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/decoder.h"
#include "h264/decoder/decoder_context.h"
#include "h264/decoder/kernel_select.h"
#include "tools/decode/md5.h"

namespace {

struct Options {
  uint32_t chunk = 4096;
  DecoderConfig config{0, 0, 120, 68, 16, DECODER_DISPLAY_ORDER, nullptr};
  std::string output_path;
  bool md5 = false;
  bool info = false;
  int kernels = -1;  // the processor's build unless --kernels names one
  std::string input;
  bool help = false;
};

constexpr const char* kUsage =
    "Usage: scopemark-decode [options] INPUT\n"
    "Decodes an H.264 Annex B file (8-bit 4:2:0).\n"
    "\n"
    "  -h, --help          show this text and exit\n"
    "  --chunk N           bytes per decoder call (default 4096)\n"
    "  --max-width-mbs N   largest width in macroblocks (default 120)\n"
    "  --max-height-mbs N  largest height in macroblocks (default 68)\n"
    "  --refs N            reference frames (default 16)\n"
    "  --decode-order      output in decoding order\n"
    "  --deinterlace       de-interlaced output of interlaced sequences\n"
    "  --threads           decode slices on worker threads\n"
    "  --kernels BUILD     reconstruction kernels: portable, sse2 or ssse3 (default:\n"
    "                      the best the processor has)\n"
    "  -o FILE             write every picture as raw planar 4:2:0\n"
    "  --md5               print 'index md5' for every picture\n"
    "  --info              print parameter sets and a line per picture\n";

void usage(const char* message) {
  std::fprintf(stderr, "scopemark-decode: %s\n%s", message, kUsage);
}

bool parse_number(const char* text, uint32_t& value) {
  char* end = nullptr;
  unsigned long parsed = std::strtoul(text, &end, 10);
  if (!*text || *end || parsed > 0xFFFFFFFFul) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

// Returns false (after a message) for a usage error.
bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      return true;
    }
    auto number = [&](uint32_t& value) {
      if (i + 1 >= argc || !parse_number(argv[i + 1], value)) {
        usage(("option " + arg + " needs a number").c_str());
        return false;
      }
      ++i;
      return true;
    };
    if (arg == "--chunk") {
      if (!number(options.chunk)) return false;
      if (options.chunk == 0) {
        usage("--chunk must be at least 1");
        return false;
      }
    } else if (arg == "--max-width-mbs") {
      if (!number(options.config.max_width_mbs)) return false;
    } else if (arg == "--max-height-mbs") {
      if (!number(options.config.max_height_mbs)) return false;
    } else if (arg == "--refs") {
      if (!number(options.config.max_ref_frames)) return false;
    } else if (arg == "--decode-order") {
      options.config.flags &= ~DECODER_DISPLAY_ORDER;
    } else if (arg == "--deinterlace") {
      options.config.flags |= DECODER_DEINTERLACE;
    } else if (arg == "--threads") {
      options.config.flags |= DECODER_WORKER_THREADS;
    } else if (arg == "--kernels") {
      options.kernels = decoder_kernel_build_from_name(i + 1 < argc ? argv[i + 1] : "");
      if (options.kernels < 0) {
        usage("option --kernels needs portable, sse2 or ssse3");
        return false;
      }
      ++i;
    } else if (arg == "-o") {
      if (i + 1 >= argc) {
        usage("option -o needs a file name");
        return false;
      }
      options.output_path = argv[++i];
    } else if (arg == "--md5") {
      options.md5 = true;
    } else if (arg == "--info") {
      options.info = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      usage(("unknown option " + arg).c_str());
      return false;
    } else if (options.input.empty()) {
      options.input = arg;
    } else {
      usage("only one input file");
      return false;
    }
  }
  if (options.input.empty()) {
    usage("no input file");
    return false;
  }
  return true;
}

// Hands every row of the picture's three planes, full decoded size, to `sink`.
template <typename Sink>
void for_each_row(const DecodedPicture& pic, Sink&& sink) {
  for (uint32_t y = 0; y < pic.height; ++y) sink(pic.luma + y * pic.luma_stride, pic.width);
  for (const uint8_t* plane : {pic.cb, pic.cr}) {
    for (uint32_t y = 0; y < pic.height / 2; ++y) {
      sink(plane + y * pic.chroma_stride, pic.width / 2);
    }
  }
}

void print_sps(const SequenceParameterSet& s) {
  std::printf(
      "sps %u: profile %u level %u chroma %u %ux%u frame_mbs_only %u mbaff %u refs %u "
      "buffer %u max_frame_num %u poc_type %u log2_max_poc_lsb %u gaps %u crop %u,%u,%u,%u "
      "scaling %u\n",
      s.seq_parameter_set_id, s.profile_idc, s.level_idc, s.chroma_format_idc, s.width, s.height,
      s.frame_mbs_only_flag, s.mb_adaptive_frame_field_flag, s.num_ref_frames, s.dpb_frames,
      s.MaxFrameNum, s.pic_order_cnt_type, s.log2_max_pic_order_cnt_lsb_minus4 + 4,
      s.gaps_in_frame_num_value_allowed_flag, s.crop_left, s.crop_right, s.crop_top, s.crop_bottom,
      s.seq_scaling_matrix_present_flag);
}

void print_pps(const PictureParameterSet& p) {
  std::printf(
      "pps %u: sps %u %s refs_l0 %u qp %d qs %d chroma_qp_offset %d,%d deblocking_control %u "
      "constrained_intra %u transform_8x8 %u scaling %u\n",
      p.pic_parameter_set_id, p.seq_parameter_set_id,
      p.entropy_coding_mode_flag ? "CABAC" : "CAVLC", p.num_ref_idx_l0_default_active_minus1 + 1,
      26 + p.pic_init_qp_minus26, 26 + p.pic_init_qs_minus26, p.chroma_qp_index_offset,
      p.second_chroma_qp_index_offset, p.deblocking_filter_control_present_flag,
      p.constrained_intra_pred_flag, p.transform_8x8_mode_flag, p.pic_scaling_matrix_present_flag);
}

// Prints the parameter sets whose content changed since the last look.
class ParameterSetWatch {
 public:
  ParameterSetWatch() : sps_(SPS_TABLE_SIZE), pps_(PPS_TABLE_SIZE) {}

  void print_changes(const DecoderContext& ctx) {
    for (uint32_t id = 0; id < SPS_TABLE_SIZE; ++id) {
      if (report(ctx.sps_table[id], sps_[id])) print_sps(ctx.sps_table[id]);
    }
    for (uint32_t id = 0; id < PPS_TABLE_SIZE; ++id) {
      if (report(ctx.pps_table[id], pps_[id])) print_pps(ctx.pps_table[id]);
    }
  }

 private:
  // True when a valid set differs from the remembered one (the changed mark not compared).
  template <typename Set>
  static bool report(const Set& current, Set& seen) {
    if (!current.valid) return false;
    Set copy = current;
    copy.changed = seen.changed;
    if (std::memcmp(&copy, &seen, sizeof copy) == 0) return false;
    seen = copy;
    return true;
  }

  std::vector<SequenceParameterSet> sps_;
  std::vector<PictureParameterSet> pps_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, options)) return 2;
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.kernels >= 0 && !decoder_kernel_build_runs_here(options.kernels)) {
    std::fprintf(stderr, "scopemark-decode: this processor cannot run the %s kernels\n",
                 decoder_kernel_build_name(options.kernels));
    return 2;
  }
  // The input is read in blocks as decoding goes: reading it whole first cost a copy and the
  // page faults of a buffer as large as the file.
  std::FILE* input = std::fopen(options.input.c_str(), "rb");
  if (!input) {
    std::fprintf(stderr, "scopemark-decode: cannot read %s\n", options.input.c_str());
    return 2;
  }
  std::FILE* output = nullptr;
  if (!options.output_path.empty()) {
    output = std::fopen(options.output_path.c_str(), "wb");
    if (!output) {
      std::fprintf(stderr, "scopemark-decode: cannot write %s\n", options.output_path.c_str());
      std::fclose(input);
      return 2;
    }
  }
  DecoderContext* decoder = decoder_create(&options.config);
  if (!decoder) {
    std::fprintf(stderr, "scopemark-decode: the decoder could not be created\n");
    if (output) std::fclose(output);
    std::fclose(input);
    return 2;
  }
  if (options.kernels >= 0) decoder_select_kernels(decoder, options.kernels);

  ParameterSetWatch watch;
  uint32_t pictures = 0;
  auto take_picture = [&](const DecodedPicture& pic) {
    if (options.info) {
      std::printf(
          "picture %u: %ux%u crop %u,%u,%u,%u poc %d idr %u incomplete %u store %d view %u "
          "bytes %u\n",
          pictures, pic.width, pic.height, pic.crop_left, pic.crop_right, pic.crop_top,
          pic.crop_bottom, pic.picture_order_count, pic.idr, pic.incomplete, pic.store_index,
          pic.view_flag, pic.statistics ? pic.statistics[0] : 0);
    }
    scopemark::Md5 md5;
    for_each_row(pic, [&](const uint8_t* row, uint32_t length) {
      if (output) std::fwrite(row, 1, length, output);
      if (options.md5) md5.update(row, length);
    });
    if (options.md5) std::printf("%u %s\n", pictures, md5.hex_digest().c_str());
    ++pictures;
  };

  DecodedPicture pic{};
  auto started = std::chrono::steady_clock::now();
  // Whole chunks per block, so that every decoder call gets `chunk` bytes but the last; no block
  // larger than the file.
  size_t block_bytes = (65536 + options.chunk - 1) / options.chunk * size_t{options.chunk};
  std::error_code size_error;
  const uintmax_t file_bytes = std::filesystem::file_size(options.input, size_error);
  if (!size_error)
    block_bytes = std::min<uintmax_t>(block_bytes, std::max<uintmax_t>(file_bytes, 1));
  std::vector<uint8_t> block(block_bytes);
  size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), input)) > 0) {
    for (size_t at = 0; at < got; at += options.chunk) {
      uint32_t length = static_cast<uint32_t>(std::min<size_t>(options.chunk, got - at));
      int result = decoder_decode(decoder, block.data() + at, length, 0, 0, &pic, 0);
      while (result == DECODE_PICTURE_READY) {
        if (options.info) watch.print_changes(*decoder);
        take_picture(pic);
        result = decoder_decode(decoder, nullptr, 0, 0, 0, &pic, 0);
      }
      if (options.info) watch.print_changes(*decoder);
    }
  }
  const bool read_failed = std::ferror(input) != 0;
  std::fclose(input);
  if (read_failed) {
    std::fprintf(stderr, "scopemark-decode: cannot read %s\n", options.input.c_str());
    decoder_destroy(decoder);
    if (output) std::fclose(output);
    return 2;
  }
  while (decoder_decode(decoder, nullptr, 0, 0, 0, &pic, DECODE_END_OF_STREAM) ==
         DECODE_PICTURE_READY) {
    take_picture(pic);
  }
  if (options.info) watch.print_changes(*decoder);
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  decoder_destroy(decoder);
  if (output && std::fclose(output) != 0) {
    std::fprintf(stderr, "scopemark-decode: cannot write %s\n", options.output_path.c_str());
  }
  std::fflush(stdout);
  std::fprintf(stderr, "%u pictures, %.3f seconds, %.1f pictures per second\n", pictures, seconds,
               seconds > 0 ? pictures / seconds : 0.0);
  return 0;
}
