#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <memory>
#include <pugixml.hpp>
#include <vector>

#include "toolkit/toolkit.h"

namespace kb::ui::test {

// State colours of the test skins.
inline QColor Btn4Color(int state) {
    static const QColor colors[4] = {Qt::red, Qt::green, Qt::blue, Qt::gray};
    return colors[state];
}
inline QColor Chk8Color(int state) {
    return QColor::fromHsv(state * 40, 255, 255).toRgb();
}

// A resource folder written at test time, with an application object over it.
class ToolkitEnv : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        WriteImages();
        WriteText("uires.idx", R"(<resource>
  <uidef><file name="xml_init" path="uidef.xml"/></uidef>
  <values>
    <file name="string" path="values/string.xml"/>
    <file name="color" path="values/color.xml"/>
    <file name="skin" path="values/skin.xml"/>
  </values>
  <LAYOUT>
    <file name="main" path="layout/main.xml"/>
    <file name="sub" path="layout/sub.xml"/>
    <file name="loop" path="layout/loop.xml"/>
    <file name="broken" path="layout/broken.xml"/>
    <file name="dialog" path="layout/dialog.xml"/>
    <file name="NoFile" path="layout/does_not_exist.xml"/>
  </LAYOUT>
  <translator><file name="lang_cn" path="lang_cn.xml"/></translator>
  <img>
    <file name="btn4" path="image/btn4.png"/>
    <file name="chk8" path="image/chk8.png"/>
    <file name="frame" path="image/frame.png"/>
    <file name="vert" path="image/vert.png"/>
  </img>
</resource>)");
        WriteText("uidef.xml", R"(<uidef><string src="values:string"/><color src="values:color"/>
<skin src="values:skin"/></uidef>)");
        WriteText("values/string.xml", R"(<string>
  <item name="ok_text" value="OK"/>
  <item name="app_title" value="Configurator"/>
  <item name="_instance" value="kb.instance"/>
</string>)");
        WriteText("values/color.xml", R"(<color><item name="accent" value="#00C8FF"/></color>)");
        WriteText("values/skin.xml", R"(<skin>
  <imglist name="btn4" src="img:btn4" states="4"/>
  <imglist name="chk8" src="img:chk8" states="8"/>
  <imglist name="vert" src="img:vert" states="2" vertical="1"/>
  <imgframe name="frame" src="img:frame" states="1" margin="10,0,10,0"/>
  <imglist name="missing" src="img:nothing" states="2"/>
</skin>)");
        WriteText("layout/main.xml",
                  R"(<layout size="400,300" title="@string/app_title" trCtx="main">
  <caption name="cap" pos="0,0,400,30">
    <text name="title" pos="10,5,200,20" text="Lighting"/>
  </caption>
  <window name="panel" pos="10,40,380,250" margin="5,6,5,5">
    <imgbtn name="btn_more" pos="0,0,10,10" skin="btn4"/>
    <button name="plain" pos="20,0,60,20" text="@string/ok_text" tip="Lighting"/>
    <link name="logo_link" pos="90,0,60,20" text="site"/>
    <img name="pic" pos="160,0,10,10" skin="btn4" state="2"/>
    <img name="nopic" pos="175,0,10,10" src="img:nothing" skin="missing"/>
    <edit name="ed" pos="0,30,100,24" cueText="type"/>
    <check name="chk" pos="110,30,10,10" skin="chk8"/>
    <radio name="r1" pos="130,30,60,20" group="g"/>
    <radio name="r2" pos="190,30,60,20" group="g" checked="1"/>
    <radio name="r3" pos="250,30,60,20" group="other" checked="1"/>
    <combobox name="cmb_profile" pos="0,60,100,24" curSel="1">
      <item text="Profile 1"/><item text="Profile 2"/><item text="Profile 3"/>
    </combobox>
    <sliderbar name="bar_speed" pos="110,60,210,20" min="1" max="5" value="9"/>
    <listview name="macro_group" pos="0,90,150,100" itemHeight="20">
      <template><edit name="group_name" pos="0,0,100,20"/></template>
    </listview>
    <mclistview name="key_info" pos="160,90,200,100" itemHeight="20" headerHeight="20">
      <header><item name="col1" text="Code" width="50"/><item name="col2" text="Name" width="80"/></header>
      <template>
        <window name="col1"><text name="key_code" pos="0,0,40,20"/></window>
        <window name="col2"><text name="key_name" pos="0,0,40,20"/></window>
      </template>
    </mclistview>
    <tabctrl name="tab" pos="0,195,300,50" tabWidth="60" tabHeight="20" curSel="1">
      <page title="A"/>
      <page title="B"><text name="inpage" pos="0,0,10,10"/></page>
      <bogus/>
      <page title="C"/>
    </tabctrl>
    <gadget name="unknown"><text name="lost"/></gadget>
    <include src="LAYOUT:sub"/>
    <text name="after_include" pos="0,0,10,10"/>
  </window>
</layout>)");
        WriteText("layout/sub.xml", R"(<layout><text name="from_include" pos="0,0,10,10"/>
<include src="LAYOUT:loop"/><include src="LAYOUT:missing"/></layout>)");
        WriteText("layout/loop.xml",
                  R"(<layout><include src="LAYOUT:loop"/><text name="loop_text"/></layout>)");
        WriteText("layout/broken.xml", R"(<layout size="100,100"><window name="x" )");
        WriteText("layout/dialog.xml", R"(<layout size="200,100">
  <caption name="dlg_cap" pos="0,0,150,10"/>
  <imgbtn name="btn_max" pos="160,0,20,10"/>
  <imgbtn name="btn_restore" pos="160,0,20,10" visible="0"/>
  <button name="btnOK" pos="10,10,60,24" text="OK"/>
  <button name="btnCancel" pos="80,10,60,24" text="Cancel"/>
</layout>)");
        WriteText("lang_cn.xml",
                  R"(<language name="cn" guid="{00000000-0000-0000-0000-000000000001}">
  <context name="main">
    <message><source>Lighting</source><translation>灯光</translation></message>
    <message><source>Profile 1</source><translation>配置 1</translation></message>
    <message><source>Code</source><translation>代码</translation></message>
  </context>
</language>)");

        app_ = std::make_unique<SApplication>();
        app_->RegisterNamedIds(ProgramNamedIds());
        auto provider = std::make_shared<SResProviderFiles>();
        ASSERT_TRUE(provider->Init(dir_.path()));
        app_->AddResProvider(provider, QStringLiteral("uidef:xml_init"));
        app_->SetTranslator(std::make_shared<STranslatorMgr>());
    }

