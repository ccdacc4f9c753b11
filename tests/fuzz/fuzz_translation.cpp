// Translation files: one language with its contexts and messages, installed and looked up.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <pugixml.hpp>

#include "toolkit/translator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Parsed as the application parses every resource.
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) {
        return 0;
    }
    auto translator = std::make_shared<kb::ui::STranslator>();
    if (!translator->Load(doc.child("language"))) {
        return 0;
    }
    const pugi::xml_node context = doc.child("language").child("context");
    const QString contextName = QString::fromUtf8(context.attribute("name").value());
    const QString source = QString::fromUtf8(context.child("message").child("source").text().get());
    (void)translator->Translate(contextName, source);
    kb::ui::STranslatorMgr manager;
    if (manager.InstallTranslator(translator)) {
        (void)manager.Tr(contextName, source);
        (void)manager.Tr(QString(), QString());
    }
    return 0;
}
