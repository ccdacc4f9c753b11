#pragma once

#include <QString>
#include <functional>

#include "keymap/key_memory.h"
#include "macro/key_names.h"

namespace kb {

// Translates a text of a translation context ("main", "macro"); the identity when there is no
// translator.
using TranslateText = std::function<QString(const char* context, const QString& text)>;

// The short text drawn on an assigned key's cap: the macro's name, → and the produced key's
// short name, the media or shortcut entry's short form from the "keylabel" translations (else
// its name as the dialog shows it), "?" for a key assigned elsewhere.
QString KeyCapLabel(const RememberedKey& key, const TranslateText& translate);

// The key's display name and printed legend, for the keyboard picture's tooltips and labels.
QString KeyTitle(int keyCode, KeyNameLanguage language);
QString KeyCapLegend(int keyCode);

}  // namespace kb
