// The resource index (uires.idx) that maps resource types and names to files.
#include <QFileInfo>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "fuzz_input_file.h"
#include "toolkit/sapp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString index = QString::fromStdString(kb::fuzz::WriteInputFile(data, size, "uires.idx"));
    kb::ui::SResProviderFiles provider;
    if (!provider.Init(QFileInfo(index).path())) {
        return 0;
    }
    for (const char* type : {"layout", "LAYOUT", "img", "values", "translator", "uidef"}) {
        for (const char* name : {"main", "string", "xml_init", "lang_cn", ""}) {
            if (provider.HasResource(QString::fromLatin1(type), QString::fromLatin1(name))) {
                (void)provider.FilePath(QString::fromLatin1(type), QString::fromLatin1(name));
            }
        }
    }
    return 0;
}
