// What the program remembers of each key (keymap.xml) and the backups made from it: the same
// bytes read both ways, for the keyboard the seeds name.
#include <cstddef>
#include <cstdint>

#include "fuzz_input_file.h"
#include "keymap/keymap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kb::KeyboardIdentity identity{0x258a, 0x0049, 1, 2};
    const std::string path = kb::fuzz::WriteInputFile(data, size, "keymap.xml");
    const kb::KeyboardMemory memory = kb::LoadKeymap(path, identity);
    (void)memory;
    const kb::BackupReadResult backup = kb::ReadBackup(path, identity);
    (void)backup.error.size();
    return 0;
}
