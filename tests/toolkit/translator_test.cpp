#include "toolkit/translator.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

namespace kb::ui {
namespace {

std::shared_ptr<STranslator> Make(const char* xml) {
    pugi::xml_document doc;
    if (!doc.load_string(xml)) {
        return nullptr;
    }
    auto translator = std::make_shared<STranslator>();
    if (!translator->Load(doc.child("language"))) {
        return nullptr;
    }
    return translator;
}

constexpr char kChinese[] = R"(
<language name="chinese" guid="{6E5A4B3C-1D2E-4F60-8A9B-0C1D2E3F4A5B}">
  <fonts><font face="wqy" size="12"/></fonts>
  <context name="main">
    <message><source>Lighting</source><translation>灯光</translation></message>
    <message><source>Profile</source><translation>配置</translation></message>
    <message><source>Profile</source><translation>second entry</translation></message>
    <message><source>Untranslated</source><translation></translation></message>
  </context>
  <context name="msgbox">
    <message><source>OK</source><translation>确定</translation></message>
  </context>
</language>)";

constexpr char kChineseExtra[] = R"(
<language name="chinese" guid="{11111111-2222-3333-4444-555555555555}">
  <context name="main">
    <message><source>Lighting</source><translation>shadowed</translation></message>
    <message><source>Macro</source><translation>宏</translation></message>
  </context>
</language>)";

constexpr char kEnglish[] = R"(
<language name="english" guid="{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}">
  <context name="main">
    <message><source>Lighting</source><translation>Lights</translation></message>
  </context>
</language>)";

TEST(STranslator, LoadsAndLooksUpByContextAndSource) {
    auto tr = Make(kChinese);
    ASSERT_TRUE(tr);
    EXPECT_EQ(tr->Name(), "chinese");
    EXPECT_EQ(tr->Translate("main", "Lighting"), QString::fromUtf8("灯光"));
    EXPECT_EQ(tr->Translate("msgbox", "OK"), QString::fromUtf8("确定"));
    EXPECT_EQ(tr->Translate("main", "Profile"), QString::fromUtf8("配置"));  // first entry wins
    // Misses are null so the manager can ask the next translator.
    EXPECT_TRUE(tr->Translate("msgbox", "Lighting").isNull());
    EXPECT_TRUE(tr->Translate("main", "lighting").isNull());
    EXPECT_TRUE(tr->Translate("main", "Untranslated").isNull());
}

TEST(STranslator, MalformedResourceLeavesPreviousContents) {
    auto tr = Make(kChinese);
    ASSERT_TRUE(tr);
    const char* bad[] = {
        R"(<lang name="x" guid="{11111111-2222-3333-4444-555555555555}"/>)",
        R"(<language guid="{11111111-2222-3333-4444-555555555555}"/>)",
        R"(<language name="x"/>)",
        R"(<language name="" guid="{11111111-2222-3333-4444-555555555555}"/>)",
    };
    for (const char* xml : bad) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(xml));
        EXPECT_FALSE(tr->Load(doc.first_child())) << xml;
        EXPECT_EQ(tr->Name(), "chinese") << xml;
        EXPECT_EQ(tr->Translate("main", "Lighting"), QString::fromUtf8("灯光")) << xml;
    }
    EXPECT_FALSE(tr->Load(pugi::xml_node()));
}

TEST(STranslator, GuidsCompareRegardlessOfCaseAndBraces) {
    auto upper = Make(R"(<language name="a" guid="{6E5A4B3C-1D2E-4F60-8A9B-0C1D2E3F4A5B}"/>)");
    auto lower = Make(R"(<language name="a" guid="6e5a4b3c-1d2e-4f60-8a9b-0c1d2e3f4a5b"/>)");
    ASSERT_TRUE(upper && lower);
    EXPECT_EQ(upper->Guid(), lower->Guid());
    STranslatorMgr mgr;
    EXPECT_TRUE(mgr.InstallTranslator(upper));
    EXPECT_FALSE(mgr.InstallTranslator(lower));
}

TEST(STranslatorMgr, FollowsTheLanguageRules) {
    auto zh = Make(kChinese);
    auto zhExtra = Make(kChineseExtra);
    auto en = Make(kEnglish);
    ASSERT_TRUE(zh && zhExtra && en);

    enum class Op { Set, Install };
    struct Step {
        Op op;
        QString language;  // Set: the name; Install: unused
        std::shared_ptr<STranslator> translator;
        bool installed;
        QString languageAfter;
        QString lightingAfter;  // Tr("main", "Lighting") after the step
    };
    const QString zhLighting = QString::fromUtf8("灯光");
    const Step steps[] = {
        // Nothing installed: sources show through.
        {Op::Install, {}, nullptr, false, "", "Lighting"},
        // No language yet: the first translator names it.
        {Op::Install, {}, zh, true, "chinese", zhLighting},
        // Same translation again is refused by GUID.
        {Op::Install, {}, zh, false, "chinese", zhLighting},
        // Another language while Chinese is current is refused.
        {Op::Install, {}, en, false, "chinese", zhLighting},
        // A second translation of the same language is appended; the first still wins.
        {Op::Install, {}, zhExtra, true, "chinese", zhLighting},
        // Setting the same language keeps every translator.
        {Op::Set, "chinese", nullptr, false, "chinese", zhLighting},
        // A different language drops them all.
        {Op::Set, "english", nullptr, false, "english", "Lighting"},
        {Op::Install, {}, zh, false, "english", "Lighting"},
        {Op::Install, {}, en, true, "english", "Lights"},
        // Back to Chinese: the old translator installs again.
        {Op::Set, "chinese", nullptr, false, "chinese", "Lighting"},
        {Op::Install, {}, zh, true, "chinese", zhLighting},
    };
    STranslatorMgr mgr;
    int index = 0;
    for (const Step& step : steps) {
        if (step.op == Op::Set) {
            mgr.SetLanguage(step.language);
        } else {
            EXPECT_EQ(mgr.InstallTranslator(step.translator), step.installed) << "step " << index;
        }
        EXPECT_EQ(mgr.Language(), step.languageAfter) << "step " << index;
        EXPECT_EQ(mgr.Tr("main", "Lighting"), step.lightingAfter) << "step " << index;
        ++index;
    }
    // The later translator answers what the first one lacks; unknown texts show as written.
    mgr.InstallTranslator(zhExtra);
    EXPECT_EQ(mgr.Tr("main", "Macro"), QString::fromUtf8("宏"));
    EXPECT_EQ(mgr.Tr("main", "Untranslated"), "Untranslated");
    EXPECT_EQ(mgr.Tr("other", "Lighting"), "Lighting");
}

TEST(STranslatorMgr, LongLanguageNamesStayConsistent) {
    // A name read back through a 64-character buffer must still match the manager's language.
    const std::string longName(80, 'x');
    const std::string xml =
        "<language name=\"" + longName + "\" guid=\"{11111111-2222-3333-4444-555555555555}\"/>";
    auto tr = Make(xml.c_str());
    ASSERT_TRUE(tr);
    EXPECT_EQ(tr->Name().size(), 63);
    STranslatorMgr mgr;
    mgr.SetLanguage(QString::fromStdString(longName));
    EXPECT_EQ(mgr.Language(), tr->Name());
    EXPECT_TRUE(mgr.InstallTranslator(tr));
}

}  // namespace
}  // namespace kb::ui
