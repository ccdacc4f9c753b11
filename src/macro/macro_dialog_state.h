#pragma once

#include <cstdint>
#include <string>

namespace kb {

// The key-assignment dialog's remembered choices, kept in "store.xml". The dialog and recording
// read and write the fields directly and call SaveState after each change they make.
class MacroDialogState {
public:
    // Starts from the defaults and reads the file at path (UTF-8). A missing or malformed file,
    // or one without a "macro" element, leaves the defaults; an attribute missing from an
    // existing "macro" element reads as 0.
    explicit MacroDialogState(std::string path);

    // The one state of the process, created with "<dataFolder>/store.xml" on the first call;
    // later calls return it whatever folder they name. Never destroyed.
    static MacroDialogState& Instance(const std::string& dataFolder);

    // Writes the eight fields to the file, replacing it only with a complete one. A file that
    // was there but could not be read is kept aside ("store.xml.unreadable") first.
    bool SaveState() const;

    const std::string& Path() const { return path_; }
    // True when the file was there but could not be read (the defaults were taken).
    bool LoadedUnreadable() const { return loadedUnreadable_; }

    std::int32_t page = 0;  // 0 macro, 1 single key, 2 media key, 3 function key
    std::int32_t repeat = 1;
    std::int32_t delay = 10;    // fixed recording delay in milliseconds
    std::int32_t dlymode = 0;   // 0 real, 1 fixed, 2 none; kept as read
    std::int32_t mediasel = 0;  // entry of the media-key list
    std::int32_t functsel = 0;  // entry of the function-key list
    std::int32_t sgcode = 0;    // last captured single-key code
    std::int32_t groupsel = 0;  // group row selected when the dialog opens

private:
    std::string path_;
    bool loadedUnreadable_ = false;
    mutable bool keptAside_ = false;
};

}  // namespace kb
