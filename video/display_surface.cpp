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
  const DisplaySize wanted = window_->display_size();
  if (wanted.hidden) {
    window_->frame_published();
    return kSurfaceOk;
  }
  DisplayFrame& frame = frames_->back();
  const int shown_width = (wanted.width + 1) & ~1;
  const int shown_height = (wanted.height + 1) & ~1;
  if (shown_width > 0 && shown_height > 0 && (shown_width != width || shown_height != height) &&
      static_cast<long long>(shown_width) * shown_height <= frames_->capacity()) {
    scaled_.prepare(width, height, shown_width, shown_height);
    scaled_.convert(frame.pixels, planes);
    frame.width = shown_width;
    frame.height = shown_height;
  } else {
    yuv420_to_xrgb32(frame.pixels, planes, width, height);
    frame.width = width;
    frame.height = height;
  }
  frame.picture_width = width;
  frame.picture_height = height;
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
