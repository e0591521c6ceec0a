// Texts of the update windows: looked up by id in the current language (section OthersUI of the
// language file, through the skin library's text query), with the English text as fallback.
#pragma once

#include <QString>

namespace zor::update {

QString UpdateText(const char* id, const char* english);

}  // namespace zor::update
