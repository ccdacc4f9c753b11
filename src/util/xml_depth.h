#pragma once

// How deep the program's XML files may nest. Loading is iterative in pugixml, but walking,
// removing and indenting a tree are not free: a file nested far deeper than anything the
// program writes is treated as unreadable.

#include <cstdint>

#include <pugixml.hpp>

namespace kb {

inline constexpr int kMaxXmlDepth = 64;
inline constexpr std::uintmax_t kMaxXmlFileBytes = 256u << 20;

// True when no element under `root` lies more than `maxDepth` levels below it.
inline bool NestingWithin(pugi::xml_node root, int maxDepth) {
    pugi::xml_node node = root.first_child();
    int depth = 1;
    while (node) {
        if (depth > maxDepth) {
            return false;
        }
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
            if (node == root) {
                return true;
            }
        }
        if (node) {
            node = node.next_sibling();
        }
    }
    return true;
}

}  // namespace kb
