#include "macro/xml_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

namespace kb {

namespace fs = std::filesystem;

namespace {

// Bytes per code unit of the text, as pugixml tells the encodings apart when asked to guess.
std::size_t CodeUnitSize(const unsigned char* data, std::size_t size, pugi::xml_encoding encoding) {
    switch (encoding) {
        case pugi::encoding_utf16_le:
        case pugi::encoding_utf16_be:
        case pugi::encoding_utf16:
            return 2;
        case pugi::encoding_utf32_le:
        case pugi::encoding_utf32_be:
        case pugi::encoding_utf32:
            return 4;
        case pugi::encoding_wchar:
            return sizeof(wchar_t);
        case pugi::encoding_auto:
            break;
        default:
            return 1;
    }
    if (size >= 4) {
        const std::uint32_t head = (std::uint32_t{data[0]} << 24) | (std::uint32_t{data[1]} << 16) |
                                   (std::uint32_t{data[2]} << 8) | data[3];
        if (head == 0x0000FEFF || head == 0xFFFE0000 || head == 0x0000003C || head == 0x3C000000) {
            return 4;
        }
    }
    if (size >= 2) {
        const unsigned head = (unsigned{data[0]} << 8) | data[1];
        if (head == 0xFEFF || head == 0xFFFE || head == 0x003C || head == 0x3C00) {
            return 2;
        }
    }
    return 1;
}

// Where the text holds a NUL character, or npos. The parser takes NUL for the end of the text, so
// what follows one would be ignored, or complete an element cut short.
std::size_t FindNulCharacter(const char* text, std::size_t size, pugi::xml_encoding encoding) {
    const auto* data = reinterpret_cast<const unsigned char*>(text);
    const std::size_t unit = CodeUnitSize(data, size, encoding);
    if (unit == 1) {
        // The common case, and a large file: a byte scan at memory speed.
        const void* nul = std::memchr(text, 0, size);
        return nul == nullptr ? std::string::npos
                              : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    }
    for (std::size_t at = 0; at + unit <= size; at += unit) {
        if (std::all_of(data + at, data + at + unit, [](unsigned char b) { return b == 0; })) {
            return at;
        }
    }
    return std::string::npos;
}

// Parses a buffer from pugixml's allocator, which the document takes over (or frees here).
pugi::xml_parse_result LoadOwnedBuffer(pugi::xml_document& document, char* buffer, std::size_t size,
                                       unsigned int options, pugi::xml_encoding encoding) {
    if (const std::size_t nul = FindNulCharacter(buffer, size, encoding);
        nul != std::string::npos) {
        pugi::get_memory_deallocation_function()(buffer);
        pugi::xml_parse_result result;
        result.status = pugi::status_bad_pcdata;
        result.offset = static_cast<std::ptrdiff_t>(nul);
        return result;
    }
    return document.load_buffer_inplace_own(buffer, size, options, encoding);
}

}  // namespace

pugi::xml_parse_result LoadXmlFile(pugi::xml_document& document, const fs::path& file,
                                   unsigned int options, pugi::xml_encoding encoding) {
    pugi::xml_parse_result result;
    std::string bytes;
    switch (ReadRegularFile(file, bytes, kMaxXmlFileBytes)) {
        case ReadFileStatus::Ok:
            break;
        case ReadFileStatus::NotFound:
            result.status = pugi::status_file_not_found;
            return result;
        default:
            result.status = pugi::status_io_error;
            return result;
    }
    // One spare byte, so that an empty file still gets a buffer of its own.
    auto* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(bytes.size() + 1));
    if (buffer == nullptr) {
        result.status = pugi::status_out_of_memory;
        return result;
    }
    std::copy(bytes.begin(), bytes.end(), buffer);
    return LoadOwnedBuffer(document, buffer, bytes.size(), options, encoding);
}

bool SaveXmlAtomically(const pugi::xml_document& document, const fs::path& target,
                       const char* indent, unsigned int flags) {
    return WriteFileAtomically(target, [&](std::FILE* file) {
        pugi::xml_writer_file out(file);
        document.save(out, indent, flags, pugi::encoding_utf8);
        return true;
    });
}

}  // namespace kb
