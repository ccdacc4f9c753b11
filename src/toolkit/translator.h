#pragma once

#include <QHash>
#include <QString>
#include <QTranslator>
#include <memory>
#include <vector>

namespace pugi {
class xml_node;
}

namespace kb::ui {

// One translation, loaded from a "language" element:
// <language name= guid=><context name=><message><source/><translation/></message>...
class STranslator {
public:
    bool Load(const pugi::xml_node& language);
    const QString& Name() const { return name_; }
    const QString& Guid() const { return guid_; }
    // Null QString when the translator has no entry for (context, source).
    QString Translate(const QString& context, const QString& source) const;

private:
    QString name_;
    QString guid_;
    // context -> source -> translation
    QHash<QString, QHash<QString, QString>> contexts_;
};

// The application's translators: at most one language at a time.
class STranslatorMgr {
public:
    // A different name drops every installed translator; the name becomes the language.
    void SetLanguage(const QString& name);
    const QString& Language() const { return language_; }
    // Refused (false) when the name is not the current language or the GUID is installed.
    // With no current language yet, the translator's name becomes it.
    bool InstallTranslator(std::shared_ptr<STranslator> translator);
    // Installed translators in order, first hit wins; the source itself when none has it.
    QString Tr(const QString& context, const QString& source) const;

    STranslatorMgr() = default;
    STranslatorMgr(const STranslatorMgr&) = delete;
    STranslatorMgr& operator=(const STranslatorMgr&) = delete;
    ~STranslatorMgr();

private:
    void InstallQtTranslations();

    QString language_;
    std::vector<std::shared_ptr<STranslator>> translators_;
    std::unique_ptr<QTranslator> qtTranslator_;  // Qt's own texts in the language, when found
};

}  // namespace kb::ui
