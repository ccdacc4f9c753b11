#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kb {

// What the user chose for a key, next to the assignment record it goes out as: the key dialog
// returns it, the key memory keeps it and kbcfg builds it from its options.

// What a key was given. Macro and function keys hold a macro slot, key and media keys a remap
// slot. Elsewhere: the keyboard reports the key as assigned, but not by what we remember.
enum class KeyKind { Macro, Key, Media, Function, Elsewhere };

// A macro step as the macro library holds it (decimal texts).
struct RememberedStep {
    std::string code;
    std::string name;
    std::string state;
    std::string delay;

    bool operator==(const RememberedStep&) const = default;
};

// What the user chose for a key.
struct KeyChoice {
    KeyKind kind = KeyKind::Elsewhere;
    std::string name;                   // the macro group, media or function entry
    std::vector<RememberedStep> steps;  // macro: a copy of the group's steps
    int repeat = 0;                     // macro
    std::uint8_t target = 0;            // key: the code it produces
    std::vector<std::int32_t> codes;    // media, function: the entry's codes

    bool operator==(const KeyChoice&) const = default;
};

}  // namespace kb
