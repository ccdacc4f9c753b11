#pragma once

#ifdef _WIN32

#include <string>
#include <string_view>

namespace kb {

// Text is UTF-8 inside the program and UTF-16 at the Win32 edge. Invalid sequences become
// U+FFFD rather than ending the text.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace kb

#endif
