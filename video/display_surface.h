// The video display: pictures converted on the decode thread, painted by the video area.
#pragma once

#include <cstdint>
#include <memory>

#include "video/frame_exchange.h"
#include "video/yuv_convert.h"

namespace scopemark {

// The video area as the display surface sees it. Both calls may come from any thread.
class DisplayTarget {
 public:
  virtual ~DisplayTarget() = default;
  // Frames to paint from now on; null shows nothing.
  virtual void attach_frames(std::shared_ptr<FrameExchange> frames) = 0;
  // A new frame was published; the target repaints soon.
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
// pixels; smaller pictures (or other shapes of no more pixels) are shown at their own size.
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
};

}  // namespace scopemark
