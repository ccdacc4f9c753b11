// Checks the shipped resource folder, config.xml and key coordinate file as files: the names, ids,
// classes and groups the program relies on, references between the files, translations and key
// coverage.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "device/open_failure.h"
#include "macro/key_codes.h"
#include "protocol/keyboard_protocol.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSourceUires = KB_SOURCE_UIRES;
const fs::path kSourceData = KB_SOURCE_DATA;
const fs::path kBuiltUires = KB_BUILT_UIRES;  // empty when the images are not built

pugi::xml_document Load(const fs::path& path) {
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_file(path.c_str());
    EXPECT_TRUE(r) << path << ": " << r.description();
    return doc;
}

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// "type:name" (lower-cased) -> path, from the index.
std::map<std::string, std::string> Index() {
    std::map<std::string, std::string> out;
    const pugi::xml_document doc = Load(kSourceUires / "uires.idx");
    for (pugi::xml_node type : doc.child("resource").children()) {
        for (pugi::xml_node f : type.children("file")) {
            const std::string key =
                Lower(std::string(type.name()) + ":" + f.attribute("name").value());
            EXPECT_TRUE(out.emplace(key, f.attribute("path").value()).second) << "twice: " << key;
        }
    }
    return out;
}

fs::path SourceFile(const std::string& resource) {
    return kSourceUires / Index().at(Lower(resource));
}

// A layout with its includes expanded, as the window sees it.
struct Control {
    std::string tag;
    std::string name;
    std::string id;
    pugi::xml_node node;
};

void Collect(pugi::xml_node parent, std::vector<Control>& out,
             std::vector<pugi::xml_document>& keep) {
    for (pugi::xml_node n : parent.children()) {
        if (n.type() != pugi::node_element) {
            continue;
        }
        if (std::string(n.name()) == "include") {
            keep.emplace_back();
            EXPECT_TRUE(keep.back().load_file(SourceFile(n.attribute("src").value()).c_str()));
            Collect(keep.back().child("layout"), out, keep);
            continue;
        }
        out.push_back({n.name(), n.attribute("name").value(), n.attribute("id").value(), n});
        Collect(n, out, keep);
    }
}

struct Layout {
    std::vector<pugi::xml_document> docs;
    std::vector<Control> controls;
    std::string context;

    explicit Layout(const std::string& resource) {
        docs.reserve(8);
        docs.emplace_back();
        EXPECT_TRUE(docs.back().load_file(SourceFile(resource).c_str())) << resource;
        context = docs.front().child("layout").attribute("trCtx").value();
        Collect(docs.front().child("layout"), controls, docs);
    }
    const Control* Find(const std::string& name) const {
        const Control* hit = nullptr;
        for (const Control& c : controls) {
            if (c.name == name) {
                EXPECT_EQ(hit, nullptr) << "name used twice: " << name;
                hit = &c;
            }
        }
        return hit;
    }
};

// ---- key coordinate file --------------------------------------------------------------------

TEST(KeyCoordinateFile, CoversTheKeyCodeTableExactlyWithDisjointKeys) {
    const pugi::xml_document doc = Load(kSourceData / "keys.xml");
    std::map<int, std::string> keys;
    std::vector<std::pair<int, int>> lo, hi;  // rectangle corners
    for (pugi::xml_node k : doc.child("positions").children()) {
        const int id = k.attribute("id").as_int(-1);
        EXPECT_TRUE(keys.emplace(id, k.attribute("name").value()).second) << "id twice: " << id;
        int x = 0, y = 0, w = 0, h = 0;
        ASSERT_EQ(std::sscanf(k.attribute("rect").value(), "%d,%d,%d,%d", &x, &y, &w, &h), 4) << id;
        EXPECT_GT(w, 0) << id;
        EXPECT_GT(h, 0) << id;
        EXPECT_STREQ(k.attribute("color").value(), "#FFFFFFFF") << id;
        lo.push_back({x, y});
        hi.push_back({x + w, y + h});
    }
    EXPECT_EQ(keys.size(), 104u);
    for (const kb::KeyCodeRow& row : kb::KeyCodeRows()) {
        ASSERT_TRUE(keys.count(row.code)) << "no key for code " << int(row.code);
        EXPECT_EQ(keys[row.code], std::string(row.name)) << int(row.code);
    }
    for (size_t i = 0; i < lo.size(); ++i) {
        for (size_t j = i + 1; j < lo.size(); ++j) {
            const bool apart = hi[i].first <= lo[j].first || hi[j].first <= lo[i].first ||
                               hi[i].second <= lo[j].second || hi[j].second <= lo[i].second;
            EXPECT_TRUE(apart) << "keys " << i << " and " << j << " overlap";
        }
    }
    // The wide and tall keys a full-size board has.
    const auto size = [&](int code) {
        int index = 0;
        for (pugi::xml_node k : doc.child("positions").children()) {
            if (k.attribute("id").as_int() == code) {
                return std::make_pair(hi[size_t(index)].first - lo[size_t(index)].first,
                                      hi[size_t(index)].second - lo[size_t(index)].second);
            }
            ++index;
        }
        return std::make_pair(0, 0);
    };
    const int unit = size(0x04).first;                        // "A"
    EXPECT_GT(size(0x2C).first, 5 * unit);                    // space bar
    EXPECT_GT(size(0x2A).first, unit * 3 / 2);                // Backspace
    EXPECT_GT(size(0x57).second, size(0x04).second * 3 / 2);  // Pad +
    EXPECT_GT(size(0x58).second, size(0x04).second * 3 / 2);  // Pad Enter
}

