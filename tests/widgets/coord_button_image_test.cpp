#include "widgets/coord_button_image.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <pugixml.hpp>
#include <tuple>

#include "toolkit/shostwnd.h"
#include "toolkit/theme.h"
#include "widget_test_support.h"

namespace kb::ui {
namespace {

using test::Render;

std::vector<CoordKey> Parse(const char* xml) {
    pugi::xml_document doc;
    doc.load_string(xml);
    return ParseKeyCoordinates(doc);
}

TEST(KeyCoordinates, AttributeFormats) {
    const auto keys = Parse(R"(<positions>
        <key id="12abc" name="Esc" rect="10, 20, 30, 40" color="#FF00FF00"/>
        <anything id="abc" rect="10,20" color="FF 33 66 99"/>
        <key color="0xFF336699"/>
        <key color="#zz" rect="x"/>
        <key rect="2147483647,0,10,10"/>
      </positions>)");
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(keys[0].id, 12);
    EXPECT_EQ(keys[0].name, "Esc");
    EXPECT_EQ(std::tie(keys[0].left, keys[0].top, keys[0].right, keys[0].bottom),
              std::make_tuple(10, 20, 40, 60));
    EXPECT_EQ(keys[0].Color(), QColor(0, 255, 0, 255));  // opaque green
    EXPECT_EQ(keys[1].id, 0);
    EXPECT_EQ(std::tie(keys[1].left, keys[1].top, keys[1].right, keys[1].bottom),
              std::make_tuple(10, 20, 10, 20));
    EXPECT_EQ(keys[1].color, 0xFF336699u);
    EXPECT_EQ(keys[2].id, -1);
    EXPECT_EQ(keys[2].color, 0xFF336699u);
    EXPECT_EQ(keys[3].color, 0xFFFFFFFFu);  // no hex digits: default white
    EXPECT_EQ(keys[3].right, 0);
    EXPECT_EQ(keys[4].right, 2147483647);  // clamped, not wrapped into a negative edge
    EXPECT_TRUE(keys[4].Rect().isNull());
    // Edges clamped to the bottom of int leave a key without area, and its rectangle null.
    const auto far = Parse(R"(<positions><key rect="-2147483648,-99999999999,0,-5"/>
        <key rect="5,5,-10,0"/></positions>)");
    ASSERT_EQ(far.size(), 2u);
    EXPECT_EQ(far[0].bottom, -2147483647 - 1);
    EXPECT_TRUE(far[0].Rect().isNull());
    EXPECT_TRUE(far[1].Rect().isNull());
    EXPECT_EQ(Parse("<position><key id='1'/></position>").size(), 0u);
}

TEST(KeyCoordinates, ExampleRectAndColour) {
    const auto keys = Parse("<positions><k rect='120, 40, 38, 36' color='#FF0000FF'/></positions>");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].Rect(), QRect(120, 40, 38, 36));
    EXPECT_EQ(keys[0].Color(), QColor(255, 0, 0, 255));  // opaque red
}

TEST(KeyCoordinates, PathInProgramFolder) {
    EXPECT_EQ(KeyCoordinatePath("/opt/kb", "keys.xml"), "/opt/kb/keys.xml");
    EXPECT_EQ(KeyCoordinatePath("/opt/kb", "\\keys.xml"), "/opt/kb/keys.xml");
    EXPECT_EQ(KeyCoordinatePath("/opt/kb", "/keys.xml"), "/opt/kb/keys.xml");
    EXPECT_EQ(KeyCoordinatePath("/opt/kb", "data\\keys.xml"), "/opt/kb/data/keys.xml");
}

// Colours of the pictures: the background is transparent left of x = 20 and blue right of it;
// the hover and check pictures change colour every 10 pixels so a copy from the wrong place shows.
const QColor kBlue(0, 0, 255);
QColor HoverColumn(int x) {
    return QColor(255, 255, x / 10 * 60);
}
QColor CheckColumn(int x) {
    return QColor(x / 10 * 60, 128, 128);
}

class Recorder : public ICoordButtonClickListener {
public:
    struct Call {
        int id;
        QString name;
        int event;
        int x;
        int y;
    };
    int OnCoordButtonClick(int id, QString name, int event, unsigned flags, int x, int y) override {
        calls.push_back({id, name, event, x, y});
        lastFlags = flags;
        return pressResult;
    }
    std::vector<Call> calls;
    unsigned lastFlags = 0;
    int pressResult = 0;
};

class CoordButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        QImage bg(40, 20, QImage::Format_ARGB32);
        bg.fill(Qt::transparent);
        QImage hover(40, 20, QImage::Format_ARGB32);
        QImage check(40, 20, QImage::Format_ARGB32);
        {
            QPainter pb(&bg);
            pb.fillRect(20, 0, 20, 20, kBlue);
            QPainter ph(&hover);
            QPainter pc(&check);
            for (int x = 0; x < 40; x += 10) {
                ph.fillRect(x, 0, 10, 20, HoverColumn(x));
                pc.fillRect(x, 0, 10, 20, CheckColumn(x));
            }
        }
        res_.AddImage("img:bg", bg);
        res_.AddImage("img:hover", hover);
        res_.AddImage("img:check", check);
        res_.AddXml("values:string", R"(<string><item name="crd" value="\keys.xml"/></string>)");
        res_.AddXml("LAYOUT:kb", R"(<layout size="60,30">
            <cbimg name="kb" pos="0,0,40,20" bg="img:bg" chking="img:hover" chked="img:check"
                   crdxml="@string/crd" type="2"/></layout>)");
        res_.Start();
        QFile keys(res_.Folder() + "/keys.xml");
        ASSERT_TRUE(keys.open(QIODevice::WriteOnly));
        keys.write(R"(<positions>
            <key id="1" name="A" rect="0,0,10,10" color="#FF0000FF"/>
            <key id="2" name="B" rect="10,0,10,10" color="#FF00FF00"/>
            <k id="3" name="C" rect="20,0,10,10"/>
            <key id="3" name="C2" rect="30,0,10,10"/>
            <key id="9" name="Over" rect="5,5,10,10"/>
            <key name="Empty" rect="0,15,5"/>
          </positions>)");
        keys.close();
        CoordButtonImage::SetProgramFolderOverride(res_.Folder());
        host_ = std::make_unique<SHostWnd>("LAYOUT:kb");
        ASSERT_TRUE(host_->CreateHost());
        kb_ = host_->FindChildByName2<CoordButtonImage>("kb");
        ASSERT_NE(kb_, nullptr);
        kb_->SetListener(&rec_);
    }
    void TearDown() override {
        QToolTip::hideText();
        CoordButtonImage::SetProgramFolderOverride({});
    }

    void Mouse(QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
        QMouseEvent event(type, QPointF(x, y), kb_->mapToGlobal(QPointF(x, y)), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(kb_, &event);
    }
    void Press(int x, int y) { Mouse(QEvent::MouseButtonPress, x, y); }
    void Release(int x, int y) { Mouse(QEvent::MouseButtonRelease, x, y); }
    void Move(int x, int y) { Mouse(QEvent::MouseMove, x, y, Qt::NoButton); }
    std::vector<int> Checks() const {
        std::vector<int> out;
        for (const CoordKey& k : kb_->GetKeys()) {
            out.push_back(k.check);
        }
        return out;
    }

    test::TestResources res_;
    std::unique_ptr<SHostWnd> host_;
    CoordButtonImage* kb_ = nullptr;
    Recorder rec_;
};

TEST_F(CoordButtonTest, ReadsKeysAtCreation) {
    ASSERT_EQ(kb_->GetKeys().size(), 6u);
    EXPECT_EQ(kb_->SelectionType(), 2);
    EXPECT_EQ(kb_->HasKey(3), 1);
    EXPECT_EQ(kb_->HasKey(-1), 1);
    EXPECT_EQ(kb_->HasKey(4), 0);
    // The file is read once: changing crdxml later reads nothing.
    kb_->SetAttribute("crdxml", "other.xml");
    EXPECT_EQ(kb_->GetKeys().size(), 6u);
}

TEST_F(CoordButtonTest, PaintsFillsThenPictureThenHoverThenCheck) {
    QImage img = Render(*kb_);
    EXPECT_EQ(img.pixelColor(2, 2), QColor(255, 0, 0));  // fill shows through the picture
    EXPECT_EQ(img.pixelColor(12, 2), QColor(0, 255, 0));
    EXPECT_EQ(img.pixelColor(25, 2), kBlue);  // the picture covers key C's white fill

    Move(12, 2);  // hover over B only
    img = Render(*kb_);
    EXPECT_EQ(img.pixelColor(10, 0), HoverColumn(10));
    EXPECT_EQ(img.pixelColor(19, 9), HoverColumn(10));
    EXPECT_EQ(img.pixelColor(9, 2), QColor(255, 0, 0));

    kb_->SetCheck(2, 1);
    kb_->SetCheck(3, 1);
    img = Render(*kb_);
    EXPECT_EQ(img.pixelColor(12, 2), CheckColumn(10));  // check drawn above hover
    EXPECT_EQ(img.pixelColor(25, 5), CheckColumn(20));  // copied from the key's own place
    EXPECT_EQ(img.pixelColor(35, 5), kBlue);            // the second id 3 is not marked
}

