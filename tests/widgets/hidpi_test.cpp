// The key buttons on a screen scaled to 200 %: the high-density pictures are drawn pixel for pixel.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include "toolkit/shostwnd.h"
#include "widget_test_support.h"
#include "widgets/coord_button_image.h"

namespace kb::ui {
namespace {

// Before the QApplication exists.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

QImage Columns(int w, int h, QColor even, QColor odd) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            image.setPixelColor(x, y, x % 2 == 0 ? even : odd);
        }
    }
    return image;
}

TEST(CoordButtonHiDpi, CheckCopiesComeFromTheDoubleSizePicture) {
    ASSERT_TRUE(kScaled);
    test::TestResources res;
    ASSERT_GE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    QImage plain(40, 20, QImage::Format_ARGB32);
    plain.fill(Qt::gray);
    res.AddImage("img:check", plain);
    // Device columns alternate; a scaled-up 1x picture could not show that.
    res.AddImage2x("img:check", Columns(80, 40, Qt::red, Qt::blue));
    res.AddXml("LAYOUT:kb", R"(<layout size="40,20">
        <cbimg name="kb" pos="0,0,40,20" chked="img:check" crdxml="keys.xml"/></layout>)");
    res.Start();
    QFile keys(res.Folder() + "/keys.xml");
    ASSERT_TRUE(keys.open(QIODevice::WriteOnly));
    keys.write(R"(<positions><key id="2" rect="10,0,10,10" color="#FF000000"/></positions>)");
    keys.close();
    CoordButtonImage::SetProgramFolderOverride(res.Folder());
    SHostWnd host("LAYOUT:kb");
    ASSERT_TRUE(host.CreateHost());
    auto* kb = host.FindChildByName2<CoordButtonImage>("kb");
    ASSERT_NE(kb, nullptr);
    kb->SetCheck(2, 1);
    const QImage img = test::Render(*kb);
    CoordButtonImage::SetProgramFolderOverride({});
    ASSERT_EQ(img.size(), QSize(80, 40));
    for (int x = 20; x < 40; ++x) {
        EXPECT_EQ(img.pixelColor(x, 5), x % 2 == 0 ? QColor(Qt::red) : QColor(Qt::blue)) << x;
    }
}

}  // namespace
}  // namespace kb::ui
