#include "util/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace kb {
namespace {

struct Case {
    std::string text;
    std::int32_t decimal;
    std::int32_t hex;
    std::int32_t attribute;
};

TEST(NumberText, ConversionsReadLikeStrtol) {
    const Case cases[] = {
        {"", 0, 0, 0},
        {"   ", 0, 0, 0},
        {"42", 42, 0x42, 42},
        {" \t\n 17abc", 17, 0x17abc, 17},
        {"+5", 5, 5, 5},
        {"-12", -12, -0x12, -12},
        {"1a2b", 1, 0x1a2b, 1},
        {"0x1A2B", 0, 0x1a2b, 0x1a2b},
        {"0x10", 0, 0x10, 16},
        {" 0x10 ", 0, 0x10, 16},
        {"12px", 12, 0x12, 12},  // layouts' integers: the leading digits count
        {"px12", 0, 0, 0},
        {"0X1a2b", 0, 0x1a2b, 0x1a2b},
        {"-0x10", 0, -16, -16},
        {"0x", 0, 0, 0},    // the prefix alone: only the 0 is read
        {"0xg1", 0, 0, 0},  // the same when no hexadecimal digit follows
        {"9610", 9610, 0x9610, 9610},
        {"0e9", 0, 0xe9, 0},
        {"x12", 0, 0, 0},
        {"- 5", 0, 0, 0},       // no white space after the sign
        {"010", 10, 0x10, 10},  // never octal
        {"2147483647", INT32_MAX, INT32_MAX, INT32_MAX},
        {"2147483648", INT32_MAX, INT32_MAX, INT32_MAX},
        {"-2147483648", INT32_MIN, INT32_MIN, INT32_MIN},
        {"-2147483649", INT32_MIN, INT32_MIN, INT32_MIN},
        {"ffffffff", 0, INT32_MAX, 0},
        {"-80000000", -80000000, INT32_MIN, -80000000},
        {std::string(5000, '9'), INT32_MAX, INT32_MAX, INT32_MAX},
        {"-" + std::string(5000, 'f'), 0, INT32_MIN, 0},
        {std::string("12\0"
                     "34",
                     5),
         12, 0x12, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        EXPECT_EQ(ParseDecimalPrefix(c.text), c.decimal);
        EXPECT_EQ(ParseHexPrefix(c.text), c.hex);
        EXPECT_EQ(ParseIntegerAttribute(c.text), c.attribute);
    }
}

}  // namespace
}  // namespace kb