    void TearDown() override { app_.reset(); }

    void WriteText(const QString& rel, const char* text) {
        const QString path = dir_.filePath(rel);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // Images drawn here, one solid colour per state.
    void WriteImages() {
        QDir().mkpath(dir_.filePath("image"));
        QImage btn(40, 10, QImage::Format_ARGB32);
        QPainter p1(&btn);
        for (int s = 0; s < 4; ++s) {
            p1.fillRect(s * 10, 0, 10, 10, Btn4Color(s));
        }
        p1.end();
        btn.save(dir_.filePath("image/btn4.png"));

        QImage chk(80, 10, QImage::Format_ARGB32);
        QPainter p2(&chk);
        for (int s = 0; s < 8; ++s) {
            p2.fillRect(s * 10, 0, 10, 10, Chk8Color(s));
        }
        p2.end();
        chk.save(dir_.filePath("image/chk8.png"));

        QImage frame(30, 10, QImage::Format_ARGB32);
        frame.fill(Qt::green);
        QPainter p3(&frame);
        p3.fillRect(0, 0, 10, 10, Qt::blue);
        p3.fillRect(20, 0, 10, 10, Qt::red);
        p3.end();
        frame.save(dir_.filePath("image/frame.png"));

        QImage vert(10, 20, QImage::Format_ARGB32);
        vert.fill(Qt::white);
        QPainter p4(&vert);
        p4.fillRect(0, 10, 10, 10, Qt::black);
        p4.end();
        vert.save(dir_.filePath("image/vert.png"));
    }

    void InstallChinese() {
        pugi::xml_document doc;
        ASSERT_TRUE(app_->LoadXml(doc, QStringLiteral("translator:lang_cn")));
        auto tr = std::make_shared<STranslator>();
        ASSERT_TRUE(tr->Load(doc.child("language")));
        app_->GetTranslator()->SetLanguage(tr->Name());
        ASSERT_TRUE(app_->GetTranslator()->InstallTranslator(tr));
    }

    QTemporaryDir dir_;
    std::unique_ptr<SApplication> app_;
};

inline QColor PixelOf(QWidget* w, QPoint pt) {
    return w->grab().toImage().pixelColor(pt);
}

}  // namespace kb::ui::test