TEST_F(CoordButtonTest, UnloadableImageKeepsThePreviousOne) {
    EXPECT_FALSE(kb_->SetAttribute("bg", "img:missing"));
    EXPECT_EQ(Render(*kb_).pixelColor(25, 2), kBlue);
    EXPECT_TRUE(kb_->SetAttribute("type", "abc"));
    EXPECT_EQ(kb_->SelectionType(), 0);
    kb_->SetAttribute("type", "0x1");
    EXPECT_EQ(kb_->SelectionType(), 1);
}

// The pictures are read when first drawn, so the files may change until then; one that no
// longer decodes leaves the picture drawn before.
TEST_F(CoordButtonTest, PicturesAreReadWhenFirstDrawn) {
    const auto overwrite = [this](const char* file, const QColor& colour) {
        QImage image(40, 20, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(res_.Folder() + "/" + file, "PNG"));
    };
    overwrite("img_check.png", Qt::yellow);
    kb_->SetCheck(1, 1);
    EXPECT_EQ(Render(*kb_).pixelColor(2, 2), QColor(Qt::yellow));

    QFile broken(res_.Folder() + "/img_hover.png");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    Move(12, 2);
    EXPECT_EQ(Render(*kb_).pixelColor(12, 2), QColor(0, 255, 0));  // no hover art: the fill

    overwrite("img_bg.png", Qt::transparent);
    kb_->SetAttribute("chking", "img:check");  // read again at the next drawing
    EXPECT_EQ(Render(*kb_).pixelColor(12, 2), QColor(Qt::yellow));
    EXPECT_EQ(Render(*kb_).pixelColor(25, 2), kBlue);  // the picture drawn first stays
}

TEST_F(CoordButtonTest, HitTestEdgesAndFirstMatch) {
    kb_->SetAttribute("type", "0");
    const struct {
        int x, y;
        int id;  // 0: no key
    } cases[] = {{0, 0, 1},   {9, 9, 1},  {10, 5, 2}, {5, 5, 1}, {14, 14, 9},
                 {15, 15, 0}, {39, 9, 3}, {40, 5, 0}, {0, 15, 0}};
    for (const auto& c : cases) {
        rec_.calls.clear();
        Press(c.x, c.y);
        if (c.id == 0) {
            EXPECT_TRUE(rec_.calls.empty()) << c.x << "," << c.y;
        } else {
            ASSERT_EQ(rec_.calls.size(), 1u) << c.x << "," << c.y;
            EXPECT_EQ(rec_.calls[0].id, c.id) << c.x << "," << c.y;
            EXPECT_EQ(rec_.calls[0].event, CoordButtonImage::kEventPress);
            EXPECT_EQ(std::tie(rec_.calls[0].x, rec_.calls[0].y), std::tie(c.x, c.y));
        }
    }
    EXPECT_EQ(rec_.lastFlags & 1u, 1u);  // MK_LBUTTON with the press
}

