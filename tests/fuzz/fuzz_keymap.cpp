// What the program remembers of each key (keymap.xml) and the backups made from it: the same
// bytes read both ways, for the keyboard the seeds name, then saved as the program saves them
// (with another keyboard's entry and whatever unknown parts the file holds kept).
#include <cstddef>
#include <cstdint>

#include "fuzz_input_file.h"
#include "keymap/keymap_file.h"
#include "protocol/lighting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kb::KeyboardIdentity identity{0x258a, 0x0049, 1, 2};
    const std::string path = kb::fuzz::WriteInputFile(data, size, "keymap.xml");
    const kb::BackupReadResult backup = kb::ReadBackup(path, identity);
    (void)backup.error.size();
    {
        // Loads, keeps a damaged file aside, merges and writes back.
        kb::KeyMemory memory(path, identity);
        memory.LightingSent(1, kb::InitialLightingTable());
        (void)memory.Saved();
    }
    kb::fuzz::RemoveSideFiles("keymap.xml");
    return 0;
}
