#pragma once

#include <QString>

#include "util/number_text.h"

namespace kb::ui {

// An integer attribute given as Qt text, read by the one rule of ParseIntegerAttribute.
inline int ParseIntValue(const QString& value) {
    return kb::ParseIntegerAttribute(value.toStdString());
}

}  // namespace kb::ui
