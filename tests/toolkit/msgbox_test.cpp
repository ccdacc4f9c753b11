#include "toolkit/msgbox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <map>
#include <pugixml.hpp>

#include "memory_resources.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/swidgets.h"
#include "toolkit/translator.h"

namespace kb::ui {
namespace {

// A small message-box layout: title, text, and the buttons inside the switch bar, as the
// program's own layout has them.
constexpr char kLayout[] = R"(
<layout size="300,150" trCtx="box">
  <text name="msgtitle" pos="10,0,280,30"/>
  <img name="msgicon" pos="10,40,32,32"/>
  <text name="msgtext" pos="50,40,240,32"/>
  <window name="btnSwitch" pos="0,110,300,40">
    <button name="button3rd" pos="10,5,80,30" text="Retry"/>
    <button name="button2nd" pos="110,5,80,30" text="Cancel"/>
    <button name="button1st" pos="210,5,80,30" text="OK"/>
  </window>
</layout>)";

constexpr char kChinese[] = R"(
<language name="cn" guid="{6f1c2a4e-93b7-4d0a-8e55-1b2c3d4e5f60}">
  <context name="box">
    <message><source>Warning</source><translation>警告</translation></message>
    <message><source>Failed to open USB</source><translation>无法打开 USB 设备</translation></message>
    <message><source>OK</source><translation>确定</translation></message>
    <message><source>Cancel</source><translation>取消</translation></message>
  </context>
  <context name="msgbox">
    <message><source>Warning</source><translation>注意</translation></message>
  </context>
</language>)";

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SApplication::Instance()) {
            app_ = std::make_unique<SApplication>();
        }
        SApplication::Instance()->AddResProvider(provider_);
        auto manager = std::make_shared<STranslatorMgr>();
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(kChinese));
        auto translator = std::make_shared<STranslator>();
        ASSERT_TRUE(translator->Load(doc.child("language")));
        manager->InstallTranslator(translator);
        SApplication::Instance()->SetTranslator(manager);
    }
    void TearDown() override {
        SetMessageBoxHook({});
        SApplication::Instance()->RemoveResProvider(provider_.get());
        SApplication::Instance()->SetTranslator(nullptr);
    }

    std::shared_ptr<MemProvider> provider_ = std::make_shared<MemProvider>();
    std::unique_ptr<SApplication> app_;
};

SWindow* Find(QWidget* box, const char* name) {
    auto* host = dynamic_cast<SHostWnd*>(box);
    return host ? host->FindChildByName(QLatin1String(name)) : nullptr;
}

TEST_F(MessageBoxTest, LayoutBoxShowsTranslatedTextsAndAnswersWithTheButtonIds) {
    provider_->Add("LAYOUT:SYS_XML_MSGBOX", kLayout);
    enum class Answer { First, Second, Escape, Close };
    struct Case {
        int type;
        Answer answer;
        int expected;
    };
    const Case cases[] = {
        {kMbOkCancel, Answer::First, kIdOk},
        {kMbOkCancel, Answer::Second, kIdCancel},
        {kMbOkCancel, Answer::Escape, kIdCancel},
        {kMbOkCancel, Answer::Close, kIdCancel},
        {kMbOk, Answer::First, kIdOk},
        {kMbOk, Answer::Close, kIdOk},
        {kMbOk, Answer::Escape, kIdOk},
        {kMbOkInformation, Answer::First, kIdOk},
    };
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " answer " << int(c.answer));
        bool hookRan = false;
        SetMessageBoxHook([&](QWidget* box) {
            hookRan = true;
            ASSERT_TRUE(dynamic_cast<SHostDialog*>(box));
            EXPECT_FALSE(owner.isEnabled());
            EXPECT_EQ(Find(box, "msgtitle")->GetText(), QString::fromUtf8("警告"));
            EXPECT_EQ(Find(box, "msgtext")->GetText(), QString::fromUtf8("无法打开 USB 设备"));
            SWindow* first = Find(box, "button1st");
            SWindow* second = Find(box, "button2nd");
            EXPECT_TRUE(first->isVisible());
            EXPECT_EQ(first->GetText(), QString::fromUtf8("确定"));
            EXPECT_EQ(second->isVisible(), c.type == kMbOkCancel);
            EXPECT_FALSE(Find(box, "button3rd")->isVisible());
            auto* icon = dynamic_cast<SImageWnd*>(Find(box, "msgicon"));
            ASSERT_TRUE(icon);
            // question / information / warning
            EXPECT_EQ(icon->GetIcon(), c.type == kMbOkCancel        ? 1
                                       : c.type == kMbOkInformation ? 0
                                                                    : 2);
            EXPECT_TRUE(Find(box, "btnSwitch")->isVisible());  // it holds the buttons
            if (c.type != kMbOkCancel) {
                // The lone OK button takes the last button's place.
                EXPECT_EQ(first->geometry().x(), 110);
            }
            switch (c.answer) {
                case Answer::First:
                    QTest::mouseClick(first, Qt::LeftButton);
                    break;
                case Answer::Second:
                    QTest::mouseClick(second, Qt::LeftButton);
                    break;
                case Answer::Escape:
                    QTest::keyClick(box, Qt::Key_Escape);
                    break;
                case Answer::Close:
                    box->close();
                    break;
            }
        });
        EXPECT_EQ(SMessageBox(&owner, "Failed to open USB", "Warning", c.type), c.expected);
        EXPECT_TRUE(hookRan);
        EXPECT_TRUE(owner.isEnabled());
    }
}

