#include "video/display_surface.h"

#include <climits>
#include <utility>

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

int DisplaySurface::show_frame(const Yuv420Planes& planes, int width, int height) {
  if (!frames_) return kSurfaceNotReady;
  if (planes.luma == nullptr || planes.cb == nullptr || planes.cr == nullptr || width <= 0 ||
      height <= 0 || width % 2 != 0 || height % 2 != 0 ||
      static_cast<long long>(width) * height > frames_->capacity() || planes.luma_stride < width ||
      planes.chroma_stride < width / 2) {
    return kSurfaceBadPicture;
  }
  DisplayFrame& frame = frames_->back();
  yuv420_to_xrgb32(frame.pixels, planes, width, height);
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