TEST_F(CoordButtonTest, SelectionRules) {
    struct Case {
        const char* type;
        std::vector<int> before;
        std::pair<int, int> press;
        int listenerResult;
        std::vector<int> after;
    };
    const Case cases[] = {
        {"0", {0, 0, 0, 0, 0, 0}, {12, 2}, 0, {0, 0, 0, 0, 0, 0}},
        {"1", {1, 0, 1, 0, 1, 0}, {12, 2}, 0, {0, 1, 0, 0, 0, 0}},
        {"1", {0, 1, 0, 0, 0, 0}, {12, 2}, 0, {0, 1, 0, 0, 0, 0}},  // stays on a marked key
        {"2", {0, 0, 0, 0, 0, 0}, {12, 2}, 0, {0, 1, 0, 0, 0, 0}},
        {"2", {0, 1, 0, 0, 0, 0}, {12, 2}, 0, {0, 0, 0, 0, 0, 0}},
        {"2", {0, 0, 0, 0, 0, 0}, {35, 2}, 0, {0, 0, 1, 0, 0, 0}},  // first key with the id
        {"2", {0, 0, 0, 0, 0, 0}, {12, 2}, 1, {0, 0, 0, 0, 0, 0}},  // listener vetoes
        {"1", {1, 0, 0, 0, 0, 0}, {12, 2}, 7, {1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        kb_->SetAttribute("type", c.type);
        kb_->SetCheck(CoordButtonImage::kAllKeys, 0);
        const auto keys = kb_->GetKeys();
        for (size_t i = 0; i < c.before.size(); ++i) {
            if (c.before[i] != 0) {
                kb_->SetCheck(keys[i].id, 1);
            }
        }
        rec_.pressResult = c.listenerResult;
        rec_.calls.clear();
        Press(c.press.first, c.press.second);
        EXPECT_EQ(Checks(), c.after) << "type " << c.type << " result " << c.listenerResult;
        // The pressed mark is set either way, and the release is reported.
        Release(c.press.first, c.press.second);
        ASSERT_EQ(rec_.calls.size(), 2u);
        EXPECT_EQ(rec_.calls[1].event, CoordButtonImage::kEventRelease);
    }
}

TEST_F(CoordButtonTest, ReleaseOnlyOverThePressedKey) {
    Press(2, 2);     // A
    Release(12, 2);  // over B: no release
    ASSERT_EQ(rec_.calls.size(), 1u);
    EXPECT_EQ(kb_->GetKeys()[0].pressed, 1);
    Release(50, 50);  // off every key: nothing changes
    EXPECT_EQ(kb_->GetKeys()[0].pressed, 1);
    Release(3, 3);  // back over A, no new press: reported
    ASSERT_EQ(rec_.calls.size(), 2u);
    EXPECT_EQ(rec_.calls[1].id, 1);
    EXPECT_EQ(rec_.calls[1].name, "A");
    EXPECT_EQ(rec_.calls[1].event, CoordButtonImage::kEventRelease);
    EXPECT_EQ(kb_->GetKeys()[0].pressed, 0);
}

TEST_F(CoordButtonTest, KeyboardMovesBetweenKeysByPlaceAndEnterOrSpaceClicks) {
    EXPECT_TRUE(kb_->focusPolicy() & Qt::TabFocus);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(kb_, &in);
    EXPECT_EQ(kb_->FocusKeyId(), 1);  // the top-left key first
    EXPECT_EQ(kb_->accessibleName(), "A");
    kb_->SetKeyDetail(2, Qt::red, "→ Esc");
    // Each arrow goes to the nearest key that way, its own row first.
    // C and C2 share id 3.
    const std::pair<Qt::Key, int> moves[] = {
        {Qt::Key_Left, 1},  {Qt::Key_Right, 2}, {Qt::Key_Right, 3}, {Qt::Key_Right, 3},
        {Qt::Key_Right, 3}, {Qt::Key_Left, 3},  {Qt::Key_Left, 2},  {Qt::Key_Left, 1},
        {Qt::Key_Down, 9},  {Qt::Key_Up, 1},    {Qt::Key_Right, 2},
    };
    for (const auto& [key, id] : moves) {
        QTest::keyClick(kb_, key);
        EXPECT_EQ(kb_->FocusKeyId(), id) << key;
    }
    EXPECT_EQ(kb_->accessibleName(), "B");
    EXPECT_EQ(kb_->accessibleDescription(), "→ Esc");
    // Enter and Space take the click's path: a press and a release at the key's centre, and
    // the selection rule (type 2 toggles).
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        rec_.calls.clear();
        QTest::keyClick(kb_, key);
        ASSERT_EQ(rec_.calls.size(), 2u) << key;
        EXPECT_EQ(std::tie(rec_.calls[0].id, rec_.calls[0].event, rec_.calls[0].x, rec_.calls[0].y),
                  std::make_tuple(2, CoordButtonImage::kEventPress, 15, 5));
        EXPECT_EQ(rec_.calls[1].event, CoordButtonImage::kEventRelease);
        EXPECT_EQ(rec_.lastFlags, 1u);
        EXPECT_EQ(kb_->GetKeys()[1].pressed, 0);
    }
    EXPECT_EQ(kb_->GetCheck(2), 0);  // toggled on, then off
}

TEST_F(CoordButtonTest, WorksWithoutListener) {
    kb_->SetListener(nullptr);
    Press(12, 2);
    EXPECT_EQ(kb_->GetCheck(2), 1);
    EXPECT_EQ(kb_->GetKeys()[1].pressed, 1);
}

TEST_F(CoordButtonTest, HoverAndTooltipOfOverlappingKeys) {
    Move(7, 7);  // inside A and Over
    auto keys = kb_->GetKeys();
    EXPECT_EQ(keys[0].hover, 1);
    EXPECT_EQ(keys[4].hover, 1);
    EXPECT_EQ(keys[1].hover, 0);
    EXPECT_EQ(kb_->GetToolTipText(), "Over");
    Move(50, 50);
    EXPECT_EQ(kb_->GetToolTipText(), "");
    Move(7, 7);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(kb_, &leave);
    for (const CoordKey& k : kb_->GetKeys()) {
        EXPECT_EQ(k.hover, 0);
    }
    EXPECT_EQ(kb_->GetToolTipText(), "");
}

TEST_F(CoordButtonTest, ShownTooltipFollowsThePointerAndGoesOverGaps) {
    host_->show();
    QTest::qWait(50);  // activation hides tips: let it pass first
    Move(2, 2);        // A
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), kb_->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(kb_, &help);  // the pointer rested: Qt shows the tip
    ASSERT_TRUE(QToolTip::isVisible());
    ASSERT_EQ(QToolTip::text(), "A");

    Move(12, 2);  // straight on to B
    EXPECT_EQ(QToolTip::text(), "B");
    Move(30, 15);  // the gap below C2
    EXPECT_EQ(kb_->GetToolTipText(), "");
    QElapsedTimer waited;
    waited.start();
    while (QToolTip::isVisible() && waited.elapsed() < 1500) {
        QTest::qWait(20);
    }
    EXPECT_FALSE(QToolTip::isVisible()) << waited.elapsed();
}

