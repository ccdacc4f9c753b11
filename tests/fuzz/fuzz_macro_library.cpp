// The macro library (macro.xml) and its exports (.mcr): loading, then reading every group and
// step as the macro dialog does, and copying a group as an edit does.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input_file.h"
#include "macro/macro_library.h"

namespace {

std::size_t Touch(const kb::MacroNode& node) {
    std::size_t total = 0;
    for (const std::string_view key : {"name", "code", "state", "delay"}) {
        total += node.GetAttribute(key).size();
    }
    for (int i = 0; i < node.ChildCount(); ++i) {
        total += Touch(*node.ChildAt(i));
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kb::MacroLibrary library;
    if (!library.Load(kb::fuzz::WriteInputFile(data, size, "input.mcr"))) {
        return 0;
    }
    (void)Touch(library.Root());
    if (library.Root().ChildCount() > 0) {
        const kb::MacroNode copy(*library.Root().ChildAt(0));
        library.Root().InsertChild(-1, copy);
        library.Root().ChildAt(library.Root().ChildCount() - 1)->InsertChild(-1, copy);
        (void)library.Root().MoveChild(0, -1);
        (void)Touch(library.Root());
    }
    return 0;
}