// ---- index and references ---------------------------------------------------------------------

TEST(ResourceIndex, ListsEveryNamedResourceAndEveryHandWrittenFileExists) {
    const auto index = Index();
    const char* named[] = {"uidef:xml_init",         "values:string",
                           "values:color",           "values:skin",
                           "LAYOUT:XML_MAINWND",     "LAYOUT:ledmode",
                           "LAYOUT:macro",           "LAYOUT:SYS_XML_MSGBOX",
                           "ICON:ICON_LOGO",         "translator:lang_cn",
                           "translator:lang_en",     "SMENU:menu_tray",
                           "SMENUEX:menu_more",      "kb_macro:bg_png",
                           "main:table_main_bg_png", "main:state_auto_color_png"};
    for (const char* r : named) {
        EXPECT_TRUE(index.count(Lower(r))) << r;
    }
    int mainImages = 0;
    for (const auto& [key, path] : index) {
        if (key.rfind("main:", 0) == 0) {
            ++mainImages;
        }
        if (path.size() > 4 && path.substr(path.size() - 4) == ".xml") {
            EXPECT_TRUE(fs::exists(kSourceUires / path)) << key << " -> " << path;
        } else {
            // Images are drawn by the build, never kept in the source tree.
            EXPECT_FALSE(fs::exists(kSourceUires / path)) << path;
        }
    }
    EXPECT_GE(mainImages, 38);
}

// PNG width and height from the IHDR chunk.
bool PngSize(const fs::path& path, unsigned& w, unsigned& h) {
    std::ifstream in(path, std::ios::binary);
    unsigned char b[24] = {};
    if (!in.read(reinterpret_cast<char*>(b), 24) || b[1] != 'P' || b[12] != 'I') {
        return false;
    }
    w = (unsigned(b[16]) << 24) | (unsigned(b[17]) << 16) | (unsigned(b[18]) << 8) | b[19];
    h = (unsigned(b[20]) << 24) | (unsigned(b[21]) << 16) | (unsigned(b[22]) << 8) | b[23];
    return true;
}

