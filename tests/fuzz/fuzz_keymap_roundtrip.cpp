// keymap.xml read, saved and read again gives the same memory: what the program writes it can
// read back, whatever the file held before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "fuzz_input_file.h"
#include "keymap/keymap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kb::KeyboardIdentity identity{0x258a, 0x0049, 1, 2};
    const std::string path = kb::fuzz::WriteInputFile(data, size, "keymap.xml");
    const kb::KeyboardMemory loaded = kb::LoadKeymap(path, identity);
    // A fresh file each time: the save starts from nothing.
    const std::string saved = kb::fuzz::ProcessFolder().Path() + "/saved.xml";
    std::error_code ec;
    std::filesystem::remove(saved, ec);
    if (!kb::SaveKeymap(saved, identity, loaded)) {
        std::abort();
    }
    if (!(kb::LoadKeymap(saved, identity) == loaded)) {
        std::abort();
    }
    return 0;
}
