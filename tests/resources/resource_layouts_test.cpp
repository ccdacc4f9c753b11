// Loads the built resource folder through the real toolkit, as the program does, and checks what
// the program's code looks up: names, ids and classes of the controls, the translations of every
// shown text, that shown texts fit their controls, and the key buttons of the keyboard picture.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <functional>
#include <memory>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "macro/key_codes.h"
#include "toolkit/toolkit.h"
#include "widgets/coord_button_image.h"
#include "widgets/register_widgets.h"

namespace {

using namespace kb::ui;

// GetTextRect is protected; a pointer to it through a derived class is the lawful way in.
struct TextRectAccess : SWindow {
    using SWindow::GetTextRect;
};

class ResourceLayouts : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = std::make_unique<SApplication>();
        auto files = std::make_shared<SResProviderFiles>();
        ASSERT_TRUE(files->Init(QStringLiteral(KB_BUILT_UIRES)));
        app_->AddResProvider(files, QStringLiteral("uidef:xml_init"));
        app_->RegisterNamedIds(ProgramNamedIds());
        app_->SetTranslator(std::make_shared<STranslatorMgr>());
        RegisterProgramWidgets(*app_);
    }

    std::shared_ptr<STranslator> LoadTranslator(const char* name) {
        pugi::xml_document doc;
        EXPECT_TRUE(app_->LoadXml(doc, QStringLiteral("translator"), QLatin1String(name)));
        auto t = std::make_shared<STranslator>();
        EXPECT_TRUE(t->Load(doc.child("language"))) << name;
        return t;
    }

    std::unique_ptr<SHostWnd> Create(const char* layout) {
        auto host = std::make_unique<SHostWnd>(QLatin1String(layout));
        EXPECT_TRUE(host->CreateHost()) << layout;
        return host;
    }

    // The control found by name with the class the program asks for, carrying its table id.
    void ExpectControl(const SHostWnd& host, const char* name, const char* tag) {
        SCOPED_TRACE(name);
        SWindow* w = host.GetRoot()->FindChildByName2(QLatin1String(name), QLatin1String(tag));
        ASSERT_NE(w, nullptr);
        const int id = app_->IdOfName(QLatin1String(name));
        if (id != 0) {
            EXPECT_EQ(w->GetID(), id);
            EXPECT_EQ(host.GetRoot()->FindChildByID(id), w);
        }
    }

    std::unique_ptr<SApplication> app_;
};

void Walk(SWindow* w, const std::function<void(SWindow*)>& visit) {
    visit(w);
    for (SWindow* child : w->GetChildWindows()) {
        Walk(child, visit);
    }
}

// One row of every list, so the row templates are built.
class OneRow : public SMcAdapterBase {
public:
    int GetCount() override { return 1; }
    void GetView(int, SWindow*, const pugi::xml_node&) override {}
};

const pugi::xml_document& Config() {
    static pugi::xml_document doc;
    if (!doc.first_child()) {
        EXPECT_TRUE(doc.load_file(KB_SOURCE_DATA "/config.xml"));
    }
    return doc;
}

struct Expect {
    const char* name;
    const char* tag;
};

// The colours painted before the colour table loads are the shipped table's, and the table has
// no colour the code cannot fall back on.
TEST_F(ResourceLayouts, ThemeFallbacksMatchTheShippedColourTable) {
    pugi::xml_document doc;
    ASSERT_TRUE(app_->LoadXml(doc, QStringLiteral("values"), QStringLiteral("color")));
    std::set<std::string> shipped;
    for (const pugi::xml_node& item : doc.child("color").children("item")) {
        shipped.insert(item.attribute("name").value());
    }
    std::set<std::string> fallbacks;
    for (const ThemeFallback& entry : ThemeFallbacks()) {
        SCOPED_TRACE(entry.name);
        fallbacks.insert(entry.name);
        QColor loaded;
        ASSERT_TRUE(
            app_->ParseColor(QStringLiteral("@color/") + QLatin1String(entry.name), loaded));
        EXPECT_EQ(loaded, QColor(entry.red, entry.green, entry.blue, entry.alpha));
    }
    EXPECT_EQ(shipped, fallbacks);
}

