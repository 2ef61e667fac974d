// What the user is told when a picture was not saved.
#pragma once

#include <filesystem>
#include <string>

#include "i18n/ui_texts.h"
#include "records/picture_store.h"

namespace scopemark {

// The message for a snapshot (empty `picture`) or a picture the camera sent under `picture`
// that was not saved: what was not saved, then why, in the language of `texts`.
std::string not_saved_message(const UiTexts& texts, const std::filesystem::path& picture,
                              StoreProblem problem);

}  // namespace scopemark
