#include "video/display_surface.h"

#include <climits>
#include <utility>

#include "video/yuv_convert.h"

namespace scopemark {

int DisplaySurface::initialise(DisplayTarget* window, int width, int height) {
  release();
  if (window == nullptr || width <= 0 || height <= 0) return kSurfaceNotReady;
  if (static_cast<long long>(width) * height > INT_MAX) return kSurfaceNoMemory;
  std::shared_ptr<FrameExchange> frames = FrameExchange::create(width * height);
  if (!frames) return kSurfaceNoMemory;
  window->attach_frames(frames);
  window_ = window;
  frames_ = std::move(frames);
  return kSurfaceOk;
}

int DisplaySurface::show_frame(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int width,
                               int height) {
  if (!frames_) return kSurfaceNotReady;
  if (luma == nullptr || cb == nullptr || cr == nullptr || width <= 0 || height <= 0 ||
      width % 2 != 0 || height % 2 != 0 ||
      static_cast<long long>(width) * height > frames_->capacity()) {
    return kSurfaceBadPicture;
  }
  DisplayFrame& frame = frames_->back();
  yuv420_to_xrgb32(frame.pixels, Yuv420Planes{luma, cb, cr, width, width / 2}, width, height);
  frame.width = width;
  frame.height = height;
  frames_->publish();
  window_->frame_published();
  return kSurfaceOk;
}

void DisplaySurface::release() {
  if (!frames_) return;
  window_->attach_frames(nullptr);
  window_ = nullptr;
  frames_.reset();
}

}  // namespace scopemark
