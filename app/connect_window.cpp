#include "app/connect_window.h"

#include <QSlider>

#include <functional>
#include <string>

#include "album/album.h"
#include "album/album_list.h"
#include "album/picture_view.h"
#include "app/language_wiring.h"
#include "app/main_dialog.h"
#include "app/measure_tools.h"
#include "app/picture_adjustment.h"
#include "app/replace_control.h"
#include "app/store_messages.h"
#include "app/toolbar_wiring.h"
#include "app/video_area.h"
#include "app/viewer_app.h"
#include "app/viewer_session.h"
#include "controls/message_box.h"
#include "i18n/ui_texts.h"
#include "video/video_widget.h"

namespace scopemark {
namespace {

constexpr int kSliders[] = {kBrightnessSlider, kContrastSlider, kSaturationSlider, kHueSlider};

PictureView* install_picture_view(MainDialog& window, int id) {
  auto* view = new PictureView(window.client_area());
  replace_control(window, id, view);
  return view;
}

// The single picture view and the compare quarters as PictureViews in place of the
// template's controls, under one owner.
VideoArea* install_video_area(MainDialog& window, const std::function<UiTexts()>& texts) {
  VideoArea::Views views;
  views.video = window.video_area();
  views.picture = install_picture_view(window, kPictureView);
  views.compare = {install_picture_view(window, kCompareTopLeft),
                   install_picture_view(window, kCompareTopRight),
                   install_picture_view(window, kCompareBottomLeft),
                   install_picture_view(window, kCompareBottomRight)};
  return new VideoArea(views, texts, &window);
}

// The album list 1010 as an AlbumList and the album over the session's record folder.
Album* install_album(MainDialog& window, VideoArea& area, const ViewerSession& session,
                     const std::function<UiTexts()>& texts) {
  auto* list = new AlbumList(window.client_area());
  replace_control(window, kAlbumList, list);
  auto* album = new Album(list, area, session.options().record_folder, &window);
  album->set_texts(texts);
  return album;
}

// Capture without a picture and pictures not saved, told in the current language.
void connect_store_messages(MainDialog& window, ViewerSession& session, const ViewerApp& app) {
  const auto tell = [&window, &app](const auto& message_of) {
    const UiTexts texts(app.language_file());
    show_message_box(message_of(texts), texts.text(text_key::kCaptionSorry), MessageIcon::Warning,
                     &window);
  };
  QObject::connect(&session, &ViewerSession::no_live_picture, &window, [tell] {
    tell([](const UiTexts& texts) { return texts.text(text_key::kMessageNoLivePicture); });
  });
  QObject::connect(
      &session, &ViewerSession::snapshot_not_stored, &window, [tell](StoreProblem problem) {
        tell([problem](const UiTexts& texts) { return not_saved_message(texts, {}, problem); });
      });
  QObject::connect(
      &session, &ViewerSession::picture_not_stored, &window,
      [tell](const std::filesystem::path& path, StoreProblem problem) {
        tell([&](const UiTexts& texts) { return not_saved_message(texts, path, problem); });
      });
}

const char* state_key(ViewerSession::ConnectionState state) {
  using State = ViewerSession::ConnectionState;
  switch (state) {
    case State::connecting:
      return text_key::kStateConnecting;
    case State::live:
      return text_key::kStateLive;
    case State::frozen:
      return text_key::kStateFrozen;
    case State::no_picture:
      return text_key::kStateNoPicture;
    case State::reconnecting:
      return text_key::kStateReconnecting;
    case State::no_camera:
      return text_key::kStateNoCamera;
  }
  return text_key::kStateConnecting;
}

// Keeps the window's state line in step with the session's connection state, what the video
// area shows (a still is marked as one) and the current language.
class StateLine : public QObject {
 public:
  StateLine(MainDialog& window, const ViewerSession& session)
      : QObject(&window), window_(window), session_(session) {
    connect(&session, &ViewerSession::connection_state_changed, this, &StateLine::refresh);
  }