TEST(ResourceIndex, SkinsColoursAndStringsThatLayoutsNameExist) {
    const auto index = Index();
    const pugi::xml_document skins = Load(SourceFile("values:skin"));
    std::map<std::string, pugi::xml_node> skinByName;
    for (pugi::xml_node s : skins.child("skin").children()) {
        if (s.type() == pugi::node_element) {
            skinByName[s.attribute("name").value()] = s;
            EXPECT_TRUE(index.count(Lower(s.attribute("src").value())))
                << s.attribute("src").value();
        }
    }
    std::set<std::string> colours, strings;
    // The document must outlive the loop: a temporary would be gone before the first item.
    const pugi::xml_document colourDoc = Load(SourceFile("values:color"));
    for (pugi::xml_node c : colourDoc.child("color").children("item")) {
        colours.insert(c.attribute("name").value());
    }
    const pugi::xml_document stringDoc = Load(SourceFile("values:string"));
    for (pugi::xml_node s : stringDoc.child("string").children("item")) {
        strings.insert(s.attribute("name").value());
    }
    // Entry 0 of the sorted string table is the instance name.
    ASSERT_FALSE(strings.empty());
    EXPECT_EQ(*strings.begin(), "_instance");

    const char* skinAttrs[] = {"skin",          "thumbSkin", "posSkin", "tabSkin",
                               "tabInterSkin",  "iconSkin",  "ani_in",  "ani_out",
                               "tabHeadBgSkin", "btnSkin",   "itemSkin"};
    const char* imageAttrs[] = {"bg", "chking", "chked", "ico", "src", "icon"};
    std::vector<fs::path> files;
    for (const char* r : {"LAYOUT:XML_MAINWND", "LAYOUT:ledmode", "LAYOUT:macro",
                          "LAYOUT:SYS_XML_MSGBOX", "SMENU:menu_tray", "SMENUEX:menu_more"}) {
        files.push_back(SourceFile(r));
    }
    for (const fs::path& f : files) {
        const pugi::xml_document doc = Load(f);
        for (pugi::xpath_node x : doc.select_nodes("//*")) {
            const pugi::xml_node n = x.node();
            if (std::string(n.name()) == "include") {
                continue;
            }
            for (const char* a : skinAttrs) {
                if (n.attribute(a)) {
                    EXPECT_TRUE(skinByName.count(n.attribute(a).value()))
                        << f.filename() << ": " << a << "=" << n.attribute(a).value();
                }
            }
            for (const char* a : imageAttrs) {
                if (n.attribute(a)) {
                    EXPECT_TRUE(index.count(Lower(n.attribute(a).value())))
                        << f.filename() << ": " << a << "=" << n.attribute(a).value();
                }
            }
            for (pugi::xml_attribute a : n.attributes()) {
                const std::string v = a.value();
                if (v.rfind("@color/", 0) == 0) {
                    EXPECT_TRUE(colours.count(v.substr(7))) << f.filename() << ": " << v;
                } else if (v.rfind("@string/", 0) == 0) {
                    EXPECT_TRUE(strings.count(v.substr(8))) << f.filename() << ": " << v;
                }
            }
        }
    }

    // The images the build drew: every indexed image exists, with its @2x twin, and cuts into
    // whole states.
    if (kBuiltUires.empty()) {
        GTEST_SKIP() << "images are not built in this configuration";
    }
    for (const auto& [key, path] : index) {
        if (path.size() > 4 && path.substr(path.size() - 4) == ".png") {
            unsigned w = 0, h = 0, w2 = 0, h2 = 0;
            ASSERT_TRUE(PngSize(kBuiltUires / path, w, h)) << path;
            const std::string twin = path.substr(0, path.size() - 4) + "@2x.png";
            ASSERT_TRUE(PngSize(kBuiltUires / twin, w2, h2)) << twin;
            EXPECT_EQ(w2, 2 * w) << twin;
            EXPECT_EQ(h2, 2 * h) << twin;
        }
    }
    for (const auto& [name, s] : skinByName) {
        unsigned w = 0, h = 0;
        ASSERT_TRUE(PngSize(kBuiltUires / index.at(Lower(s.attribute("src").value())), w, h));
        const unsigned states = s.attribute("states").as_uint(1);
        EXPECT_EQ(w % states, 0u) << name;
    }
    // The keyboard pictures share one size, the size the layout gives the key buttons.
    const Layout main("LAYOUT:XML_MAINWND");
    const Control* kb = main.Find("img_keyboard");
    ASSERT_NE(kb, nullptr);
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(std::sscanf(kb->node.attribute("pos").value(), "%d,%d,%d,%d", &x, &y, &w, &h), 4);
    for (const char* pic : {"normal", "floating", "checked", "pressed", "demo"}) {
        unsigned pw = 0, ph = 0;
        ASSERT_TRUE(
            PngSize(kBuiltUires / "image" / (std::string("img_keboard_") + pic + ".png"), pw, ph));
        EXPECT_EQ(int(pw), w) << pic;
        EXPECT_EQ(int(ph), h) << pic;
    }
}

// ---- layouts ----------------------------------------------------------------------------------

struct Expect {
    const char* name;
    const char* tag;
};

