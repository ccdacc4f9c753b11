#include "toolkit/translator.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QUuid>
#include <cstring>
#include <pugixml.hpp>
#include <utility>

namespace kb::ui {

namespace {

// Language names travel through 64-character buffers; keeping every name within that size means
// the name a caller reads back always equals the one the manager compares against.
constexpr qsizetype kMaxLanguageName = 63;

QString Utf8(const char* text) {
    return QString::fromUtf8(text, qsizetype(std::strlen(text)));
}

QString LanguageName(const QString& name) {
    return name.left(kMaxLanguageName);
}

// Registry-string GUIDs may differ in case or braces and still name the same translation.
QString NormalisedGuid(const QString& text) {
    const QString trimmed = text.trimmed();
    const QUuid uuid = QUuid::fromString(trimmed);
    return uuid.isNull() ? trimmed : uuid.toString(QUuid::WithBraces);
}

}  // namespace

bool STranslator::Load(const pugi::xml_node& language) {
    if (!language || std::strcmp(language.name(), "language") != 0) {
        return false;
    }
    const QString name = LanguageName(Utf8(language.attribute("name").value()));
    const QString guid = NormalisedGuid(Utf8(language.attribute("guid").value()));
    if (name.isEmpty() || guid.isEmpty()) {
        return false;
    }

    QHash<QString, QHash<QString, QString>> contexts;
    for (const pugi::xml_node context : language.children("context")) {
        QHash<QString, QString>& messages = contexts[Utf8(context.attribute("name").value())];
        for (const pugi::xml_node message : context.children("message")) {
            const pugi::xml_node source = message.child("source");
            const QString translation = Utf8(message.child("translation").text().get());
            // An empty translation would blank the text; leave it to the source instead.
            if (!source || translation.isEmpty()) {
                continue;
            }
            // First entry wins, as a reader of the file would expect.
            const QString key = Utf8(source.text().get());
            if (!messages.contains(key)) {
                messages.insert(key, translation);
            }
        }
    }
    // The optional "fonts" element is not used: fonts come from the layouts.

    name_ = name;
    guid_ = guid;
    contexts_ = std::move(contexts);
    return true;
}

QString STranslator::Translate(const QString& context, const QString& source) const {
    const auto ctx = contexts_.constFind(context);
    if (ctx == contexts_.constEnd()) {
        return {};
    }
    const auto hit = ctx->constFind(source);
    return hit == ctx->constEnd() ? QString() : *hit;
}

STranslatorMgr::~STranslatorMgr() {
    if (qtTranslator_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::removeTranslator(qtTranslator_.get());
    }
}

void STranslatorMgr::SetLanguage(const QString& name) {
    const QString language = LanguageName(name);
    if (language != language_) {
        translators_.clear();
    }
    language_ = language;
    InstallQtTranslations();
}

// Qt's own windows (the file chooser, its buttons and columns) speak the program's language
// when Qt's translations for it are installed; otherwise they stay in English.
void STranslatorMgr::InstallQtTranslations() {
    if (QCoreApplication::instance() == nullptr) {
        return;
    }
    if (qtTranslator_) {
        QCoreApplication::removeTranslator(qtTranslator_.get());
        qtTranslator_.reset();
    }
    if (language_ != QLatin1String("cn")) {
        return;
    }
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->load(QStringLiteral("qtbase_zh_CN"), QCoreApplication::applicationDirPath() +
                                                             QStringLiteral("/translations"))) {
        QCoreApplication::installTranslator(translator.get());
        qtTranslator_ = std::move(translator);
    }
}

bool STranslatorMgr::InstallTranslator(std::shared_ptr<STranslator> translator) {
    if (!translator || translator->Name().isEmpty()) {
        return false;
    }
    if (language_.isEmpty()) {
        language_ = translator->Name();
        InstallQtTranslations();
    }
    if (translator->Name() != language_) {
        return false;
    }
    for (const auto& installed : translators_) {
        if (installed->Guid() == translator->Guid()) {
            return false;
        }
    }
    translators_.push_back(std::move(translator));
    return true;
}

QString STranslatorMgr::Tr(const QString& context, const QString& source) const {
    for (const auto& translator : translators_) {
        QString text = translator->Translate(context, source);
        if (!text.isNull()) {
            return text;
        }
    }
    return source;
}

}  // namespace kb::ui
