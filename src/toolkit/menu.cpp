#include "toolkit/menu.h"

#include <QAction>
#include <QMenu>
#include <cstring>
#include <pugixml.hpp>

namespace kb::ui {

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text, qsizetype(std::strlen(text)));
}

// Decimal, or hexadecimal with "0x"; anything else is no command.
int ParseId(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    int value = 0;
    if (trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        value = trimmed.mid(2).toInt(&ok, 16);
    } else {
        value = trimmed.toInt(&ok, 10);
    }
    return ok ? value : 0;
}

bool IsSeparator(const pugi::xml_node& node) {
    return std::strcmp(node.name(), "sep") == 0 || std::strcmp(node.name(), "separator") == 0;
}

void ParseItems(const pugi::xml_node& parent, const char* itemTag, const SMenuTextFn& text,
                std::vector<SMenuItem>& out) {
    for (const pugi::xml_node node : parent.children()) {
        if (node.type() != pugi::node_element) {
            continue;
        }
        if (IsSeparator(node)) {
            SMenuItem sep;
            sep.separator = true;
            out.push_back(std::move(sep));
            continue;
        }
        if (std::strcmp(node.name(), itemTag) != 0) {
            continue;
        }
        SMenuItem item;
        item.id = ParseId(Utf8(node.attribute("id").value()));
        // The text may be an attribute or the element's own text.
        const pugi::xml_attribute textAttr = node.attribute("text");
        QString raw = textAttr ? Utf8(textAttr.value()) : Utf8(node.text().get()).trimmed();
        item.text = text ? text(raw) : raw;
        item.icon = Utf8(node.attribute("icon").value());
        item.enabled =
            node.attribute("enable").as_int(1) != 0 && node.attribute("disable").as_int(0) == 0;
        ParseItems(node, itemTag, text, item.children);
        out.push_back(std::move(item));
    }
}

void Fill(QMenu& menu, const std::vector<SMenuItem>& items, const SMenuIconFn& icon) {
    for (const SMenuItem& item : items) {
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        const QIcon image = icon && !item.icon.isEmpty() ? icon(item.icon) : QIcon();
        if (!item.children.empty()) {
            QMenu* sub = menu.addMenu(image, item.text);
            sub->setEnabled(item.enabled);
            Fill(*sub, item.children, icon);
            continue;
        }
        QAction* action = menu.addAction(image, item.text);
        action->setData(item.id);
        action->setEnabled(item.enabled);
    }
}

}  // namespace

std::optional<SMenuModel> ParseMenu(const pugi::xml_node& root, const SMenuTextFn& text) {
    SMenuModel model;
    if (!root) {
        return std::nullopt;
    }
    const char* itemTag = nullptr;
    if (std::strcmp(root.name(), "menu") == 0) {
        model.kind = SMenuKind::Classic;
        itemTag = "item";
    } else if (std::strcmp(root.name(), "menuRoot") == 0 ||
               std::strcmp(root.name(), "menuItem") == 0) {
        model.kind = SMenuKind::Extended;
        itemTag = "menuItem";
    } else {
        return std::nullopt;
    }
    ParseItems(root, itemTag, text, model.items);
    return model;
}

const QString& MenuStyleSheet() {
    static const QString sheet = QStringLiteral(
        "QMenu { background-color: #1e2127; color: #e6e8eb; border: 1px solid #3a3f4a;"
        " border-radius: 4px; padding: 4px 0px; }"
        "QMenu::item { padding: 6px 28px 6px 28px; background-color: transparent; }"
        "QMenu::item:selected { background-color: #d7263d; color: #ffffff; }"
        "QMenu::item:disabled { color: #5d6370; }"
        "QMenu::separator { height: 1px; background-color: #3a3f4a; margin: 4px 10px; }"
        "QMenu::icon { padding-left: 8px; }"
        "QMenu::right-arrow { width: 8px; height: 8px; }");
    return sheet;
}

std::unique_ptr<QMenu> BuildMenu(const SMenuModel& model, QWidget* parent,
                                 const SMenuIconFn& icon) {
    auto menu = std::make_unique<QMenu>(parent);
    menu->setStyleSheet(MenuStyleSheet());
    Fill(*menu, model.items, icon);
    return menu;
}

}  // namespace kb::ui