TEST_F(ResourceLayouts, MainWindowControlsHaveTheirClassesAndIds) {
    auto host = Create("LAYOUT:XML_MAINWND");
    const Expect expected[] = {
        {"title", "text"},
        {"btn_more", "imgbtn"},
        {"btn_min", "imgbtn"},
        {"img_keyboard", "cbimg"},
        {"cmb_led_mode", "combobox"},
        {"cmb_profile", "combobox"},
        {"version", "text"},
        {"logo_link", "link"},
        {"btn_close", "button"},
        {"btn_max", "button"},
        {"btn_restore", "button"},
        {"zh_cn", "button"},
        {"jp", "button"},
        {"btn_restore_factory", "button"},
        {"bar_speed", "sliderbar"},
        {"bar_brightness", "sliderbar"},
    };
    for (const Expect& e : expected) {
        ExpectControl(*host, e.name, e.tag);
    }
    // Every lighting control by id, named as the table names it; the containers are plain
    // windows, the choices radio buttons.
    const std::set<QString> containers = {"bar_brightness_parent",  "bar_speed_parent",
                                          "radio_direction_parent", "bar_color_parent",
                                          "bar_color_parent_black", "udef_area_parent"};
    for (int id = 65588; id <= 65661; ++id) {
        const QString name = app_->NameOfId(id);
        SCOPED_TRACE(name.toStdString());
        SWindow* w = host->FindChildByID(id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->GetName(), name);
        const char* tag =
            containers.count(name) ? "window"
            : name.startsWith(QLatin1String("bar_")) && !name.startsWith(QLatin1String("bar_color"))
                ? "sliderbar"
                : "radio";
        EXPECT_TRUE(w->IsClass(QLatin1String(tag))) << w->GetClassTag();
    }
    SWindow* tray = host->FindChildByID(110);
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(tray->IsClass(QStringLiteral("shellnotifyicon")));

    EXPECT_EQ(host->FindChildByName2<SComboBox>(QStringLiteral("cmb_profile"))->GetCount(), 3);
    EXPECT_EQ(host->FindChildByName2<SComboBox>(QStringLiteral("cmb_led_mode"))->GetCount(), 10);
}

TEST_F(ResourceLayouts, KeyboardPictureHasAButtonForEveryKeyCode) {
    auto host = Create("LAYOUT:XML_MAINWND");
    auto* keys = host->FindChildByName2<CoordButtonImage>(QStringLiteral("img_keyboard"));
    ASSERT_NE(keys, nullptr);
    const std::vector<CoordKey> list = keys->GetKeys();
    EXPECT_EQ(list.size(), kb::KeyCodeRows().size());
    for (const kb::KeyCodeRow& row : kb::KeyCodeRows()) {
        SCOPED_TRACE(std::string(row.name));
        const auto hit = std::find_if(list.begin(), list.end(),
                                      [&](const CoordKey& k) { return k.id == row.code; });
        ASSERT_NE(hit, list.end());
        EXPECT_EQ(hit->name.toStdString(), row.name);
        // Inside the picture the widget draws.
        EXPECT_TRUE(keys->rect().contains(hit->Rect())) << hit->left << "," << hit->top;
    }
}

