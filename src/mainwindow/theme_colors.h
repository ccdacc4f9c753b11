#pragma once

#include <QColor>

#include "session/keyboard_session.h"

namespace kb {

// An entry of the colour table ("accent" for "@color/accent"), else the fallback.
QColor ThemeColor(const char* name, const QColor& fallback);

// The colour of a kind of assignment on the keyboard picture, its legend and the overview:
// the colour table's "kind_macro", "kind_key", "kind_media", "kind_function" and
// "kind_elsewhere".
QColor KindColor(KeyKind kind);

}  // namespace kb
