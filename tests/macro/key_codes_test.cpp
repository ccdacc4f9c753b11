#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "macro/key_codes.h"

namespace kb {
namespace {

TEST(KeyCodesTest, TableHas104RowsUniqueByCodeAndName) {
    const auto rows = KeyCodeRows();
    ASSERT_EQ(rows.size(), 104u);
    std::set<int> codes;
    std::set<std::string_view> names;
    for (const KeyCodeRow& row : rows) {
        EXPECT_TRUE(codes.insert(row.code).second) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_EQ(KeyNameOfCode(row.code), row.name);
        EXPECT_EQ(KeyCodeOfName(row.name), row.code);
    }
    EXPECT_EQ(rows[0].name, "Esc");
    EXPECT_EQ(rows[50].name, "\\");
    EXPECT_EQ(rows[69].name, "\xE2\x80\x98");  // U+2018
    EXPECT_EQ(rows[69].virtualKey, 0xDE);
    EXPECT_EQ(rows[90].name, "Pad Enter");
    EXPECT_EQ(rows[103].name, "Pad .");
    EXPECT_EQ(rows[103].code, 0x63);
}

TEST(KeyCodesTest, Lookups) {
    struct VirtualKeyCase {
        std::uint32_t virtualKey;
        std::optional<std::uint8_t> code;
    };
    const VirtualKeyCase virtualKeys[] = {
        {0x0D, 0x28},   // Enter; Pad Enter shares the virtual key and is never found by it
        {0x10D, 0x28},  // only the low byte counts
        {0x1B, 0x29},  {0x41, 0x04},         {0xA2, 0xE0},         {0xDC, 0x31},
        {0x6E, 0x63},  {0x00, std::nullopt}, {0xFF, std::nullopt}, {0x10, std::nullopt},
    };
    for (const auto& c : virtualKeys) {
        EXPECT_EQ(VirtualKeyToCode(c.virtualKey), c.code) << std::hex << c.virtualKey;
    }

    EXPECT_EQ(KeyNameOfCode(0x58), "Pad Enter");
    EXPECT_EQ(KeyNameOfCode(0x28), "Enter");
    EXPECT_EQ(KeyNameOfCode(0x34), "\xE2\x80\x98");
    EXPECT_EQ(KeyNameOfCode(0x00), std::nullopt);
    EXPECT_EQ(KeyNameOfCode(0x64), std::nullopt);

    EXPECT_EQ(KeyCodeOfName("Pad Enter"), 0x58);
    EXPECT_EQ(KeyCodeOfName("\\"), 0x31);
    EXPECT_EQ(KeyCodeOfName("a"), std::nullopt);  // exact, case included
    EXPECT_EQ(KeyCodeOfName("Enter "), std::nullopt);
    EXPECT_EQ(KeyCodeOfName(""), std::nullopt);
}

}  // namespace
}  // namespace kb