TEST_F(ResourceLayouts, DialogControlsIncludingListRowsHaveTheirClassesAndIds) {
    auto host = Create("LAYOUT:macro");
    const Expect expected[] = {
        {"tab_macro_mode_selection", "tabctrl2"},
        {"macro_group", "listview"},
        {"key_info", "mclistview"},
        {"text_recording_keys", "text"},
        {"chk_macro_record", "checkex"},
        {"chk_macro_realy_delay", "radioex"},
        {"chk_macro_fixed_delay", "radioex"},
        {"chk_macro_no_delay", "radioex"},
        {"edit_macro_delay_time", "edit"},
        {"edit_macro_repeat_times", "edit"},
        {"edit_single_key", "text"},
        {"chk_single_record", "checkex"},
        {"cmb_media_keys", "combobox"},
        {"cmb_function_keys", "combobox"},
    };
    for (const Expect& e : expected) {
        ExpectControl(*host, e.name, e.tag);
    }
    for (const char* b :
         {"btnOK", "btnCancel", "btnDelete", "btnMin", "btnRestore", "groupAdd", "groupDel",
          "groupImport", "groupExport", "item_up", "item_down", "item_delete", "item_clear"}) {
        ExpectControl(*host, b, "window");
    }
    auto* tabs = host->FindChildByName2<STabCtrl>(QStringLiteral("tab_macro_mode_selection"));
    ASSERT_EQ(tabs->GetItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(tabs->GetItem(i)->IsClass(QStringLiteral("page2"))) << i;
    }

    auto* groups = host->FindChildByName2<SListView>(QStringLiteral("macro_group"));
    groups->SetAdapter(std::make_shared<OneRow>());
    ASSERT_EQ(groups->GetItemCount(), 1);
    SWindow* name = groups->GetItemPanel(0)->FindChildByName2(QStringLiteral("group_name"),
                                                              QStringLiteral("edit"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetID(), app_->IdOfName(QStringLiteral("group_name")));

    auto* steps = host->FindChildByName2<SMcListView>(QStringLiteral("key_info"));
    steps->SetAdapter(std::make_shared<OneRow>());
    ASSERT_EQ(steps->GetItemCount(), 1);
    for (const char* cell : {"key_code", "key_name", "key_state", "key_delay"}) {
        SWindow* w =
            steps->GetItemPanel(0)->FindChildByName2(QLatin1String(cell), QStringLiteral("editex"));
        ASSERT_NE(w, nullptr) << cell;
        EXPECT_EQ(w->GetID(), app_->IdOfName(QLatin1String(cell))) << cell;
    }
    // Rows built before the dialog shows still span their list once it does.
    host->show();
    QApplication::processEvents();
    for (SListView* list : {static_cast<SListView*>(groups), static_cast<SListView*>(steps)}) {
        EXPECT_GE(list->GetItemPanel(0)->width(), list->width() - 24)
            << list->GetName().toStdString();
    }
    ASSERT_EQ(steps->GetColumnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(steps->GetColumn(c).name, QStringLiteral("col%1").arg(c + 1));
    }
}

TEST_F(ResourceLayouts, MessageBoxControlsHaveTheirClassesAndIds) {
    auto host = Create("LAYOUT:SYS_XML_MSGBOX");
    const Expect expected[] = {{"msgtitle", "text"},    {"msgicon", "img"},
                               {"msgtext", "text"},     {"btnSwitch", "window"},
                               {"button1st", "button"}, {"button2nd", "button"},
                               {"button3rd", "button"}};
    for (const Expect& e : expected) {
        ExpectControl(*host, e.name, e.tag);
    }
    for (int id = 65581; id <= 65587; ++id) {
        EXPECT_NE(host->FindChildByID(id), nullptr) << id;
    }
}

// Every source text a layout shows (texts, tooltips, list items, page titles, column headers)
// with the context it is translated in.
struct Shown {
    QString context;
    QString source;
};

std::vector<Shown> ShownTexts(SWindow* root) {
    std::vector<Shown> out;
    Walk(root, [&](SWindow* w) {
        const QString ctx = w->TrContext();
        // No translator is installed, so what shows is the source.
        for (const QString& t : {w->GetText(true), w->GetToolTipText()}) {
            if (!t.isEmpty()) {
                out.push_back({ctx, t});
            }
        }
        if (auto* combo = dynamic_cast<SComboBox*>(w)) {
            for (int i = 0; i < combo->GetCount(); ++i) {
                out.push_back({ctx, combo->GetLBText(i)});
            }
        }
        if (auto* tabs = dynamic_cast<STabCtrl*>(w)) {
            for (int i = 0; i < tabs->GetItemCount(); ++i) {
                out.push_back({ctx, tabs->GetItem(i)->GetTitle()});
            }
        }
        if (auto* list = dynamic_cast<SMcListView*>(w)) {
            for (int i = 0; i < list->GetColumnCount(); ++i) {
                out.push_back({ctx, list->GetColumn(i).text});
            }
        }
    });
    return out;
}

TEST_F(ResourceLayouts, EveryShownTextHasBothTranslations) {
    const auto cn = LoadTranslator("lang_cn");
    const auto en = LoadTranslator("lang_en");
    // Texts that read the same in both languages on purpose.
    const std::set<QString> same = {QStringLiteral("中文"), QStringLiteral("English")};
    for (const char* layout : {"LAYOUT:XML_MAINWND", "LAYOUT:macro", "LAYOUT:SYS_XML_MSGBOX"}) {
        auto host = Create(layout);
        const std::vector<Shown> shown = ShownTexts(host->GetRoot());
        EXPECT_FALSE(shown.empty()) << layout;
        for (const Shown& s : shown) {
            SCOPED_TRACE(std::string(layout) + " " + s.context.toStdString() + ": " +
                         s.source.toStdString());
            EXPECT_FALSE(en->Translate(s.context, s.source).isNull());
            const QString zh = cn->Translate(s.context, s.source);
            ASSERT_FALSE(zh.isNull());
            if (!same.count(s.source)) {
                EXPECT_NE(zh, s.source);
            }
        }
    }
}

// Single-line texts are elided when they do not fit; none of the shipped ones may be, in
// either language.
TEST_F(ResourceLayouts, EveryTextFitsItsControlInBothLanguages) {
    QRect (SWindow::*textRect)() const = &TextRectAccess::GetTextRect;
    for (const char* lang : {"lang_en", "lang_cn"}) {
        auto manager = std::make_shared<STranslatorMgr>();
        manager->InstallTranslator(LoadTranslator(lang));
        app_->SetTranslator(manager);
        for (const char* layout : {"LAYOUT:XML_MAINWND", "LAYOUT:macro", "LAYOUT:SYS_XML_MSGBOX"}) {
            auto host = Create(layout);
            // Texts the dialog sets at run time, in their controls.
            if (auto* record = host->FindChildByName(QStringLiteral("chk_macro_record"))) {
                record->SetText(QStringLiteral("Stop record"), true);
            }
            for (const char* list : {"mediakey", "functkey"}) {
                const char* comboName = list[0] == 'm' ? "cmb_media_keys" : "cmb_function_keys";
                auto* combo = host->FindChildByName2<SComboBox>(QLatin1String(comboName));
                for (pugi::xml_node k : Config().child(list).children()) {
                    if (combo) {
                        combo->AddString(QString::fromUtf8(k.attribute("name").value()));
                    }
                }
            }
            Walk(host->GetRoot(), [&](SWindow* w) {
                const QString text = w->GetText();
                // The message text wraps and grows its box; edits scroll.
                if (text.isEmpty() || w->GetName() == QLatin1String("msgtext") ||
                    w->IsClass(QStringLiteral("edit"))) {
                    return;
                }
                const int need = QFontMetrics(w->font()).horizontalAdvance(text);
                EXPECT_LE(need, (w->*textRect)().width())
                    << lang << " " << layout << " " << w->GetName().toStdString() << ": "
                    << text.toStdString();
            });
            Walk(host->GetRoot(), [&](SWindow* w) {
                auto* combo = dynamic_cast<SComboBox*>(w);
                if (!combo) {
                    return;
                }
                // The face shows the item left of the drop button.
                const int room = combo->GetClientRectLocal().width() - 36;
                for (int i = 0; i < combo->GetCount(); ++i) {
                    EXPECT_LE(QFontMetrics(w->font()).horizontalAdvance(combo->GetLBText(i)), room)
                        << lang << " " << w->GetName().toStdString() << ": "
                        << combo->GetLBText(i).toStdString();
                }
            });
        }
    }
}

}  // namespace
