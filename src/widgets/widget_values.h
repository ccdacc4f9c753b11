#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

namespace kb::ui {

class ISkinObj;

// A skin attribute: the skin of that name from the application's pool; an unknown name fails
// and keeps the skin held before.
bool LookUpSkin(const QString& name, ISkinObj*& slot);

// Integer attribute: decimal, or hexadecimal after "0x"; the leading digits count, and a value
// without digits gives 0. Values beyond the int range are clamped.
int ParseIntValue(const QString& value);

// Decimal integer with an optional sign; only the leading digits count, none gives 0. Clamped to
// the int range.
int ParseDecimalPrefix(std::string_view text);

// Reads up to `count` comma-separated decimal integers ("%d,%d,..."): stops at the first one that
// is missing or malformed; the outputs after it keep their values. Returns how many were read.
int ScanCommaInts(std::string_view text, int* out, int count);

// Hexadecimal colour as "%x" with an optional "0x"; false without hexadecimal digits. Wider
// values saturate to 0xFFFFFFFF.
bool ScanHex32(std::string_view text, std::uint32_t& out);

}  // namespace kb::ui