TEST_F(MessageBoxTest, BoxGrowsToFitLongText) {
    provider_->Add("LAYOUT:SYS_XML_MSGBOX", kLayout);
    const QString longText =
        QString("All settings will be restored, are you sure you want to continue? ").repeated(6);
    struct Seen {
        QSize size;
        QRect text;
        QRect firstButton;
        QRect bar;
        QSize icon;
    };
    const auto show = [](const QString& text) {
        Seen seen;
        SetMessageBoxHook([&seen](QWidget* box) {
            seen = {box->size(), Find(box, "msgtext")->geometry(),
                    Find(box, "button1st")->GetWindowRect(), Find(box, "btnSwitch")->geometry(),
                    Find(box, "msgicon")->size()};
            QTest::mouseClick(Find(box, "button1st"), Qt::LeftButton);
        });
        EXPECT_EQ(SMessageBox(nullptr, text, "Warning", kMbOkCancel), kIdOk);
        return seen;
    };
    const Seen shortBox = show("Short");
    EXPECT_EQ(shortBox.size, QSize(300, 150));

    const Seen longBox = show(longText);
    EXPECT_GT(longBox.size.width(), 300);
    EXPECT_GT(longBox.size.height(), 150);
    const QRect needed =
        QFontMetrics(QApplication::font())
            .boundingRect(QRect(0, 0, longBox.text.width(), 1 << 20), Qt::TextWordWrap, longText);
    EXPECT_GE(longBox.text.height(), needed.height());
    // The button bar stays below the text, spans the box, and keeps OK at its right end.
    EXPECT_GT(longBox.bar.top(), longBox.text.bottom());
    EXPECT_EQ(longBox.bar.width(), longBox.size.width());
    EXPECT_EQ(longBox.size.width() - longBox.firstButton.right(),
              shortBox.size.width() - shortBox.firstButton.right());
    EXPECT_LE(longBox.firstButton.bottom(), longBox.size.height());
    // The icon beside the text keeps its square.
    EXPECT_EQ(longBox.icon, QSize(32, 32));
}

TEST_F(MessageBoxTest, FallsBackToQMessageBoxWithoutAUsableLayout) {
    const char* layouts[] = {
        nullptr,                                    // not in the resources
        "<layout><text name='msgtext'/></layout>",  // no buttons
        "not xml",
    };
    for (const char* layout : layouts) {
        SCOPED_TRACE(layout ? layout : "missing");
        if (layout) {
            provider_->Add("LAYOUT:SYS_XML_MSGBOX", layout);
        }
        QWidget owner;
        for (int type : {kMbOk, kMbOkCancel}) {
            QMessageBox* seen = nullptr;
            SetMessageBoxHook([&](QWidget* box) {
                seen = qobject_cast<QMessageBox*>(box);
                ASSERT_TRUE(seen);
                EXPECT_EQ(seen->parentWidget(), &owner);
                // Without the layout, texts translate in the message-box context.
                EXPECT_EQ(seen->windowTitle(), QString::fromUtf8("注意"));
                EXPECT_EQ(seen->text(), "Failed to open USB");
                EXPECT_EQ(seen->buttons().size(), type == kMbOk ? 1 : 2);
                QAbstractButton* button =
                    seen->button(type == kMbOk ? QMessageBox::Ok : QMessageBox::Cancel);
                ASSERT_TRUE(button);
                button->click();
            });
            EXPECT_EQ(SMessageBox(&owner, "Failed to open USB", "Warning", type),
                      type == kMbOk ? kIdOk : kIdCancel);
            EXPECT_TRUE(seen);
        }
    }
}

// The box drawn from the program's own resource folder, in both languages. Set KB_SHOT_DIR to
// keep the pictures.
TEST_F(MessageBoxTest, RendersWithTheProgramResources) {
    auto folder = std::make_shared<SResProviderFiles>();
    if (!folder->Init(SApplication::ProgramFolder() + "/uires")) {
        GTEST_SKIP() << "no resource folder next to the test";
    }
    SApplication* app = SApplication::Instance();
    app->AddResProvider(folder, "uidef:xml_init");
    const QString text = "All settings will be restored, are you sure you want to continue?";
    for (const char* language : {"lang_en", "lang_cn"}) {
        SCOPED_TRACE(language);
        pugi::xml_document doc;
        ASSERT_TRUE(app->LoadXml(doc, "translator", language));
        auto translator = std::make_shared<STranslator>();
        ASSERT_TRUE(translator->Load(doc.child("language")));
        auto manager = std::make_shared<STranslatorMgr>();
        manager->InstallTranslator(translator);
        app->SetTranslator(manager);

        QImage shot;
        QString shown;
        SetMessageBoxHook([&](QWidget* box) {
            shot = box->grab().toImage();
            shown = Find(box, "msgtext")->GetText();
            QTest::mouseClick(Find(box, "button2nd"), Qt::LeftButton);
        });
        EXPECT_EQ(SMessageBox(nullptr, text, "Warning", kMbOkCancel), kIdCancel);
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(shown, app->Tr("msgbox", text));
        if (QString(language) == "lang_cn") {
            EXPECT_NE(shown, text);
        }
        // A dark box with light text on it.
        int dark = 0;
        int light = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const int lightness = shot.pixelColor(x, y).lightness();
                dark += lightness < 80 ? 1 : 0;
                light += lightness > 160 ? 1 : 0;
            }
        }
        EXPECT_GT(dark, shot.width() * shot.height() / 2);
        EXPECT_GT(light, 200);
        const QString dir = qEnvironmentVariable("KB_SHOT_DIR");
        if (!dir.isEmpty()) {
            shot.save(QDir(dir).filePath(QString("msgbox_%1.png").arg(language)));
        }
    }
    app->RemoveResProvider(folder.get());
}

}  // namespace
}  // namespace kb::ui
