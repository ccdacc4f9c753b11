#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

#include "toolkit/attribute_value.h"
#include "util/number_text.h"

namespace kb::ui {

class ISkinObj;

// A skin attribute: the skin of that name from the application's pool; an unknown name fails
// and keeps the skin held before.
bool LookUpSkin(const QString& name, ISkinObj*& slot);

// Reads up to `count` comma-separated decimal integers ("%d,%d,..."): stops at the first one that
// is missing or malformed; the outputs after it keep their values. Returns how many were read.
int ScanCommaInts(std::string_view text, int* out, int count);

// Hexadecimal colour as "%x" with an optional "0x"; false without hexadecimal digits. Wider
// values saturate to 0xFFFFFFFF.
bool ScanHex32(std::string_view text, std::uint32_t& out);

}  // namespace kb::ui
