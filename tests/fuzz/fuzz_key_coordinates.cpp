// The key coordinate file that places the key buttons on the keyboard picture.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "fuzz_input_file.h"
#include "widgets/coord_button_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto keys = kb::ui::LoadKeyCoordinates(
        QString::fromStdString(kb::fuzz::WriteInputFile(data, size, "keys.xml")));
    for (const kb::ui::CoordKey& key : keys) {
        (void)key.Rect();
        (void)key.Color();
        (void)key.Contains(key.left, key.top);
    }
    return 0;
}