TEST_F(CoordButtonTest, MarksAndColoursForOneOrAllKeys) {
    kb_->SetCheck(CoordButtonImage::kAllKeys, 1);
    EXPECT_EQ(Checks(), std::vector<int>({1, 1, 1, 1, 1, 1}));
    kb_->ToggleCheck(3);
    EXPECT_EQ(Checks(), std::vector<int>({1, 1, 0, 1, 1, 1}));
    kb_->ToggleCheck(CoordButtonImage::kAllKeys);
    EXPECT_EQ(Checks(), std::vector<int>({0, 0, 1, 0, 0, 0}));
    kb_->SetCheck(42, 1);  // unknown id: nothing changes
    EXPECT_EQ(Checks(), std::vector<int>({0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(kb_->GetCheck(42), 0);

    kb_->SetKeyColor(1, 0xFFFF0000u);  // AABBGGRR: blue
    EXPECT_EQ(Render(*kb_).pixelColor(2, 2), kBlue);
    kb_->SetKeyColor(CoordButtonImage::kAllKeys, 0xFF00FFFFu);
    EXPECT_EQ(Render(*kb_).pixelColor(12, 2), QColor(255, 255, 0));
}

TEST_F(CoordButtonTest, MissingCoordinateFileGivesNoKeys) {
    CoordButtonImage img;
    img.SetAttribute("crdxml", "no_such_file.xml");
    img.OnCreated();
    EXPECT_TRUE(img.GetKeys().empty());
}

}  // namespace

// Two full-size caps: labels are drawn on caps of a real keyboard's size only.
class CoordButtonLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApp();
        ASSERT_TRUE(dir_.isValid());
        QFile keys(dir_.path() + "/keys.xml");
        ASSERT_TRUE(keys.open(QIODevice::WriteOnly));
        keys.write(R"(<positions>
            <key id="57" name="CapsLock" rect="0,0,66,36"/>
            <key id="4" name="A" rect="70,0,36,36"/>
            <key id="5" name="B" rect="110,0,36,36"/>
            <key id="6" name="Tiny" rect="150,0,12,12"/>
          </positions>)");
        keys.close();
        CoordButtonImage::SetProgramFolderOverride(dir_.path());
        kb_ = std::make_unique<CoordButtonImage>();
        kb_->SetAttribute("crdxml", "keys.xml");
        kb_->OnCreated();
        kb_->resize(170, 40);
    }
    void TearDown() override { CoordButtonImage::SetProgramFolderOverride({}); }

    // Pixels of the area in the colour (within a small tolerance for antialiased edges).
    static int Count(const QImage& image, const QRect& area, const QColor& colour) {
        int n = 0;
        const QRect scaled(area.topLeft() * image.devicePixelRatio(),
                           area.size() * image.devicePixelRatio());
        for (int y = scaled.top(); y <= scaled.bottom(); ++y) {
            for (int x = scaled.left(); x <= scaled.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                         std::abs(c.blue() - colour.blue()) <
                     12;
            }
        }
        return n;
    }
    QImage RenderAt(qreal ratio) {
        QImage image(kb_->size() * ratio, QImage::Format_ARGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::black);
        kb_->render(&image);
        return image;
    }

    QTemporaryDir dir_;
    std::unique_ptr<CoordButtonImage> kb_;  // made once the application exists
};

