#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "config/atomic_file.h"    // WriteFileAtomically
#include "util/file_read.h"        // PathFromUtf8
#include "util/unreadable_copy.h"  // KeepUnreadableCopy
#include "util/xml_depth.h"

// Loading and saving the XML files of the macro library, the dialog state and the keymap.
namespace kb {

// Loads a pugixml document from a regular file. Anything else (a folder, say) fails with
// status_io_error instead of reaching pugixml, which would try to read a folder's "size"; a file
// above kMaxXmlFileBytes fails too.
pugi::xml_parse_result LoadXmlFile(pugi::xml_document& document, const std::filesystem::path& file,
                                   unsigned int options, pugi::xml_encoding encoding);

// Saves a pugixml document through WriteFileAtomically.
bool SaveXmlAtomically(const pugi::xml_document& document, const std::filesystem::path& target,
                       const char* indent, unsigned int flags);

}  // namespace kb
