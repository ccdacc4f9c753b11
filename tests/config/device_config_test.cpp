#include "config/device_config.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/program_folder.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace kb {
namespace {

using Codes = std::vector<std::int32_t>;

std::filesystem::path TempFile(const std::string& name, const std::string& bytes) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kb_config_test_" + std::to_string(::getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(DeviceConfig, ReadsTopLevelSiblings) {
    const auto config = DeviceConfig::LoadFromText(R"(<?xml version="1.0" encoding="utf-8"?>
<!-- comment before the elements -->
<local language="cn"/>
<usb vid="1a2b" pid="0x1A2B" interface="1" subdevice="  02"/>
<mediakey>
    <key name="Play" code="205"/>
    <other name="Codes" code=" 1 , 2,,3 "/>
    <key name="Hex" code="0xe9"/>
    <key name="Letters" code="abc,7"/>
    <key name="NoCode"/>
    <key name="" code="1"/>
    <key code="2"/>
    text between
    <key name="Tab" code="	4,5"/>
</mediakey>
<functkey>
    <k name="Copy" code="224,6"/>
    <k name="Comma" code=","/>
</functkey>
)");
    EXPECT_EQ(config.vid, 0x1a2b);
    EXPECT_EQ(config.pid, 0x1a2b);
    EXPECT_EQ(config.interfaceNumber, 1);
    EXPECT_EQ(config.subdevice, 2);
    EXPECT_TRUE(config.chineseUi);

    ASSERT_EQ(config.mediaKeys.size(), 6u);
    const std::vector<std::pair<std::string, Codes>> media = {
        {"Play", {205}},     {"Codes", {1, 2, 3}}, {"Hex", {0}},
        {"Letters", {0, 7}}, {"NoCode", {}},       {"Tab", {4, 5}},
    };
    for (std::size_t i = 0; i < media.size(); ++i) {
        EXPECT_EQ(config.mediaKeys[i].name, media[i].first);
        EXPECT_EQ(config.mediaKeys[i].codes, media[i].second) << media[i].first;
    }
    ASSERT_EQ(config.functionKeys.size(), 2u);
    EXPECT_EQ(config.functionKeys[0].codes, (Codes{224, 6}));
    EXPECT_EQ(config.functionKeys[1].codes, Codes{});
}

TEST(DeviceConfig, IdentityIsHexadecimalEvenWithoutPrefix) {
    const auto config = DeviceConfig::LoadFromText(
        R"(<usb vid="9610" pid="ffffffffff" interface="-1" subdevice="zz"/>)");
    EXPECT_EQ(config.vid, 0x9610);
    EXPECT_EQ(config.pid, INT32_MAX);
    EXPECT_EQ(config.interfaceNumber, -1);
    EXPECT_EQ(config.subdevice, 0);
}

TEST(DeviceConfig, LanguageIsChineseOnlyForExactlyCn) {
    for (const char* value : {"CN", "zh", "cn ", " cn", "", "en"}) {
        const auto config =
            DeviceConfig::LoadFromText(std::string("<local language=\"") + value + "\"/>");
        EXPECT_FALSE(config.chineseUi) << value;
    }
    EXPECT_FALSE(DeviceConfig::LoadFromText("<local Language=\"cn\"/>").chineseUi);
    EXPECT_FALSE(DeviceConfig::LoadFromText("<Local language=\"cn\"/>").chineseUi);
}

