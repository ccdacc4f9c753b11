#include <set>
#include <string>

#include <gtest/gtest.h>

#include "macro/key_codes.h"
#include "macro/key_names.h"

namespace kb {
namespace {

constexpr auto kEn = KeyNameLanguage::English;
constexpr auto kCn = KeyNameLanguage::Chinese;

// Every key the program can record or show has a name of its own in both languages, and no
// two keys share one (the overview and the tooltips must tell them apart).
TEST(KeyNamesTest, EveryRecordableKeyNamedOnceInBothLanguages) {
    std::set<std::string_view> english;
    std::set<std::string_view> chinese;
    std::uint8_t previous = 0;
    for (const KeyNames& row : KeyNameRows()) {
        EXPECT_LT(previous, row.code) << "rows must ascend by code";
        previous = row.code;
        EXPECT_TRUE(english.insert(row.english).second) << row.english;
        EXPECT_TRUE(chinese.insert(row.chinese).second) << row.chinese;
        EXPECT_FALSE(row.legend.empty());
        EXPECT_FALSE(row.brief.empty());
        EXPECT_LE(row.brief.size(), 6u) << row.brief;  // fits a cap label
        EXPECT_EQ(KeyCodeOfDisplayName(row.english), row.code);
        EXPECT_EQ(KeyCodeOfDisplayName(row.chinese), row.code);
    }
    for (const KeyCodeRow& key : KeyCodeRows()) {
        EXPECT_NE(FindKeyNames(key.code), nullptr) << key.name;
    }
}

TEST(KeyNamesTest, OneSchemeForTheNamesTheKeyCodeTableSpellsApart) {
    struct Case {
        std::uint8_t code;
        const char* english;
        const char* chinese;
        const char* legend;
        const char* brief;
    };
    const Case cases[] = {
        {0x39, "Caps Lock", "大写锁定", "Caps Lock", "Caps"},
        {0x48, "Pause", "暂停", "Pause", "Pause"},
        {0x2C, "Space", "空格", "Space", "Space"},
        {0x46, "Print Screen", "打印屏幕", "PrtSc", "PrtSc"},
        {0x65, "Menu", "菜单", "Menu", "Menu"},
        {0xE1, "Left Shift", "左 Shift", "Shift", "LShift"},
        {0xE6, "Right Alt", "右 Alt", "Alt", "RAlt"},
        {0x52, "Up Arrow", "上方向键", "\u2191", "\u2191"},
        {0x58, "Num Enter", "小键盘回车", "Enter", "NumEnt"},
        {0x5F, "Num 7", "小键盘 7", "7", "Num7"},
        {0x34, "'", "'", "'", "'"},  // the key-code table's U+2018 is the apostrophe key
        {0x35, "`", "`", "`", "`"},
        {0x9A, "0x9a", "0x9a", "0x9a", "0x9a"},  // no name: the code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(KeyDisplayName(c.code, kEn), c.english);
        EXPECT_EQ(KeyDisplayName(c.code, kCn), c.chinese);
        EXPECT_EQ(KeyLegend(c.code), c.legend);
        EXPECT_EQ(KeyBriefName(c.code), c.brief);
    }
    // The key-code table keeps its own names for the step list and the macro files.
    EXPECT_EQ(KeyNameOfCode(0x39), "CapsLock");
    EXPECT_EQ(KeyNameOfCode(0x2C), "SpaceBar");
}

TEST(KeyNamesTest, ChordsNameModifiersWithoutSideAndFindNamesIgnoringCase) {
    EXPECT_EQ(ChordKeyName(0xE0, kEn), "Ctrl");
    EXPECT_EQ(ChordKeyName(0xE5, kCn), "Shift");
    EXPECT_EQ(ChordKeyName(0x4B, kEn), "Page Up");
    EXPECT_EQ(ChordKeyName(0x4B, kCn), "上翻页");
    EXPECT_EQ(KeyCodeOfDisplayName("caps lock"), 0x39);
    EXPECT_EQ(KeyCodeOfDisplayName("LEFT SHIFT"), 0xE1);
    EXPECT_EQ(KeyCodeOfDisplayName("CapsLock"), std::nullopt);
}

}  // namespace
}  // namespace kb
