#include "app/album_wiring.h"

#include <atomic>
#include <memory>

#include "album/album.h"
#include "album/album_list.h"
#include "album/picture_view.h"
#include "app/replace_control.h"
#include "app/viewer_app.h"

namespace scopemark {
namespace {

PictureView* install_picture_view(MainDialog& dialog, int id) {
  auto* view = new PictureView(dialog.client_area());
  replace_control(dialog, id, view);
  return view;
}

}  // namespace

Album* setup_album(MainDialog& dialog, const ViewerApp& app) {
  auto* list = new AlbumList(dialog.client_area());
  replace_control(dialog, MainDialog::kAlbumList, list);
  AlbumViews views;
  views.video_area = dialog.control(MainDialog::kVideoArea);
  views.single_picture = install_picture_view(dialog, MainDialog::kPictureView);
  views.compare_slots = {install_picture_view(dialog, MainDialog::kCompareTopLeft),
                         install_picture_view(dialog, MainDialog::kCompareTopRight),
                         install_picture_view(dialog, MainDialog::kCompareBottomLeft),
                         install_picture_view(dialog, MainDialog::kCompareBottomRight)};
  return new Album(list, views, app.record_folder(), &dialog);
}

void install_album_hooks(MainDialogHooks& hooks, const ViewerApp& app) {
  // Set once on the window's thread before any worker starts; load_album may come from
  // the workers, which Album turns into a queued call.
  auto album = std::make_shared<std::atomic<Album*>>(nullptr);
  hooks.setup_album = [album, &app](MainDialog& dialog) { *album = setup_album(dialog, app); };
  auto with_album = [album](void (Album::*operation)()) {
    return [album, operation](MainDialog&) {
      if (Album* current = *album) (current->*operation)();
    };
  };
  hooks.load_album = with_album(&Album::load_album);
  hooks.delete_selected_pictures = with_album(&Album::delete_selected_pictures);
  hooks.compare = with_album(&Album::compare_pictures);
  hooks.return_to_video = with_album(&Album::return_to_video);
  hooks.show_single_picture = [album](MainDialog&, const std::string& path) {
    if (Album* current = *album) current->show_single_picture(path);
  };
}

}  // namespace scopemark
