#include "app/device_wiring.h"

#include <QMetaObject>
#include <QThread>

#include <utility>

#include "controls/message_box.h"
#include "link/camera_link.h"
#include "link/system_adapters.h"

namespace scopemark {

void post_to_window(MainDialog& dialog, std::function<void()> fn) {
  if (QThread::currentThread() == dialog.thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(&dialog, std::move(fn), Qt::QueuedConnection);
}

LinkHooks window_link_hooks(MainDialog& dialog, LinkHooks base) {
  base.message = [&dialog](const std::string& text, const std::string& caption) {
    post_to_window(dialog, [&dialog, text, caption] {
      show_message_box(text, caption, MessageIcon::None, &dialog);
    });
  };
  return base;
}

DeviceWiring::DeviceWiring(Options options)
    : options_(std::move(options)), ring_(std::make_unique<PacketRing>()) {
  if (!options_.adapters) options_.adapters = std::make_shared<SystemAdapterSource>();
}

void DeviceWiring::install(MainDialogHooks& hooks) {
  hooks.find_wireless_adapter = [this] { return find_adapter(); };
  hooks.ring_reset = [this] { ring_reset(*ring_); };
  hooks.start_stream_receiver = [this](MainDialog& dialog) { start_stream_receiver(dialog); };
  hooks.stop_workers = [this](MainDialog&) { join_workers(); };
}

std::optional<std::string> DeviceWiring::find_adapter() {
  // The socket layer starts with the window, before the adapter is looked for.
  init_sockets([](const std::string& text, const std::string& caption) {
    show_message_box(text, caption);
  });
  if (!prepare_link(options_.link, *options_.adapters, options_.link_hooks.log)) {
    return std::nullopt;
  }
  return options_.link.local_address;
}

void DeviceWiring::start_stream_receiver(MainDialog& dialog) {
  receiver_ = std::thread([this, &dialog, hooks = window_link_hooks(dialog, options_.link_hooks)] {
    run_stream_connection(*ring_, options_.link, dialog.stop_requested, hooks);
  });
}

void DeviceWiring::join_workers() {
  if (receiver_.joinable()) receiver_.join();
}

}  // namespace scopemark
