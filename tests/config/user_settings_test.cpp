#include "config/user_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kb {
namespace {

class UserSettingsTest : public ::testing::Test {
protected:
    UserSettingsTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        base_ =
            std::filesystem::temp_directory_path() / (std::string("kb_settings_") + info->name());
        std::filesystem::remove_all(base_);
    }
    ~UserSettingsTest() override {
        std::error_code ec;
        std::filesystem::remove_all(base_, ec);
    }

    // A data folder that does not exist yet, as on a first start.
    std::string Folder() const { return (base_ / "data").string(); }
    std::filesystem::path File() const { return base_ / "data" / kSettingsFile; }

    void Write(const std::string& text) {
        std::filesystem::create_directories(File().parent_path());
        std::ofstream(File()) << text;
    }
    std::string Read() const {
        std::ifstream in(File());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path base_;
};

TEST_F(UserSettingsTest, TheChosenLanguageIsKeptForTheNextStart) {
    EXPECT_EQ(LoadChineseUiChoice(Folder()), std::nullopt);
    ASSERT_TRUE(SaveChineseUiChoice(Folder(), true));
    EXPECT_EQ(LoadChineseUiChoice(Folder()), true);
    EXPECT_EQ(Read(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings language=\"cn\" />\n");
    ASSERT_TRUE(SaveChineseUiChoice(Folder(), false));
    EXPECT_EQ(LoadChineseUiChoice(Folder()), false);
}

TEST_F(UserSettingsTest, AFileThatSaysNothingUsableIsNoChoice) {
    for (const char* text : {"", "<settings/>", "<settings language=\"CN\"/>",
                             "<other language=\"cn\"/>", "<settings language=\"cn\""}) {
        Write(text);
        EXPECT_EQ(LoadChineseUiChoice(Folder()), std::nullopt) << text;
    }
}

TEST_F(UserSettingsTest, OtherSettingsSurviveASave) {
    Write("<settings volume=\"3\" language=\"en\"><extra/></settings>");
    ASSERT_TRUE(SaveChineseUiChoice(Folder(), true));
    EXPECT_EQ(LoadChineseUiChoice(Folder()), true);
    EXPECT_NE(Read().find("volume=\"3\""), std::string::npos);
    EXPECT_NE(Read().find("<extra />"), std::string::npos);
}

TEST_F(UserSettingsTest, AnUnreadableOrDeeplyNestedFileIsKeptAsideAndNotWrittenBack) {
    // Deep nesting would be written back one indent per level: output growing with the square
    // of the depth. A broken file would be replaced with nothing kept.
    std::string deep = "<settings language=\"en\">";
    for (int i = 0; i < 5000; ++i) {
        deep += "<a>";
    }
    for (const std::string& text : {deep, std::string("<settings language=\"en\"><broken")}) {
        std::filesystem::remove_all(base_);
        Write(text);
        EXPECT_EQ(LoadChineseUiChoice(Folder()), std::nullopt);
        ASSERT_TRUE(SaveChineseUiChoice(Folder(), true));
        EXPECT_EQ(Read(),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings language=\"cn\" />\n");
        std::ifstream kept(File().string() + ".unreadable");
        std::stringstream keptText;
        keptText << kept.rdbuf();
        EXPECT_EQ(keptText.str(), text);
    }
}

}  // namespace
}  // namespace kb
