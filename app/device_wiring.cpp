#include "app/device_wiring.h"

#include <QMetaObject>
#include <QThread>

#include <utility>

#include "app/received_picture.h"
#include "controls/message_box.h"
#include "events/event_server.h"
#include "events/picture_server.h"
#include "link/camera_link.h"
#include "link/system_adapters.h"

namespace scopemark {

namespace {

void show_video_area(MainDialog& dialog, bool video) {
  dialog.control(MainDialog::kVideoArea)->setVisible(video);
  dialog.control(MainDialog::kPictureView)->setVisible(!video);
}

}  // namespace

LinkHooks window_link_hooks(MainDialog& dialog, LinkHooks base) {
  base.message = [&dialog](const std::string& text, const std::string& caption) {
    post_to_window(dialog, [&dialog, text, caption] {
      show_message_box(text, caption, MessageIcon::None, &dialog);
    });
  };
  return base;
}

DeviceWiring::DeviceWiring(Options options) : options_(std::move(options)) {
  if (!options_.adapters) options_.adapters = std::make_shared<SystemAdapterSource>();
}

void DeviceWiring::install(MainDialogHooks& hooks) {
  hooks.find_wireless_adapter = [this] { return find_adapter(); };
  hooks.start_stream_receiver = [this](MainDialog& dialog) { start_stream_receiver(dialog); };
  hooks.start_event_server = [this](MainDialog& dialog) {
    event_server_ = std::thread(
        [context = server_context(dialog, "command", event_port_)] { run_event_server(context); });
  };
  hooks.start_picture_server = [this](MainDialog& dialog) {
    picture_server_ = std::thread([context = server_context(dialog, "picture", picture_port_)] {
      run_picture_server(context);
    });
  };
  hooks.stop_workers = [this](MainDialog&) { join_workers(); };
}

std::optional<std::string> DeviceWiring::find_adapter() {
  // The socket layer starts with the window, before the adapter is looked for.
  init_sockets(
      [](const std::string& text, const std::string& caption) { show_message_box(text, caption); });
  if (!prepare_link(options_.link, *options_.adapters, options_.link_hooks.log)) {
    return std::nullopt;
  }
  return options_.link.local_address;
}

void DeviceWiring::start_stream_receiver(MainDialog& dialog) {
  receiver_ = std::thread([this, &dialog, hooks = window_link_hooks(dialog, options_.link_hooks)] {
    run_stream_connection(dialog.packet_ring(), options_.link, dialog.stop_requested, hooks);
  });
}

EventServerContext DeviceWiring::server_context(MainDialog& dialog, const char* server,
                                                std::atomic<uint16_t>& bound_port) {
  EventServerConfig config = event_server_config(options_.link);
  if (!options_.server_listen_address.empty()) {
    config.listen_address = options_.server_listen_address;
  }
  EventActions actions{
      .load_album = [&dialog] { post_to_window(dialog, [&dialog] { dialog.load_album(); }); },
      .update_picture =
          [&dialog](const std::filesystem::path&) {
            post_to_window(dialog, [&dialog] { dialog.load_album(); });
          },
      .show_video_area =
          [&dialog] { post_to_window(dialog, [&dialog] { show_video_area(dialog, true); }); },
      .show_picture_view =
          [&dialog] { post_to_window(dialog, [&dialog] { show_video_area(dialog, false); }); },
      .show_single_picture =
          [&dialog](const std::filesystem::path& path) {
            post_to_window(dialog, [&dialog, path] { dialog.show_single_picture(path.string()); });
          },
      .decode_and_save_bmp = decode_and_save_bmp,
  };
  return EventServerContext{
      .config = config,
      .record_folder =
          RecordFolder(options_.record_folder ? options_.record_folder() : std::string()),
      .capture_requested = dialog.capture_requested,
      .display_frozen = dialog.display_frozen,
      .stop_requested = dialog.stop_requested,
      .received_picture_path = received_picture_path_,
      .actions = std::move(actions),
      .log = options_.link_hooks.log,
      .listening =
          [&bound_port, server, told = options_.server_listening](uint16_t port) {
            bound_port = port;
            if (told) told(server, port);
          },
  };
}

void DeviceWiring::join_workers() {
  for (std::thread* worker : {&receiver_, &event_server_, &picture_server_}) {
    if (worker->joinable()) worker->join();
  }
}

}  // namespace scopemark