TEST(Layouts, MainWindowHasEveryControlTheProgramLooksUp) {
    const Layout main("LAYOUT:XML_MAINWND");
    const Expect expected[] = {
        {"title", "text"},
        {"btn_more", "imgbtn"},
        {"btn_min", "imgbtn"},
        {"btn_max", "imgbtn"},
        {"btn_restore", "imgbtn"},
        {"btn_close", "imgbtn"},
        {"zh_cn", "button"},
        {"jp", "button"},
        {"img_keyboard", "cbimg"},
        {"cmb_profile", "combobox"},
        {"cmb_led_mode", "combobox"},
        {"btn_restore_factory", "button"},
        {"version", "text"},
        {"logo_link", "link"},
        {"bar_brightness", "sliderbar"},
        {"bar_speed", "sliderbar"},
        {"bar_brightness_parent", "window"},
        {"bar_speed_parent", "window"},
        {"radio_direction_parent", "window"},
        {"bar_color_parent", "window"},
        {"bar_color_parent_black", "window"},
        {"udef_area_parent", "window"},
    };
    for (const Expect& e : expected) {
        const Control* c = main.Find(e.name);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->tag, e.tag) << e.name;
    }
    EXPECT_EQ(main.Find("cmb_profile")->node.select_nodes("item").size(), 3u);
    EXPECT_EQ(main.Find("cmb_led_mode")->node.select_nodes("item").size(), 10u);
    const Control* kb = main.Find("img_keyboard");
    for (const char* a : {"bg", "chking", "chked", "crdxml", "type"}) {
        EXPECT_TRUE(kb->node.attribute(a)) << a;
    }
    for (const char* s : {"bar_brightness", "bar_speed"}) {
        EXPECT_EQ(main.Find(s)->node.attribute("min").as_int(-1), 0);
        EXPECT_EQ(main.Find(s)->node.attribute("max").as_int(-1), 3);
    }
    int trays = 0;
    for (const Control& c : main.controls) {
        if (c.tag == "shellnotifyicon") {
            ++trays;
            EXPECT_EQ(c.id, "110");
            EXPECT_STREQ(c.node.attribute("ico").value(), "ICON:ICON_LOGO");
            EXPECT_STREQ(c.node.attribute("menu").value(), "SMENU:menu_tray");
            EXPECT_TRUE(c.node.attribute("tip"));
        }
    }
    EXPECT_EQ(trays, 1);
}

// Radios the lighting code treats as one group must be one exclusive group in the layout, and
// each group's members must be radios.
TEST(Layouts, LightingRadiosFormTheirGroups) {
    const Layout main("LAYOUT:XML_MAINWND");
    std::vector<std::vector<std::string>> groups = {
        {"radio_direction_left", "radio_direction_right"}};
    std::vector<std::string> colour, second;
    for (int i = 0; i < 8; ++i) {
        colour.push_back("bar_color" + std::to_string(i));
        second.push_back("bar_color" + std::to_string(i) + std::to_string(i));
    }
    groups.push_back(colour);
    groups.push_back(second);
    for (int a = 1; a <= 6; ++a) {
        std::vector<std::string> area;
        for (int c = 1; c <= 8; ++c) {
            area.push_back("udef_area" + std::to_string(a) + "_color" + std::to_string(c));
        }
        groups.push_back(area);
    }
    std::set<std::string> groupNames;
    for (const auto& members : groups) {
        std::string group;
        for (const std::string& m : members) {
            const Control* c = main.Find(m);
            ASSERT_NE(c, nullptr) << m;
            EXPECT_TRUE(c->tag == "radio" || c->tag == "radioex") << m;
            const std::string g = c->node.attribute("group").value();
            EXPECT_FALSE(g.empty()) << m;
            if (group.empty()) {
                group = g;
            }
            EXPECT_EQ(g, group) << m;
        }
        EXPECT_TRUE(groupNames.insert(group).second) << "group shared: " << group;
    }
}