TEST(DeviceConfig, WebsiteComesFromTheLocalElement) {
    EXPECT_EQ(DeviceConfig::LoadFromText(R"(<local language="cn" website="https://v.example/"/>)")
                  .website,
              "https://v.example/");
    EXPECT_EQ(DeviceConfig::LoadFromText(R"(<local language="cn"/>)").website, "");
    EXPECT_EQ(DeviceConfig::LoadFromText(R"(<usb website="https://v.example/"/>)").website, "");
}

void ExpectEmpty(const DeviceConfig& config) {
    EXPECT_EQ(config.vid, 0);
    EXPECT_EQ(config.pid, 0);
    EXPECT_EQ(config.interfaceNumber, 0);
    EXPECT_EQ(config.subdevice, 0);
    EXPECT_FALSE(config.chineseUi);
    EXPECT_TRUE(config.mediaKeys.empty());
    EXPECT_TRUE(config.functionKeys.empty());
    EXPECT_TRUE(config.website.empty());
}

TEST(DeviceConfig, UnusableInputGivesTheEmptyModel) {
    const std::string wrapped =
        "<config><local language=\"cn\"/><usb vid=\"1\"/>"
        "<mediakey><k name=\"a\"/></mediakey></config>";
    std::string deep;
    for (int i = 0; i < 200000; ++i) {
        deep += "<a>";
    }
    const std::string cases[] = {
        wrapped,
        "",
        "<usb vid=\"12\"",                                      // malformed
        "<local language=\"cn\"/><usb vid=\"12\"></mediakey>",  // mismatched end tag
        "\xff\xfe\x00\x00garbage",
        deep,  // unclosed and deeply nested
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        ExpectEmpty(DeviceConfig::LoadFromText(text));
    }
    ExpectEmpty(DeviceConfig::LoadFrom("/nonexistent/folder/config.xml"));
    ExpectEmpty(DeviceConfig::LoadFrom(std::filesystem::temp_directory_path().string()));
    ExpectEmpty(DeviceConfig::LoadFrom("/dev/zero"));
}

TEST(DeviceConfig, DeepNestingInsideAListIsHarmless) {
    std::string text = "<usb vid=\"5\"/><mediakey><k name=\"x\" code=\"3\">";
    for (int i = 0; i < 100000; ++i) {
        text += "<a>";
    }
    for (int i = 0; i < 100000; ++i) {
        text += "</a>";
    }
    text += "</k></mediakey>";
    const auto config = DeviceConfig::LoadFromText(text);
    EXPECT_EQ(config.vid, 5);
    ASSERT_EQ(config.mediaKeys.size(), 1u);
    EXPECT_EQ(config.mediaKeys[0].codes, Codes{3});
}

TEST(DeviceConfig, DetectsUtf16Files) {
    const std::u16string text =
        u"\xfeff<local language=\"cn\"/><usb vid=\"258a\"/>"
        u"<mediakey><k name=\"\x9759\x97f3\" code=\"226\"/></mediakey>";
    std::string bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xff));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    const auto path = TempFile("utf16.xml", bytes);
    const auto config = DeviceConfig::LoadFrom(path.string());
    std::filesystem::remove(path);
    EXPECT_TRUE(config.chineseUi);
    EXPECT_EQ(config.vid, 0x258a);
    ASSERT_EQ(config.mediaKeys.size(), 1u);
    EXPECT_EQ(config.mediaKeys[0].name, "\xe9\x9d\x99\xe9\x9f\xb3");  // UTF-8
}

// The only test that touches the process-wide model.
TEST(DeviceConfig, InstanceIsCreatedOnceFromTheFirstName) {
    EXPECT_EQ(DeviceConfig::Instance(), nullptr);
    const auto first = TempFile("first.xml", "<usb vid=\"1234\"/>");
    const auto second = TempFile("second.xml", "<usb vid=\"5678\"/>");
    DeviceConfig* instance = DeviceConfig::Instance(first.string().c_str());
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->vid, 0x1234);
    EXPECT_EQ(DeviceConfig::Instance(second.string().c_str()), instance);
    EXPECT_EQ(DeviceConfig::Instance(), instance);
    EXPECT_EQ(instance->vid, 0x1234);
    std::filesystem::remove(first);
    std::filesystem::remove(second);
}

TEST(ProgramFolder, IsTheExecutablesFolder) {
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
#ifdef _WIN32
    EXPECT_TRUE(std::filesystem::exists(folder + "/config_tests.exe"));
#else
    EXPECT_TRUE(std::filesystem::exists(folder + "/config_tests"));
#endif
}

}  // namespace
}  // namespace kb
