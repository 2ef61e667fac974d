// decoder_residual_mb: the driver template reading through a ResidualReader.
#include "h264/recon/residual_driver.h"

namespace {

// A ResidualReader as the driver template reads it.
struct PointerReader {
  const ResidualReader* r;
  int read(int kind, int index, const CoeffPlacement& p) {
    return r->read(r->ctx, kind, index, &p);
  }
  bool interleaved_8x8() const { return r->interleaved_8x8 != 0; }
};

}  // namespace

int decoder_residual_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                        const LevelScaleTables* tables, int field, const ResidualReader* reader) {
  PointerReader r{reader};
  return decoder_residual_mb_with(k, wa, cur, tables, field, r);
}
