#pragma once

#include <QByteArray>
#include <QColor>
#include <QPixmap>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "toolkit/named_ids.h"
#include "toolkit/sskin.h"

namespace pugi {
class xml_document;
}

namespace kb::ui {

class SWindow;
class SHostWnd;
class STranslatorMgr;

// A source of resources named type:name (both compared without case).
class IResProvider {
public:
    virtual ~IResProvider() = default;
    virtual bool HasResource(const QString& type, const QString& name) const = 0;
    // The resource's bytes; empty when it is missing or unreadable.
    virtual QByteArray LoadData(const QString& type, const QString& name) const = 0;
    // The file behind a resource, when there is one (for @2x lookups); empty otherwise.
    virtual QString FilePath(const QString& /*type*/, const QString& /*name*/) const { return {}; }
};

// Resources of a folder listed by its "uires.idx":
// <resource><TYPE><file name= path=/>...</TYPE>...</resource>.
class SResProviderFiles : public IResProvider {
public:
    static constexpr int kMaxTypeLength = 29;
    static constexpr int kMaxNameLength = 99;

    // Reads folder/uires.idx. A folder without a readable index provides nothing (false).
    // Entries whose type or name is too long are left out.
    bool Init(const QString& folder);
    size_t Count() const { return files_.size(); }
    const QString& Folder() const { return folder_; }

    bool HasResource(const QString& type, const QString& name) const override;
    QByteArray LoadData(const QString& type, const QString& name) const override;
    QString FilePath(const QString& type, const QString& name) const override;

private:
    QString folder_;
    std::map<QString, QString> files_;  // "type:name" lower-cased -> path relative to folder
};

// The application object: resources, value tables, named ids, translator, widget factories.
// Create exactly one (after the QApplication); Instance() returns it while it lives.
class SApplication {
public:
    using WidgetFactory = std::function<SWindow*(QWidget* parent)>;

    SApplication();  // registers the toolkit's own widget tags
    ~SApplication();
    SApplication(const SApplication&) = delete;
    SApplication& operator=(const SApplication&) = delete;
    static SApplication* Instance();

    // ---- resources ---------------------------------------------------------------------
    // Adds a provider (searched newest first). With a UI definition name ("uidef:xml_init")
    // its string, colour and skin tables are loaded from it.
    void AddResProvider(std::shared_ptr<IResProvider> provider, const QString& uidef = {});
    void RemoveResProvider(const IResProvider* provider);
    // "type:name" split at the first colon; false without a colon, an empty part, or a part
    // over the length limits.
    static bool SplitResName(const QString& typeAndName, QString& type, QString& name);
    bool HasResource(const QString& typeAndName) const;
    QByteArray LoadRawData(const QString& typeAndName) const;
    bool LoadXml(pugi::xml_document& doc, const QString& typeAndName) const;
    bool LoadXml(pugi::xml_document& doc, const QString& type, const QString& name) const;
    // A null pixmap when missing or not an image. A "name@2x" resource is preferred on screens
    // scaled 1.5x or more (its device pixel ratio is then 2).
    QPixmap LoadPixmap(const QString& typeAndName) const;

    // ---- UI definition and value tables ------------------------------------------------
    // <uidef><string src=/><color src=/><skin src=/></uidef>; false when it does not load.
    bool LoadUiDef(const QString& typeAndName);
    // Gives the tooltips the colour table's popup colours.
    static void ApplyToolTipColors();
    QString GetString(const QString& name) const;  // null QString when missing
    int StringCount() const { return static_cast<int>(strings_.size()); }
    // Entry by index, entries sorted by name; null QString out of range.
    QString StringAt(int index) const;
    // Entry 0 of the string table, looked up on every call.
    QString InstanceName() const { return StringAt(0); }
    // "@string/NAME" gives the entry (the value unchanged when the entry is missing);
    // anything else is returned as it is.
    QString ResolveString(const QString& value) const;
    // #RRGGBB, #RRGGBBAA or @color/NAME; false when it is none of these.
    bool ParseColor(const QString& value, QColor& color) const;
    void SetString(const QString& name, const QString& value);
    void SetColor(const QString& name, const QColor& color);
    SSkinPool& Skins() { return skins_; }
    ISkinObj* GetSkin(const QString& name) const { return skins_.Get(name); }
    // Loads a skin table (<skin><imglist/><imgframe/></skin>) into the pool.
    bool LoadSkinTable(const QString& typeAndName);

    // ---- named ids ---------------------------------------------------------------------
    // Registers name/id pairs; they are kept sorted by name (sorted = the input already is).
    void RegisterNamedIds(const std::vector<NamedId>& ids, bool sorted = false);
    const std::vector<NamedId>& NamedIds() const { return namedIds_; }
    int IdOfName(const QString& name) const;  // 0 when the name is not registered
    QString NameOfId(int id) const;           // empty when the id is not registered

    // ---- translator --------------------------------------------------------------------
    void SetTranslator(std::shared_ptr<STranslatorMgr> manager) {
        translator_ = std::move(manager);
    }
    STranslatorMgr* GetTranslator() const { return translator_.get(); }
    // The source itself without a manager.
    QString Tr(const QString& context, const QString& source) const;

    // ---- widget factories --------------------------------------------------------------
    // False (the existing registration stays) when the tag is already registered.
    bool RegisterWidget(const QString& tag, const QString& baseTag, WidgetFactory factory);
    template <class T>
    bool RegisterWidget() {
        return RegisterWidget(QLatin1String(T::kClassTag), QLatin1String(T::kBaseTag),
                              [](QWidget* parent) -> SWindow* { return new T(parent); });
    }
    bool IsRegistered(const QString& tag) const;
    QString BaseTagOf(const QString& tag) const;  // empty for "window" or unknown tags
    // True when tag is classTag or derives from it through the registered base tags.
    bool TagIsA(const QString& tag, const QString& classTag) const;
    SWindow* CreateWidget(const QString& tag, QWidget* parent) const;  // nullptr when unknown

    // ---- running -----------------------------------------------------------------------
    // The folder of the running executable, without a trailing separator.
    static QString ProgramFolder();
    // Runs the event loop until the main window is destroyed; returns the loop's exit code.
    int Run(SHostWnd* mainWindow);

private:
    struct Factory {
        QString baseTag;
        WidgetFactory create;
    };
    std::vector<std::shared_ptr<IResProvider>> providers_;
    std::vector<std::pair<QString, QString>> strings_;  // sorted by name
    std::map<QString, QColor> colors_;                  // key lower-cased
    SSkinPool skins_;
    std::vector<NamedId> namedIds_;  // sorted by name
    std::shared_ptr<STranslatorMgr> translator_;
    std::map<QString, Factory> factories_;  // key lower-cased
};

}  // namespace kb::ui
