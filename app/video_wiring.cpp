#include "app/video_wiring.h"

#include <QMetaObject>

#include <string>
#include <thread>
#include <utility>

#include "app/viewer_app.h"
#include "controls/message_box.h"
#include "video/decode_thread.h"
#include "video/snapshot_writer.h"
#include "video/video_widget.h"

namespace scopemark {
namespace {

// What one decode thread works with, kept until it is joined.
struct DecodeRun {
  DecodeRun(MainDialog& dialog, const ViewerApp& app, DecoderApi& decoder)
      : chunks(dialog.packet_ring()),
        snapshots(RecordFolder(app.record_folder()),
                  [&dialog](const std::string&) {
                    post_to_window(dialog, [&dialog] { dialog.load_album(); });
                  }),
        context{
            .chunks = chunks,
            .decoder = decoder,
            .display = dialog.display_surface(),
            .video_area = qobject_cast<VideoWidget*>(dialog.control(MainDialog::kVideoArea)),
            .snapshots = snapshots,
            .stop_requested = dialog.stop_requested,
            .display_frozen = dialog.display_frozen,
            .capture_requested = dialog.capture_requested,
            .show_message =
                [&dialog](const char* text) {
                  post_to_window(dialog, [&dialog, message = std::string(text)] {
                    show_message_box(message, "", MessageIcon::None, &dialog);
                  });
                },
        } {}

  RingChunkSource chunks;
  SnapshotWriter snapshots;
  DecodeThreadContext context;
  std::thread thread;
};

struct VideoPath {
  const ViewerApp& app;
  std::shared_ptr<DecoderApi> decoder;
  std::unique_ptr<DecodeRun> run;
};

}  // namespace

void install_video_hooks(MainDialogHooks& hooks, const ViewerApp& app,
                         std::shared_ptr<DecoderApi> decoder) {
  if (!decoder) decoder = std::make_shared<H264Decoder>();
  auto path = std::make_shared<VideoPath>(VideoPath{app, std::move(decoder), nullptr});
  hooks.start_decode_thread = [path](MainDialog& dialog) {
    path->run = std::make_unique<DecodeRun>(dialog, path->app, *path->decoder);
    path->run->thread = std::thread([run = path->run.get()] { decode_thread(run->context); });
  };
  hooks.stop_decode_thread = [path](MainDialog&) {
    if (!path->run) return;
    path->run->thread.join();
    path->run.reset();
  };
}

}  // namespace scopemark
