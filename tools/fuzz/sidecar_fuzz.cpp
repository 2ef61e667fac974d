// The measurement sidecar reader and the calibration decoder over any text. What they accept
// must write back to text that reads as the same; values and CSV of what was read must hold.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "measure/measure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark::measure;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (const auto sidecar = read_sidecar(input)) {
    if (read_sidecar(write_sidecar(*sidecar)) != sidecar) std::abort();
    const Calibration* calibration = sidecar->calibration ? &*sidecar->calibration : nullptr;
    for (const Measurement& m : sidecar->measurements) {
      for (const Value& value : values_of(m, calibration)) {
        if (std::isnan(value.value)) std::abort();
      }
    }
    if (const auto bar = scale_bar(calibration, 400); bar && !(bar->pixels <= 400)) std::abort();
    measurements_csv(csv_rows("picture.bmp", *sidecar));
  }
  if (const auto calibration = decode_calibration(input)) {
    if (decode_calibration(encode_calibration(*calibration)) != calibration) std::abort();
  }
  return 0;
}
