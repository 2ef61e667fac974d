// The sample stream is assembled into read-only data at build time. The build passes its path
// and its hash; the hash keeps compiler caches from reusing an object made from an older file.
#include <cstdint>
#include <span>

#include "camsim/demo_camera.h"

#if !defined(SCOPEMARK_DEMO_STREAM_FILE) || !defined(SCOPEMARK_DEMO_STREAM_SHA256)
#error "the build must define SCOPEMARK_DEMO_STREAM_FILE and SCOPEMARK_DEMO_STREAM_SHA256"
#endif

asm(".pushsection .rodata.scopemark_demo_stream, \"a\"\n"
    ".balign 16\n"
    ".globl scopemark_demo_stream_begin\n"
    ".hidden scopemark_demo_stream_begin\n"
    "scopemark_demo_stream_begin:\n"
    ".incbin \"" SCOPEMARK_DEMO_STREAM_FILE
    "\"\n"
    ".globl scopemark_demo_stream_end\n"
    ".hidden scopemark_demo_stream_end\n"
    "scopemark_demo_stream_end:\n"
    ".ascii \"" SCOPEMARK_DEMO_STREAM_SHA256
    "\"\n"
    ".popsection\n");

extern "C" const std::uint8_t scopemark_demo_stream_begin[];
extern "C" const std::uint8_t scopemark_demo_stream_end[];

namespace scopemark::camsim {

std::span<const std::uint8_t> demo_stream() {
  return {scopemark_demo_stream_begin, scopemark_demo_stream_end};
}

}  // namespace scopemark::camsim