TEST(Layouts, DialogAndMessageBoxHaveEveryControlTheProgramLooksUp) {
    const Layout dlg("LAYOUT:macro");
    const Expect expected[] = {
        {"tab_macro_mode_selection", "tabctrl2"},
        {"macro_group", "listview"},
        {"group_name", "edit"},
        {"key_info", "mclistview"},
        {"key_code", "editex"},
        {"key_name", "editex"},
        {"key_state", "editex"},
        {"key_delay", "editex"},
        {"text_recording_keys", "text"},
        {"chk_macro_record", "checkex"},
        {"edit_macro_delay_time", "edit"},
        {"edit_macro_repeat_times", "edit"},
        {"edit_single_key", "text"},
        {"chk_single_record", "checkex"},
        {"cmb_media_keys", "combobox"},
        {"cmb_function_keys", "combobox"},
        {"chk_macro_realy_delay", "radioex"},
        {"chk_macro_fixed_delay", "radioex"},
        {"chk_macro_no_delay", "radioex"},
    };
    for (const Expect& e : expected) {
        const Control* c = dlg.Find(e.name);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->tag, e.tag) << e.name;
    }
    for (const char* b :
         {"btnOK", "btnCancel", "btnDelete", "btnMin", "btnRestore", "groupAdd", "groupDel",
          "groupImport", "groupExport", "item_up", "item_down", "item_delete", "item_clear"}) {
        EXPECT_NE(dlg.Find(b), nullptr) << b;
    }
    // The delay modes are one exclusive choice.
    const std::string g = dlg.Find("chk_macro_realy_delay")->node.attribute("group").value();
    EXPECT_FALSE(g.empty());
    EXPECT_EQ(g, dlg.Find("chk_macro_fixed_delay")->node.attribute("group").value());
    EXPECT_EQ(g, dlg.Find("chk_macro_no_delay")->node.attribute("group").value());
    EXPECT_STREQ(dlg.Find("chk_macro_record")->node.attribute("text").value(), "Start record");

    // Four pages in order, the row templates inside their lists, the step list's columns.
    const pugi::xml_node tab = dlg.Find("tab_macro_mode_selection")->node;
    EXPECT_EQ(tab.select_nodes("page2").size(), 4u);
    EXPECT_TRUE(dlg.Find("macro_group")->node.select_node("template/edit[@name='group_name']"));
    const pugi::xml_node steps = dlg.Find("key_info")->node;
    for (const char* col : {"col1", "col2", "col3", "col4"}) {
        EXPECT_TRUE(steps.select_node((std::string("header/item[@name='") + col + "']").c_str()))
            << col;
    }
    for (const char* cell : {"key_code", "key_name", "key_state", "key_delay"}) {
        EXPECT_TRUE(
            steps.select_node((std::string("template/editex[@name='") + cell + "']").c_str()))
            << cell;
    }

    const Layout box("LAYOUT:SYS_XML_MSGBOX");
    for (const char* n :
         {"msgtitle", "msgicon", "msgtext", "btnSwitch", "button1st", "button2nd", "button3rd"}) {
        EXPECT_NE(box.Find(n), nullptr) << n;
    }
}

TEST(Menus, BothOfferUpgradeAndExitAndTheMoreMenuBackupAndRestore) {
    struct Menu {
        const char* res;
        const char* root;
        std::set<int> ids;
    };
    const Menu menus[] = {{"SMENU:menu_tray", "menu", {1, 6}},
                          {"SMENUEX:menu_more", "menuRoot", {1, 6, 7, 8}}};
    for (const auto& [res, root, wanted] : menus) {
        const pugi::xml_document doc = Load(SourceFile(res));
        ASSERT_TRUE(doc.child(root)) << res;
        std::set<int> ids;
        for (pugi::xpath_node x : doc.select_nodes("//*[@id]")) {
            ids.insert(x.node().attribute("id").as_int());
        }
        EXPECT_EQ(ids, wanted) << res;
    }
}

// ---- translations -----------------------------------------------------------------------------

using Messages = std::map<std::string, std::map<std::string, std::string>>;  // context -> source

Messages LoadTranslator(const char* res, std::string& name) {
    const pugi::xml_document doc = Load(SourceFile(res));
    const pugi::xml_node lang = doc.child("language");
    name = lang.attribute("name").value();
    EXPECT_FALSE(std::string(lang.attribute("guid").value()).empty()) << res;
    Messages out;
    for (pugi::xml_node c : lang.children("context")) {
        for (pugi::xml_node m : c.children("message")) {
            out[c.attribute("name").value()][m.child_value("source")] =
                m.child_value("translation");
        }
    }
    return out;
}

