#pragma once

#include <QIcon>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class QWidget;

namespace pugi {
class xml_node;
}

namespace kb::ui {

// One entry of a pop-up menu.
struct SMenuItem {
    int id = 0;    // command id delivered when chosen (0: none)
    QString text;  // display text, already resolved and translated
    QString icon;  // image reference "type:name", empty for none
    bool enabled = true;
    bool separator = false;
    std::vector<SMenuItem> children;  // non-empty: the entry opens a submenu
};

enum class SMenuKind { Classic, Extended };

struct SMenuModel {
    SMenuKind kind = SMenuKind::Classic;
    std::vector<SMenuItem> items;
};

// Turns a raw text attribute into the text shown ("@string/" references, translation).
using SMenuTextFn = std::function<QString(const QString& raw)>;
// Loads the icon named by an image reference; a null icon shows none.
using SMenuIconFn = std::function<QIcon(const QString& ref)>;

// Classic menus have the root "menu" with "item" entries; extended ones the root "menuRoot" or
// "menuItem" with "menuItem" entries. Both use "sep" for separators and nest entries for
// submenus. Any other root, or entries nested more than 256 levels deep, give no menu.
std::optional<SMenuModel> ParseMenu(const pugi::xml_node& root, const SMenuTextFn& text = {});

// Style sheet of every pop-up menu: dark, to match the windows.
QString MenuStyleSheet();

// Builds a Qt menu; every command action carries its id in QAction::data().
std::unique_ptr<QMenu> BuildMenu(const SMenuModel& model, QWidget* parent,
                                 const SMenuIconFn& icon = {});

// A pop-up menu loaded from a menu resource: load it, track it, let it go.
class SMenu {
public:
    // Translation context of menu texts when the root has no "trCtx".
    static constexpr const char* kDefaultContext = "menu";

    // Loads "SMENU:..." or "SMENUEX:..." through the application object. Texts resolve
    // "@string/" references and pass through the translator. False (no menu) when the resource
    // does not load or is no menu.
    bool LoadMenu(const QString& resource);
    bool LoadMenu(const pugi::xml_node& root);
    bool IsLoaded() const { return model_.has_value(); }
    const SMenuModel* Model() const { return model_ ? &*model_ : nullptr; }

    // Shows the menu at a screen point until it closes and returns the chosen command id (0 when
    // nothing was chosen). When the owner is a host window, a chosen id also reaches its message
    // hook as kWmCommand with notification code 0. Without a loaded menu nothing happens.
    int TrackPopupMenu(QWidget* owner, const QPoint& screenPoint);

private:
    std::optional<SMenuModel> model_;
};

}  // namespace kb::ui
