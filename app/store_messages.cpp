#include "app/store_messages.h"

#include "i18n/code_page.h"

namespace scopemark {
namespace {

const char* reason_key(StoreProblem problem) {
  switch (problem) {
    case StoreProblem::disk_full:
      return text_key::kMessageDiskFull;
    case StoreProblem::folder_missing:
      return text_key::kMessageFolderMissing;
    case StoreProblem::not_allowed:
      return text_key::kMessageNotAllowed;
    case StoreProblem::incomplete:
      return text_key::kMessageTransferCut;
    case StoreProblem::undecodable:
      return text_key::kMessageUnreadablePicture;
    case StoreProblem::none:
    case StoreProblem::write_failed:
      break;
  }
  return text_key::kMessageWriteFailed;
}

}  // namespace

std::string not_saved_message(const UiTexts& texts, const std::filesystem::path& picture,
                              StoreProblem problem) {
  // The camera names its pictures in code page 936.
  const std::string what = picture.empty()
                               ? texts.text(text_key::kMessageSnapshotNotSaved)
                               : texts.format(text_key::kMessagePictureNotSaved,
                                              cp936_to_utf8(picture.filename().string()));
  return what + "\n" + texts.text(reason_key(problem));
}

}  // namespace scopemark