TEST(Translations, EveryShownTextHasAChineseAndAnEnglishTranslation) {
    std::string cnName, enName;
    const Messages cn = LoadTranslator("translator:lang_cn", cnName);
    const Messages en = LoadTranslator("translator:lang_en", enName);
    EXPECT_NE(cnName, enName);

    std::map<std::string, std::string> strings;
    const pugi::xml_document stringTable = Load(SourceFile("values:string"));
    for (pugi::xml_node s : stringTable.child("string").children("item")) {
        strings[s.attribute("name").value()] = s.attribute("value").value();
    }
    std::vector<std::pair<std::string, std::string>> shown;  // context, text
    const auto addTexts = [&](const char* res, std::string context) {
        const pugi::xml_document doc = Load(SourceFile(res));
        if (context.empty()) {
            context = doc.first_child().attribute("trCtx").value();
        }
        for (pugi::xpath_node x : doc.select_nodes("//*")) {
            for (const char* a : {"text", "tip", "title", "cueText"}) {
                std::string t = x.node().attribute(a).value();
                if (t.rfind("@string/", 0) == 0) {
                    t = strings[t.substr(8)];
                }
                if (!t.empty()) {
                    shown.emplace_back(context, t);
                }
            }
        }
    };
    addTexts("LAYOUT:XML_MAINWND", "");
    addTexts("LAYOUT:ledmode", "main");  // included into the main window
    addTexts("LAYOUT:macro", "");
    addTexts("LAYOUT:SYS_XML_MSGBOX", "");
    addTexts("SMENU:menu_tray", "");
    addTexts("SMENUEX:menu_more", "");
    for (const char* t : {"Start record", "Stop record", "key down", "key up", "replace"}) {
        shown.emplace_back("macro", t);
    }
    // What the main window says about keys, backups and restores.
    for (const char* t :
         {"Macro \"%1\"",
          "nothing",
          "assigned elsewhere",
          "Keyboard settings",
          "Back up settings",
          "Restore settings",
          "The backup could not be written to %1.",
          "Settings backed up. Assigned keys in the three profiles: %1.",
          "The lighting is in the backup too.",
          "Keys assigned elsewhere, left out of the backup: %1.",
          "It was made for another keyboard.",
          "It was written by a newer version of this program.",
          "It is damaged.",
          "It is not a backup of keyboard settings.",
          "%1 cannot be restored.",
          "The key assignments of all three profiles and the lighting will be replaced by those "
          "of the backup. Continue?",
          "Settings restored. Assigned keys in the three profiles: %1.",
          "The lighting was sent too.",
          "The restore stopped at key %1 of profile %2; the keys before it were restored.",
          "The restore stopped at profile %1; the profiles before it were restored."}) {
        shown.emplace_back("main", t);
    }
    const pugi::xml_document config = Load(kSourceData / "config.xml");
    for (const char* list : {"mediakey", "functkey"}) {
        for (pugi::xml_node k : config.child(list).children()) {
            shown.emplace_back("macro", k.attribute("name").value());
        }
    }
    for (const char* t : {"Failed to open USB", "Warning",
                          "All settings will be restored, are you sure you want to continue?",
                          "Insufficient space, recording up to 40 buttons!",
                          "Insufficient space, please delete the record button first.",
                          kb::kNotTakenWarning, kb::kNotClearedWarning}) {
        shown.emplace_back("msgbox", t);
    }
    // Texts the program adds: the permission explanation, the dialog's questions and reports,
    // the main window's tooltip and notice of a keyboard that is away or silent.
    for (const char* t :
         {kb::kNoPermissionText,
          "Importing replaces all %1 macro groups of the library with the groups of %2. Continue?",
          "%1 could not be read as a macro file.", "The macro groups could not be written to %1.",
          "%1 does not end in \".mcr\": only .mcr files are imported and exported.",
          // The notices about the program's own files.
          "These files could not be read. Each was kept as a copy, and the program started "
          "without what they held:\n%1",
          "%1 (kept as %2)",
          "%1 could not be saved: the disk is full. Your changes stay in the program and are "
          "saved with your next change once there is room.",
          "%1 could not be saved: writing there is not permitted. Your changes stay in the "
          "program and are saved with your next change once that is possible.",
          "%1 could not be saved. Your changes stay in the program and are saved with your next "
          "change once that is possible.",
          // The offer to give access to the keyboard, and its failure.
          "The program can do this for you now: choose OK, and the system asks for an "
          "administrator's password.",
          "Access was not given. Run the command above in a terminal, then plug the keyboard in "
          "again."}) {
        shown.emplace_back("msgbox", t);
    }
    for (const char* t : {"Now: macro \"%1\" ×%2", "Now: types itself", "Now: → %1", "Now: %1",
                          "%1: the keyboard gets 0 and the key types itself",
                          "%1: the keyboard keeps the low byte and plays it %2 times"}) {
        shown.emplace_back("macro", t);
    }
    for (const char* t : {"The keyboard is not connected", "The keyboard did not respond"}) {
        shown.emplace_back("main", t);
    }

    for (const auto& [context, text] : shown) {
        const auto enContext = en.find(context);
        ASSERT_NE(enContext, en.end()) << context;
        const auto enHit = enContext->second.find(text);
        ASSERT_NE(enHit, enContext->second.end()) << context << ": " << text;
        EXPECT_EQ(enHit->second, text);

        const auto cnContext = cn.find(context);
        ASSERT_NE(cnContext, cn.end()) << context;
        const auto cnHit = cnContext->second.find(text);
        ASSERT_NE(cnHit, cnContext->second.end()) << context << ": " << text;
        // Chinese text, not a copy of the English (language names excepted).
        const bool hasNonAscii =
            std::any_of(cnHit->second.begin(), cnHit->second.end(),
                        [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; });
        EXPECT_TRUE(hasNonAscii || text == "English") << context << ": " << text;
    }
}

