#include "toolkit/menu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <cstring>
#include <pugixml.hpp>

#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/theme.h"
#include "util/number_text.h"

namespace kb::ui {

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text, qsizetype(std::strlen(text)));
}

bool IsSeparator(const pugi::xml_node& node) {
    return std::strcmp(node.name(), "sep") == 0 || std::strcmp(node.name(), "separator") == 0;
}

// Items nest at most this deep below the root; a deeper menu is refused rather than parsed (and
// later built) by recursion that could exhaust the stack.
constexpr int kMaxMenuDepth = 256;

// False when the items nest too deep.
bool ParseItems(const pugi::xml_node& parent, const char* itemTag, const SMenuTextFn& text,
                int depth, std::vector<SMenuItem>& out) {
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
        if (depth > kMaxMenuDepth) {
            return false;
        }
        SMenuItem item;
        item.id = ParseIntegerAttribute(node.attribute("id").value());
        // The text may be an attribute or the element's own text.
        const pugi::xml_attribute textAttr = node.attribute("text");
        QString raw = textAttr ? Utf8(textAttr.value()) : Utf8(node.text().get()).trimmed();
        item.text = text ? text(raw) : raw;
        item.icon = Utf8(node.attribute("icon").value());
        const pugi::xml_attribute enable = node.attribute("enable");
        item.enabled = (!enable || ParseIntegerAttribute(enable.value()) != 0) &&
                       ParseIntegerAttribute(node.attribute("disable").value()) == 0;
        if (!ParseItems(node, itemTag, text, depth + 1, item.children)) {
            return false;
        }
        out.push_back(std::move(item));
    }
    return true;
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
    if (!ParseItems(root, itemTag, text, 1, model.items)) {
        return std::nullopt;
    }
    return model;
}

QString MenuStyleSheet() {
    return ThemeStyleSheet(QStringLiteral(
        "QMenu { background-color: @color/caption; color: @color/text;"
        " border: 1px solid @color/edge;"
        " padding: 4px 0px; }"
        "QMenu::item { padding: 7px 30px 7px 28px; min-width: 96px; background-color: transparent; "
        "}"
        "QMenu::item:selected { background-color: @color/accent; color: @color/text_on_accent; }"
        "QMenu::item:disabled { color: @color/text_disabled; }"
        "QMenu::separator { height: 1px; background-color: @color/edge; margin: 4px 10px; }"
        "QMenu::icon { padding-left: 8px; }"));
}

std::unique_ptr<QMenu> BuildMenu(const SMenuModel& model, QWidget* parent,
                                 const SMenuIconFn& icon) {
    auto menu = std::make_unique<QMenu>(parent);
    menu->setStyleSheet(MenuStyleSheet());
    Fill(*menu, model.items, icon);
    return menu;
}

bool SMenu::LoadMenu(const QString& resource) {
    model_.reset();
    const SApplication* app = SApplication::Instance();
    pugi::xml_document doc;
    if (!app || !app->LoadXml(doc, resource)) {
        return false;
    }
    return LoadMenu(doc.document_element());
}

bool SMenu::LoadMenu(const pugi::xml_node& root) {
    const SApplication* app = SApplication::Instance();
    QString context = Utf8(root.attribute("trCtx").value());
    if (context.isEmpty()) {
        context = QLatin1String(kDefaultContext);
    }
    SMenuTextFn text;
    if (app) {
        text = [app, context](const QString& raw) {
            return app->Tr(context, app->ResolveString(raw));
        };
    }
    model_ = ParseMenu(root, text);
    return model_.has_value();
}

int SMenu::TrackPopupMenu(QWidget* owner, const QPoint& screenPoint) {
    if (!model_) {
        return 0;
    }
    SMenuIconFn icon;
    if (const SApplication* app = SApplication::Instance()) {
        icon = [app](const QString& ref) {
            const QPixmap image = app->LoadPixmap(ref);
            return image.isNull() ? QIcon() : QIcon(image);
        };
    }
    std::unique_ptr<QMenu> menu = BuildMenu(*model_, owner, icon);
    // Submenu entries are caught on their own actions: the top menu's exec() only reports
    // entries chosen through its own open submenus.
    int chosen = 0;
    QMenu* top = menu.get();
    const auto actions = menu->findChildren<QAction*>();
    for (QAction* action : actions) {
        if (action->menu() || action->isSeparator()) {
            continue;
        }
        QObject::connect(action, &QAction::triggered, top, [&chosen, action, top] {
            chosen = action->data().toInt();
            top->close();
        });
    }
    // The owner may go away while the menu runs its own loop.
    const QPointer<QWidget> guard(owner);
    const QPointer<QMenu> menuAlive(top);
    menu->exec(screenPoint);
    if (!menuAlive) {
        (void)menu.release();  // deleted with its owner
    }
    menu.reset();
    if (chosen != 0 && guard) {
        if (auto* host = dynamic_cast<SHostWnd*>(guard.data())) {
            host->SendHostMessage(kWmCommand, MakeWParam(chosen, 0), 0);
        }
    }
    return chosen;
}

}  // namespace kb::ui
