// The key-assignment dialog's remembered choices (store.xml).
#include <cstddef>
#include <cstdint>

#include "fuzz_input_file.h"
#include "macro/macro_dialog_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kb::MacroDialogState state(kb::fuzz::WriteInputFile(data, size, "store.xml"));
    (void)state.page;
    return 0;
}
