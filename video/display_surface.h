// The video display: pictures converted on the decode thread, painted by the video area.
#pragma once

#include <cstdint>
#include <memory>

#include "video/frame_exchange.h"
#include "video/yuv_convert.h"
#include "video/yuv_convert_scaled.h"

namespace scopemark {

struct DisplaySize {
  int width = 0;
  int height = 0;
  bool hidden = false;  // nothing is shown now, so pictures need no conversion
};

// The video area as the display surface sees it. Every call may come from any thread.
class DisplayTarget {
 public:
  virtual ~DisplayTarget() = default;
  // The size the target paints at; 0 x 0 when it has none to ask for.
  virtual DisplaySize display_size() const { return {}; }
  // Frames to paint from now on; null shows nothing.
  virtual void attach_frames(std::shared_ptr<FrameExchange> frames) = 0;
  // A new picture arrived: published as a frame, which the target repaints soon, unless the
  // target was hidden.
  virtual void frame_published() = 0;
};

// Results of initialise and show_frame.
inline constexpr int kSurfaceOk = 0;
inline constexpr int kSurfaceNotReady = -1;     // no target, or not initialised
inline constexpr int kSurfaceNoMemory = -4;     // frame buffers not allocated
inline constexpr int kSurfaceBadPicture = -10;  // size odd, empty, beyond the buffers or rows

// The display as the decode loop drives it.
class FrameDisplay {
 public:
  virtual ~FrameDisplay() = default;
  virtual int initialise(DisplayTarget* window, int width, int height) = 0;
  // The planes are read during the call only (they may be the decoder's own picture); their
  // strides are at least width and width / 2.
  virtual int show_frame(const Yuv420Planes& planes, int width, int height) = 0;
  virtual void release() = 0;
};

// Converts each 4:2:0 picture into the back buffer of a FrameExchange and tells the target,
// which paints the newest frame stretched over its whole area. Buffers hold width x height
// pixels. A picture is converted straight to the target's display size (rounded up to even)
// when that fits the buffers, so that painting needs no rescale; otherwise at its own size.
// Nothing is converted while the target is hidden.
// Used by one thread at a time: the decode thread after initialise, the owner after it ends.
class DisplaySurface final : public FrameDisplay {
 public:
  DisplaySurface() = default;
  DisplaySurface(const DisplaySurface&) = delete;
  DisplaySurface& operator=(const DisplaySurface&) = delete;
  ~DisplaySurface() override { release(); }

  int initialise(DisplayTarget* window, int width, int height) override;
  int show_frame(const Yuv420Planes& planes, int width, int height) override;
  // Detaches the frames from the target; a second call does nothing.
  void release() override;

 private:
  DisplayTarget* window_ = nullptr;
  std::shared_ptr<FrameExchange> frames_;
  ScaledConversion scaled_;
};

}  // namespace scopemark
