// Menu files, both kinds: parsed, then built into a Qt menu as a pop-up is.
#include <QMenu>
#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>

#include "qt_fuzz_app.h"
#include "toolkit/menu.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kb::fuzz::QtApp();
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) {
        return 0;
    }
    const auto model =
        kb::ui::ParseMenu(doc.document_element(), [](const QString& raw) { return raw.toUpper(); });
    if (model) {
        (void)kb::ui::BuildMenu(*model, nullptr, {});
    }
    return 0;
}