  void follow(VideoArea& area) {
    area_ = &area;
    connect(&area, &VideoArea::mode_changed, this, &StateLine::refresh);
  }

  void refresh() {
    const auto texts = current_texts();
    std::string text = texts->text(state_key(session_.connection_state()));
    if (area_ && area_->mode() != VideoArea::Mode::live) {
      text = texts->text(text_key::kStateStill) + " \u00b7 " + text;
    }
    window_.set_state_text(QString::fromStdString(text));
  }

 private:
  MainDialog& window_;
  const ViewerSession& session_;
  VideoArea* area_ = nullptr;
};

}  // namespace

void connect_window(MainDialog& window, ViewerSession& session, ViewerApp& app) {
  set_window_icon(window);
  QObject::connect(&session, &ViewerSession::message, &window,
                   [&window](const std::string& text, const std::string& caption) {
                     const auto texts = current_texts();
                     show_message_box(texts->message(text), texts->message(caption),
                                      MessageIcon::None, &window);
                   });
  connect_store_messages(window, session, app);
  QObject::connect(&window, &MainDialog::closing, &session, &ViewerSession::stop);
  // Snap while the live video is frozen for measuring stores that picture.
  QObject::connect(&window, &MainDialog::capture_clicked, &session, [&window, &session] {
    auto* tools = window.findChild<MeasureTools*>();
    if (tools == nullptr || !tools->store_still()) session.capture();
  });
  auto* state_line = new StateLine(window, session);
  QObject::connect(&window, &MainDialog::language_chosen, &window,
                   [&window, &app, state_line](const std::string& name) {
                     change_language(window, app, name);
                     state_line->refresh();
                   });
  QObject::connect(&window, &MainDialog::combo_language_chosen, &window,
                   [&window, &app, state_line](const std::string& shown_name) {
                     select_combo_language(window, app, shown_name);
                     state_line->refresh();
                   });
  new PictureAdjustment(window, session);
  window.video_area()->show_feed(session.display_feed());

  if (!session.find_device()) {
    state_line->refresh();
    show_message_box(current_texts()->text(text_key::kMessageNoDevice), "", MessageIcon::None,
                     &window);
    return;
  }
  apply_language(window, app);
  set_button_bitmaps(window);
  window.prepare_layout();
  const auto texts = [&app] { return UiTexts(app.language_file()); };
  VideoArea* area = install_video_area(window, texts);
  state_line->follow(*area);
  area->show_live();
  Album* album = install_album(window, *area, session, texts);
  album->load_album();
  QObject::connect(&session, &ViewerSession::pictures_changed, album, &Album::load_album);
  QObject::connect(&session, &ViewerSession::picture_changed, album, &Album::add_picture);
  QObject::connect(&window, &MainDialog::delete_clicked, album, &Album::delete_selected_pictures);
  QObject::connect(&window, &MainDialog::compare_clicked, album, &Album::compare_pictures);
  QObject::connect(&window, &MainDialog::picture_clicked, area, &VideoArea::show_live);
  QObject::connect(&window, &MainDialog::entering_full_screen, area, &VideoArea::show_live);
  QObject::connect(&session, &ViewerSession::show_live, area, &VideoArea::show_live);
  QObject::connect(&session, &ViewerSession::show_picture, area, &VideoArea::show_picture);
  auto* tools =
      new MeasureTools(window, *area, app.settings_path(), session.options().record_folder, texts);
  QObject::connect(tools, &MeasureTools::picture_stored, album, &Album::add_picture);
  QObject::connect(&window, &MainDialog::language_chosen, tools, &MeasureTools::retext);
  QObject::connect(&window, &MainDialog::combo_language_chosen, tools, &MeasureTools::retext);
  window.control(kIndicator)->hide();

  window.set_video_running(true);
  window.control(kStartButton)->setEnabled(false);
  window.control(kAutoButton)->setEnabled(true);
  session.start();
  for (int id : kSliders) {
    window.slider(id)->setRange(0, 100);
    window.slider(id)->setValue(50);
  }
}

}  // namespace scopemark