// The permission explanation is for an installed program's user: no README, and the command
// to run on a line of its own in both languages, so no wrapping can break it.
TEST(Translations, PermissionExplanationGivesTheCommandOnItsOwnLine) {
    std::string cnName, enName;
    const Messages cn = LoadTranslator("translator:lang_cn", cnName);
    const Messages en = LoadTranslator("translator:lang_en", enName);
    for (const Messages* messages : {&en, &cn}) {
        const std::string& text = messages->at("msgbox").at(kb::kNoPermissionText);
        EXPECT_NE(text.find("\n\nsudo udevadm control --reload\n\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("README"), std::string::npos) << text;
        EXPECT_NE(text.find("70-kbconfig.rules"), std::string::npos) << text;
    }
}

// Every media and shortcut entry has a short form for the key caps in both languages, short
// enough for a 36-pixel cap.
TEST(Translations, EveryKeyListEntryHasAShortCapLabel) {
    std::string cnName, enName;
    const Messages cn = LoadTranslator("translator:lang_cn", cnName);
    const Messages en = LoadTranslator("translator:lang_en", enName);
    const pugi::xml_document config = Load(kSourceData / "config.xml");
    for (const char* list : {"mediakey", "functkey"}) {
        for (pugi::xml_node k : config.child(list).children("key")) {
            const std::string name = k.attribute("name").value();
            ASSERT_TRUE(en.at("keylabel").count(name)) << name;
            ASSERT_TRUE(cn.at("keylabel").count(name)) << name;
            EXPECT_LE(en.at("keylabel").at(name).size(), 6u) << name;
            const std::string& brief = cn.at("keylabel").at(name);
            const auto characters = std::count_if(brief.begin(), brief.end(), [](char c) {
                return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            });
            EXPECT_LE(characters, 3) << name;
        }
    }
}

// ---- config.xml -------------------------------------------------------------------------------

TEST(ConfigFile, IdentityAndKeyListsAreWellFormed) {
    const pugi::xml_document doc = Load(kSourceData / "config.xml");
    EXPECT_STREQ(doc.child("local").attribute("language").value(), "en");
    const pugi::xml_node usb = doc.child("usb");
    EXPECT_STREQ(usb.attribute("vid").value(), "258a");
    EXPECT_STREQ(usb.attribute("pid").value(), "0049");
    EXPECT_STREQ(usb.attribute("interface").value(), "1");
    EXPECT_STREQ(usb.attribute("subdevice").value(), "2");
    for (const char* list : {"mediakey", "functkey"}) {
        int entries = 0;
        for (pugi::xml_node k : doc.child(list).children()) {
            ++entries;
            EXPECT_FALSE(std::string(k.attribute("name").value()).empty());
            // Decimal codes, each fitting the one byte the keyboard takes.
            const std::string codes = k.attribute("code").value();
            EXPECT_EQ(codes.find_first_not_of("0123456789,"), std::string::npos) << codes;
            size_t start = 0;
            while (start < codes.size()) {
                const size_t comma = codes.find(',', start);
                const int v = std::stoi(codes.substr(start, comma - start));
                EXPECT_TRUE(v > 0 && v < 256) << codes;
                start = comma == std::string::npos ? codes.size() : comma + 1;
            }
        }
        EXPECT_GE(entries, 7) << list;
    }
}

}  // namespace