TEST_F(CoordButtonLabelTest, LabelOnTheCapUnderItsLegendInTheKindsColour) {
    const QColor green(0x3D, 0xDC, 0x84);
    const QRect capA(70, 0, 36, 36);
    const QRect bandA(75, 18, 26, 12);   // the lower third of A's face
    const QRect legendA(75, 4, 26, 13);  // above it
    kb_->SetKeyDetail(4, green, "→ Esc");
    kb_->SetKeyTitle(4, "A", "A");
    kb_->SetKeyLabel(4, "\u2192Esc");
    kb_->SetKeyDetail(5, green, "→ Esc");  // B: a kind but no label

    for (const qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        const QImage image = RenderAt(ratio);
        const int bandArea = bandA.width() * bandA.height() * int(ratio * ratio);
        // The band is the kind's colour, with the label's dark text on it.
        const int bandGreen = Count(image, bandA, green);
        EXPECT_GT(bandGreen, bandArea / 2);
        EXPECT_LT(bandGreen, bandArea);
        EXPECT_GT(Count(image, bandA, QColor(0x10, 0x13, 0x1a)), 10);
        // The legend in the text colour above the band.
        EXPECT_GT(Count(image, legendA, ThemeColor("text")), 4);
        EXPECT_EQ(Count(image, legendA, green), 0);
        // B keeps the frame and bar of its kind and gets no band.
        EXPECT_LT(Count(image, QRect(115, 18, 26, 8), green), 26 * int(ratio * ratio));
        EXPECT_GT(Count(image, QRect(110, 0, 36, 36), green), 0);
    }
    EXPECT_EQ(kb_->GetKeys()[1].label, "\u2192Esc");

    kb_->SetKeyLabel(CoordButtonImage::kAllKeys, QString());
    EXPECT_EQ(Count(RenderAt(1), QRect(75, 18, 26, 8), green), 0);  // the bar alone is lower
    EXPECT_TRUE(kb_->GetKeys()[1].label.isEmpty());
}

TEST_F(CoordButtonLabelTest, LongLabelsStayOnTheirCapAndSmallKeysGetNone) {
    const QColor orange(0xFF, 0xA2, 0x3A);
    const QImage before = RenderAt(1);
    kb_->SetKeyDetail(57, orange, "Macro");
    kb_->SetKeyLabel(57, "A very long macro name that cannot fit");
    kb_->SetKeyDetail(6, orange, "Macro");
    kb_->SetKeyLabel(6, "Tiny");
    const QImage image = RenderAt(1);
    // Nothing of the label beyond Caps Lock's cap: the gap to A is as it was.
    EXPECT_EQ(image.copy(66, 0, 4, 36), before.copy(66, 0, 4, 36));
    EXPECT_GT(Count(image, QRect(5, 18, 56, 12), orange), 56 * 12 / 3);
    // A cap too small for a label keeps only its kind's frame.
    EXPECT_EQ(Count(image, QRect(152, 2, 8, 8), ThemeColor("face")), 0);
}

TEST_F(CoordButtonLabelTest, TooltipNamesTheKeyByItsTitleWhileTheListenerGetsTheFileName) {
    kb_->SetKeyTitle(57, "Caps Lock", "Caps Lock");
    kb_->SetKeyDetail(57, QColor(Qt::blue), "→ Left Ctrl");
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), kb_->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(kb_.get(), &move);
    EXPECT_EQ(kb_->GetToolTipText(), "Caps Lock\n→ Left Ctrl");
    kb_->SetKeyTitle(57, "大写锁定", "Caps Lock");  // a language switch while the tip shows
    EXPECT_EQ(kb_->GetToolTipText(), "大写锁定\n→ Left Ctrl");
    EXPECT_EQ(kb_->GetKeys()[0].name, "CapsLock");
}

}  // namespace kb::ui
