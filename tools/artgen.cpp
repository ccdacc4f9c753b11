// Draws every image of the resource folder from code, so the pictures always match the key
// coordinate file and the repository holds no binary art.
//
// Usage: kb_artgen KEYS_XML OUT_DIR
// Writes OUT_DIR/image/NAME.png and OUT_DIR/image/NAME@2x.png (the same picture at twice the
// pixel size) and OUT_DIR/icon/logo.png.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <pugixml.hpp>
#include <vector>

namespace {

struct Key {
    int id = -1;
    QString name;
    QRectF rect;
};

// Palette of the dark theme; the layouts' colour table uses the same values.
const QColor kBody(0x15, 0x17, 0x1c);
const QColor kPanel(0x1a, 0x1d, 0x24);
const QColor kEdge(0x2c, 0x31, 0x3b);
const QColor kCapTop(0x2e, 0x33, 0x3d);
const QColor kCapBottom(0x25, 0x29, 0x31);
const QColor kSkirt(0x12, 0x14, 0x18);
const QColor kLegend(0xd9, 0xde, 0xe7);
const QColor kDim(0x8b, 0x93, 0xa1);
const QColor kDisabled(0x4e, 0x54, 0x5e);
const QColor kAccent(0x00, 0xc8, 0xff);
const QColor kAccent2(0x7c, 0x5c, 0xff);
const QColor kDanger(0xff, 0x4d, 0x5e);

// The lighting colours 1..7 in the order the keyboard numbers them.
const QColor kSwatches[7] = {QColor(0xff, 0x3b, 0x3b), QColor(0x2e, 0xe6, 0x6b),
                             QColor(0x2f, 0x7b, 0xff), QColor(0xff, 0xd9, 0x3b),
                             QColor(0xc8, 0x4b, 0xff), QColor(0x22, 0xe1, 0xf0),
                             QColor(0xf2, 0xf4, 0xf8)};

// Button states of a 4-state skin, and the extra checked states of an 8-state one.
enum State { kNormal = 0, kHover = 1, kPressed = 2, kDisabledState = 3 };

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

QColor Hsv(double h, double s, double v) {
    return QColor::fromHsvF(static_cast<float>(h), static_cast<float>(s), static_cast<float>(v));
}

QLinearGradient AccentGradient(const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kAccent);
    g.setColorAt(1, kAccent2);
    return g;
}

QFont UiFont(qreal pixelSize, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

class Writer {
public:
    explicit Writer(QString dir) : dir_(std::move(dir)) {}

    // Draws one picture of the given logical size at 1x and 2x.
    bool Emit(const QString& name, QSizeF size, const std::function<void(QPainter&)>& draw) {
        for (int scale : {1, 2}) {
            QImage img(static_cast<int>(std::ceil(size.width())) * scale,
                       static_cast<int>(std::ceil(size.height())) * scale,
                       QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            {
                QPainter p(&img);
                p.setRenderHint(QPainter::Antialiasing);
                p.setRenderHint(QPainter::TextAntialiasing);
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.scale(scale, scale);
                draw(p);
            }
            // Resource names end in "_png"; the file gets a plain ".png".
            QString base = name;
            if (base.endsWith(QLatin1String("_png"))) {
                base.chop(4);
            }
            const QString file = dir_ + QLatin1Char('/') + base +
                                 (scale == 2 ? QStringLiteral("@2x") : QString()) +
                                 QStringLiteral(".png");
            if (!img.save(file, "PNG")) {
                std::fprintf(stderr, "kb_artgen: cannot write %s\n", qPrintable(file));
                ok_ = false;
                return false;
            }
        }
        return true;
    }

    // A skin of `states` cells of `cell` size side by side.
    bool Strip(const QString& name, QSizeF cell, int states,
               const std::function<void(QPainter&, const QRectF&, int)>& draw) {
        return Emit(name, QSizeF(cell.width() * states, cell.height()), [&](QPainter& p) {
            for (int s = 0; s < states; ++s) {
                const QRectF r(cell.width() * s, 0, cell.width(), cell.height());
                p.save();
                p.setClipRect(r);
                draw(p, r, s);
                p.restore();
            }
        });
    }

    bool Ok() const { return ok_; }

private:
    QString dir_;
    bool ok_ = true;
};

// ---- key coordinate file ---------------------------------------------------------------------

bool LoadKeys(const char* path, std::vector<Key>& keys) {
    pugi::xml_document doc;
    if (!doc.load_file(path)) {
        return false;
    }
    for (pugi::xml_node n : doc.child("positions").children()) {
        Key k;
        k.id = n.attribute("id").as_int(-1);
        k.name = QString::fromUtf8(n.attribute("name").value());
        int x = 0, y = 0, w = 0, h = 0;
        if (std::sscanf(n.attribute("rect").value(), "%d,%d,%d,%d", &x, &y, &w, &h) == 4) {
            k.rect = QRectF(x, y, w, h);
        }
        keys.push_back(k);
    }
    return !keys.empty();
}

// ---- vector glyphs ---------------------------------------------------------------------------

enum class Glyph {
    kArrowUp,
    kArrowDown,
    kArrowLeft,
    kArrowRight,
    kPlus,
    kMinus,
    kTrash,
    kImport,
    kExport,
    kClear,
    kRecord,
    kStop,
    kCapture,
    kMore,
    kMin,
    kMax,
    kRestore,
    kClose,
    kChevron,
    kCheck,
    kUpgrade,
    kExit,
    kKeycap,
    kRgb,
    kSpark,
    kLayers,
};

void DrawGlyph(QPainter& p, Glyph g, const QRectF& box, const QColor& c) {
    p.save();
    const qreal s = std::min(box.width(), box.height());
    const QPointF o = box.center();
    p.translate(o);
    p.scale(s / 24.0, s / 24.0);  // glyphs are designed on a 24 x 24 grid centred on 0,0
    QPen pen(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto arrow = [&](qreal angle) {
        p.rotate(angle);
        p.drawLine(QPointF(0, 7), QPointF(0, -7));
        p.drawPolyline(QPolygonF({QPointF(-6, -1), QPointF(0, -7), QPointF(6, -1)}));
    };
    switch (g) {
        case Glyph::kArrowUp:
            arrow(0);
            break;
        case Glyph::kArrowDown:
            arrow(180);
            break;
        case Glyph::kArrowLeft:
            arrow(-90);
            break;
        case Glyph::kArrowRight:
            arrow(90);
            break;
        case Glyph::kPlus:
            p.drawLine(QPointF(-7, 0), QPointF(7, 0));
            p.drawLine(QPointF(0, -7), QPointF(0, 7));
            break;
        case Glyph::kMinus:
            p.drawLine(QPointF(-7, 0), QPointF(7, 0));
            break;
        case Glyph::kTrash:
            p.drawLine(QPointF(-8, -5), QPointF(8, -5));
            p.drawPolyline(
                QPolygonF({QPointF(-3, -5), QPointF(-3, -8), QPointF(3, -8), QPointF(3, -5)}));
            p.drawPolyline(
                QPolygonF({QPointF(-6, -5), QPointF(-5, 8), QPointF(5, 8), QPointF(6, -5)}));
            p.drawLine(QPointF(-1.5, -1), QPointF(-1.5, 5));
            p.drawLine(QPointF(1.5, -1), QPointF(1.5, 5));
            break;
        case Glyph::kImport:
            p.drawPolyline(
                QPolygonF({QPointF(-8, 2), QPointF(-8, 8), QPointF(8, 8), QPointF(8, 2)}));
            p.drawLine(QPointF(0, -8), QPointF(0, 4));
            p.drawPolyline(QPolygonF({QPointF(-4.5, -0.5), QPointF(0, 4), QPointF(4.5, -0.5)}));
            break;
        case Glyph::kExport:
            p.drawPolyline(
                QPolygonF({QPointF(-8, 2), QPointF(-8, 8), QPointF(8, 8), QPointF(8, 2)}));
            p.drawLine(QPointF(0, 4), QPointF(0, -8));
            p.drawPolyline(QPolygonF({QPointF(-4.5, -3.5), QPointF(0, -8), QPointF(4.5, -3.5)}));
            break;
        case Glyph::kClear:
            for (int i = 0; i < 3; ++i) {
                const qreal y = -6 + i * 5.0;
                p.drawLine(QPointF(-8, y), QPointF(i == 2 ? -1 : 8, y));
            }
            p.drawLine(QPointF(2, 2), QPointF(8, 8));
            p.drawLine(QPointF(8, 2), QPointF(2, 8));
            break;
        case Glyph::kRecord:
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawEllipse(QPointF(0, 0), 6.5, 6.5);
            break;
        case Glyph::kStop:
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(-5.5, -5.5, 11, 11), 2, 2);
            break;
        case Glyph::kCapture:
            p.drawRoundedRect(QRectF(-9, -6, 18, 12), 2.5, 2.5);
            for (int i = 0; i < 4; ++i) {
                p.drawPoint(QPointF(-5.5 + i * 3.7, -2));
            }
            p.drawLine(QPointF(-4, 2.5), QPointF(4, 2.5));
            break;
        case Glyph::kMore:
            for (int i = -1; i <= 1; ++i) {
                p.drawLine(QPointF(-7, i * 5.5), QPointF(7, i * 5.5));
            }
            break;
        case Glyph::kMin:
            p.drawLine(QPointF(-6, 0), QPointF(6, 0));
            break;
        case Glyph::kMax:
            p.drawRoundedRect(QRectF(-6, -6, 12, 12), 1.5, 1.5);
            break;
        case Glyph::kRestore:
            p.drawRoundedRect(QRectF(-7, -3, 10, 10), 1.5, 1.5);
            p.drawPolyline(QPolygonF({QPointF(-3, -7), QPointF(7, -7), QPointF(7, 3)}));
            break;
        case Glyph::kClose:
            p.drawLine(QPointF(-6, -6), QPointF(6, 6));
            p.drawLine(QPointF(6, -6), QPointF(-6, 6));
            break;
        case Glyph::kChevron:
            p.drawPolyline(QPolygonF({QPointF(-5, -2.5), QPointF(0, 2.5), QPointF(5, -2.5)}));
            break;
        case Glyph::kCheck:
            p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(-6, 0), QPointF(-2, 4.5), QPointF(6, -4.5)}));
            break;
        case Glyph::kUpgrade:
            p.drawEllipse(QPointF(0, 0), 9, 9);
            p.drawLine(QPointF(0, 5), QPointF(0, -5));
            p.drawPolyline(QPolygonF({QPointF(-4, -1), QPointF(0, -5), QPointF(4, -1)}));
            break;
        case Glyph::kExit:
            p.drawArc(QRectF(-8, -7, 16, 16), 60 * 16, -300 * 16);
            p.drawLine(QPointF(0, -9), QPointF(0, 0));
            break;
        case Glyph::kKeycap:
            p.drawRoundedRect(QRectF(-9, -9, 18, 18), 3.5, 3.5);
            p.drawRoundedRect(QRectF(-5.5, -6, 11, 9), 2, 2);
            break;
        case Glyph::kRgb: {
            p.setPen(Qt::NoPen);
            p.setCompositionMode(QPainter::CompositionMode_Plus);
            const QColor rgb[3] = {QColor(255, 60, 80, 220), QColor(60, 230, 120, 220),
                                   QColor(60, 130, 255, 220)};
            for (int i = 0; i < 3; ++i) {
                const qreal a = (i * 120.0 - 90.0) * M_PI / 180.0;
                p.setBrush(rgb[i]);
                p.drawEllipse(QPointF(4 * std::cos(a), 4 * std::sin(a)), 6, 6);
            }
            break;
        }
        case Glyph::kSpark: {
            QPainterPath star;
            star.moveTo(0, -9);
            star.quadTo(1.5, -1.5, 9, 0);
            star.quadTo(1.5, 1.5, 0, 9);
            star.quadTo(-1.5, 1.5, -9, 0);
            star.quadTo(-1.5, -1.5, 0, -9);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawPath(star);
            break;
        }
        case Glyph::kLayers:
            for (int i = 0; i < 3; ++i) {
                const qreal y = -5 + i * 5.0;
                p.drawPolygon(QPolygonF(
                    {QPointF(0, y - 4), QPointF(8, y), QPointF(0, y + 4), QPointF(-8, y)}));
            }
            break;
    }
    p.restore();
}

// ---- shared pieces ---------------------------------------------------------------------------

void Rounded(QPainter& p, const QRectF& r, qreal radius, const QBrush& fill, const QColor& edge,
             qreal edgeWidth = 1.0) {
    p.setPen(edge.alpha() ? QPen(edge, edgeWidth) : QPen(Qt::NoPen));
    p.setBrush(fill);
    const qreal inset = edge.alpha() ? edgeWidth / 2 : 0;
    p.drawRoundedRect(r.adjusted(inset, inset, -inset, -inset), radius, radius);
}

QColor GlyphColor(int state) {
    switch (state % 4) {
        case kHover:
            return Qt::white;
        case kPressed:
            return kAccent;
        case kDisabledState:
            return kDisabled;
        default:
            return QColor(0xc6, 0xcd, 0xd8);
    }
}

// A transparent icon button: background only while hovered or pressed.
void IconButton(QPainter& p, const QRectF& r, int state, Glyph g, bool danger = false) {
    const QRectF box = r.adjusted(1, 1, -1, -1);
    if (state == kHover) {
        Rounded(p, box, 6, danger ? kDanger : QColor(0x2b, 0x30, 0x3a), QColor(0, 0, 0, 0));
    } else if (state == kPressed) {
        Rounded(p, box, 6, danger ? kDanger.darker(130) : QColor(0x1c, 0x20, 0x27),
                WithAlpha(kAccent, 140));
    }
    const QColor c =
        danger && (state == kHover || state == kPressed) ? Qt::white : GlyphColor(state);
    const qreal g0 = std::min(r.width(), r.height()) * 0.62;
    DrawGlyph(p, g, QRectF(r.center().x() - g0 / 2, r.center().y() - g0 / 2, g0, g0), c);
}

// A framed push button (nine-patch friendly: flat middle, rounded corners).
void TextButton(QPainter& p, const QRectF& r, int state, bool primary) {
    const QRectF box = r.adjusted(1, 1, -1, -1);
    if (primary) {
        QLinearGradient g(box.topLeft(), box.topRight());
        QColor a = kAccent, b = kAccent2;
        if (state == kHover) {
            a = a.lighter(115);
            b = b.lighter(115);
        } else if (state == kPressed) {
            a = a.darker(125);
            b = b.darker(125);
        } else if (state == kDisabledState) {
            a = QColor(0x33, 0x38, 0x42);
            b = a;
        }
        g.setColorAt(0, a);
        g.setColorAt(1, b);
        Rounded(p, box, 7, g, QColor(0, 0, 0, 0));
    } else {
        const QColor fill[4] = {QColor(0x24, 0x28, 0x31), QColor(0x2e, 0x34, 0x3f),
                                QColor(0x1b, 0x1e, 0x25), QColor(0x1d, 0x20, 0x26)};
        const QColor edge[4] = {kEdge, WithAlpha(kAccent, 150), kAccent, QColor(0x26, 0x2a, 0x31)};
        Rounded(p, box, 7, fill[state % 4], edge[state % 4]);
    }
}

// A swatch radio: 8 states (normal, hover, pressed, disabled, then the same checked).
void Swatch(QPainter& p, const QRectF& r, int state,
            const std::function<void(QPainter&, const QRectF&)>& fill) {
    const bool checked = state >= 4;
    const int look = state % 4;
    const QRectF ring = r.adjusted(1, 1, -1, -1);
    const QRectF inner = r.adjusted(5, 5, -5, -5);
    if (checked) {
        p.setPen(QPen(QBrush(AccentGradient(ring)), 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(ring.adjusted(1, 1, -1, -1), 7, 7);
    } else if (look == kHover || look == kPressed) {
        p.setPen(QPen(QColor(0x6b, 0x73, 0x82), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(ring.adjusted(0.75, 0.75, -0.75, -0.75), 7, 7);
    }
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(inner, 4, 4);
    p.setClipPath(clip, Qt::IntersectClip);
    fill(p, inner);
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(inner.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    if (look == kDisabledState) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x15, 0x17, 0x1c, 170));
        p.drawRoundedRect(inner, 4, 4);
    }
    if (look == kPressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRoundedRect(inner, 4, 4);
    }
}

void RainbowFill(QPainter& p, const QRectF& r) {
    QConicalGradient g(r.center(), 90);
    for (int i = 0; i <= 6; ++i) {
        g.setColorAt(i / 6.0, Hsv(i / 6.0, 0.85, 1.0));
    }
    p.fillRect(r, g);
}

void OffFill(QPainter& p, const QRectF& r) {
    p.fillRect(r, QColor(0x0c, 0x0d, 0x10));
    p.setPen(QPen(QColor(0x8b, 0x93, 0xa1), 1.5));
    p.drawLine(r.bottomLeft() + QPointF(3, -3), r.topRight() + QPointF(-3, 3));
}

// A check box or radio icon: 8 states as above.
void ToggleIcon(QPainter& p, const QRectF& r, int state, bool radio) {
    const bool checked = state >= 4;
    const int look = state % 4;
    const QRectF box = r.adjusted(2, 2, -2, -2);
    const qreal radius = radio ? box.width() / 2 : 4;
    QColor edge = look == kHover || look == kPressed ? kAccent : QColor(0x5a, 0x62, 0x70);
    if (look == kDisabledState) {
        edge = QColor(0x3a, 0x3f, 0x48);
    }
    if (checked && look != kDisabledState) {
        Rounded(p, box, radius,
                radio ? QBrush(QColor(0x10, 0x12, 0x16)) : QBrush(AccentGradient(box)),
                radio ? kAccent : QColor(0, 0, 0, 0), 1.5);
    } else {
        Rounded(p, box, radius, QColor(0x10, 0x12, 0x16), edge, 1.5);
    }
    if (checked) {
        const QColor mark =
            look == kDisabledState ? kDisabled : (radio ? kAccent : QColor(Qt::white));
        if (radio) {
            p.setPen(Qt::NoPen);
            p.setBrush(mark);
            p.drawEllipse(box.center(), box.width() * 0.24, box.width() * 0.24);
        } else {
            DrawGlyph(p, Glyph::kCheck, box.adjusted(1, 1, -1, -1), mark);
        }
    }
}

// ---- the keyboard picture --------------------------------------------------------------------

enum class Look { kNormal, kHover, kChecked, kPressed, kDemo };

struct Legend {
    QString top;
    QString bottom;  // the main legend; `top` is the shifted symbol, if any
    Glyph glyph = Glyph::kPlus;
    bool hasGlyph = false;
};

Legend LegendOf(const QString& name) {
    static const std::vector<std::pair<QString, std::pair<QString, QString>>> kShifted = {
        {QStringLiteral("~"), {QStringLiteral("~"), QStringLiteral("`")}},
        {QStringLiteral("1"), {QStringLiteral("!"), QStringLiteral("1")}},
        {QStringLiteral("2"), {QStringLiteral("@"), QStringLiteral("2")}},
        {QStringLiteral("3"), {QStringLiteral("#"), QStringLiteral("3")}},
        {QStringLiteral("4"), {QStringLiteral("$"), QStringLiteral("4")}},
        {QStringLiteral("5"), {QStringLiteral("%"), QStringLiteral("5")}},
        {QStringLiteral("6"), {QStringLiteral("^"), QStringLiteral("6")}},
        {QStringLiteral("7"), {QStringLiteral("&"), QStringLiteral("7")}},
        {QStringLiteral("8"), {QStringLiteral("*"), QStringLiteral("8")}},
        {QStringLiteral("9"), {QStringLiteral("("), QStringLiteral("9")}},
        {QStringLiteral("0"), {QStringLiteral(")"), QStringLiteral("0")}},
        {QStringLiteral("-"), {QStringLiteral("_"), QStringLiteral("-")}},
        {QStringLiteral("="), {QStringLiteral("+"), QStringLiteral("=")}},
        {QStringLiteral("["), {QStringLiteral("{"), QStringLiteral("[")}},
        {QStringLiteral("]"), {QStringLiteral("}"), QStringLiteral("]")}},
        {QStringLiteral("\\"), {QStringLiteral("|"), QStringLiteral("\\")}},
        {QStringLiteral(";"), {QStringLiteral(":"), QStringLiteral(";")}},
        {QString(QChar(0x2018)), {QStringLiteral("\""), QStringLiteral("'")}},
        {QStringLiteral(","), {QStringLiteral("<"), QStringLiteral(",")}},
        {QStringLiteral("."), {QStringLiteral(">"), QStringLiteral(".")}},
        {QStringLiteral("/"), {QStringLiteral("?"), QStringLiteral("/")}},
    };
    static const std::vector<std::pair<QString, QString>> kShort = {
        {QStringLiteral("PrintScreen"), QStringLiteral("PrtSc")},
        {QStringLiteral("ScrollLock"), QStringLiteral("ScrLk")},
        {QStringLiteral("PAUSE"), QStringLiteral("Pause")},
        {QStringLiteral("Insert"), QStringLiteral("Ins")},
        {QStringLiteral("PageUp"), QStringLiteral("PgUp")},
        {QStringLiteral("PageDown"), QStringLiteral("PgDn")},
        {QStringLiteral("Delete"), QStringLiteral("Del")},
        {QStringLiteral("NumLock"), QStringLiteral("Num")},
        {QStringLiteral("CapsLock"), QStringLiteral("Caps Lock")},
        {QStringLiteral("Pad Enter"), QStringLiteral("Enter")},
        {QStringLiteral("SpaceBar"), QStringLiteral("Space")},
        {QStringLiteral("App"), QStringLiteral("Menu")},
    };
    Legend l;
    if (name.startsWith(QLatin1String("Arrow "))) {
        l.hasGlyph = true;
        const QString dir = name.mid(6);
        l.glyph = dir == QLatin1String("Up")     ? Glyph::kArrowUp
                  : dir == QLatin1String("Down") ? Glyph::kArrowDown
                  : dir == QLatin1String("Left") ? Glyph::kArrowLeft
                                                 : Glyph::kArrowRight;
        return l;
    }
    for (const auto& [key, pair] : kShifted) {
        if (name == key) {
            l.top = pair.first;
            l.bottom = pair.second;
            return l;
        }
    }
    for (const auto& [key, text] : kShort) {
        if (name == key) {
            l.bottom = text;
            return l;
        }
    }
    l.bottom = name;
    for (const char* side : {" Left", " Right"}) {
        if (l.bottom.endsWith(QLatin1String(side))) {
            l.bottom.chop(static_cast<int>(std::strlen(side)));
        }
    }
    if (l.bottom.startsWith(QLatin1String("Pad "))) {
        l.bottom = l.bottom.mid(4);
    }
    return l;
}

void DrawKey(QPainter& p, const Key& k, Look look, qreal hue) {
    const QRectF r = k.rect;
    if (r.isEmpty()) {
        return;
    }
    const bool pressed = look == Look::kPressed;
    // Skirt, then the cap's top face inset towards the upper side.
    Rounded(p, r, 5, kSkirt, QColor(0, 0, 0, 0));
    QRectF top = r.adjusted(3, 2, -3, -5);
    if (pressed) {
        top.translate(0, 2);
    }
    QColor a = kCapTop, b = kCapBottom;
    if (look == Look::kHover) {
        a = QColor(0x3d, 0x44, 0x51);
        b = QColor(0x34, 0x3a, 0x46);
    } else if (look == Look::kPressed) {
        a = QColor(0x1d, 0x21, 0x28);
        b = QColor(0x20, 0x24, 0x2b);
    } else if (look == Look::kChecked) {
        a = QColor(0x1d, 0x33, 0x42);
        b = QColor(0x19, 0x29, 0x36);
    } else if (look == Look::kDemo) {
        a = QColor(0x20, 0x23, 0x29);
        b = QColor(0x1b, 0x1e, 0x23);
    }
    QLinearGradient g(top.topLeft(), top.bottomLeft());
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    Rounded(p, top, 4, g, QColor(255, 255, 255, look == Look::kPressed ? 10 : 22));

    QColor ink = kLegend;
    if (look == Look::kHover) {
        ink = Qt::white;
    } else if (look == Look::kPressed || look == Look::kChecked) {
        ink = kAccent;
    } else if (look == Look::kDemo) {
        ink = Hsv(hue, 0.75, 1.0);
    }
    // Edges and glows stay inside the key's rectangle: the widget copies exactly that area.
    if (look == Look::kHover) {
        p.setPen(QPen(WithAlpha(kAccent, 150), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.6, 0.6, -0.6, -0.6), 5, 5);
    } else if (look == Look::kChecked || look == Look::kPressed) {
        for (int i = 0; i < 3; ++i) {
            p.setPen(QPen(WithAlpha(kAccent, 70 - i * 20), 1.0));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r.adjusted(2.5 + i, 2.5 + i, -2.5 - i, -2.5 - i), 4, 4);
        }
        p.setPen(QPen(QBrush(AccentGradient(r)), 1.6));
        p.drawRoundedRect(r.adjusted(0.8, 0.8, -0.8, -0.8), 5, 5);
        if (look == Look::kChecked) {
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawEllipse(QPointF(top.right() - 4, top.top() + 4), 1.9, 1.9);
        }
    } else if (look == Look::kDemo) {
        QRadialGradient glow(r.center() + QPointF(0, r.height() / 2 - 4), r.width() * 0.7);
        glow.setColorAt(0, WithAlpha(Hsv(hue, 0.9, 1.0), 150));
        glow.setColorAt(1, WithAlpha(Hsv(hue, 0.9, 1.0), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawRoundedRect(r.adjusted(1, top.bottom() - r.top(), -1, -1), 3, 3);
        p.setPen(QPen(WithAlpha(Hsv(hue, 0.9, 1.0), 110), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }

    const Legend l = LegendOf(k.name);
    p.setPen(ink);
    if (l.hasGlyph) {
        DrawGlyph(p, l.glyph, QRectF(top.center().x() - 7, top.center().y() - 7, 14, 14), ink);
        return;
    }
    const QRectF text = top.adjusted(3, 2, -3, -2);
    if (!l.top.isEmpty()) {
        p.setFont(UiFont(10));
        p.setPen(look == Look::kNormal ? kDim : ink);
        p.drawText(QRectF(text.left(), text.top(), text.width(), text.height() / 2 + 1),
                   Qt::AlignCenter, l.top);
        p.setPen(ink);
        p.setFont(UiFont(11));
        p.drawText(QRectF(text.left(), text.center().y() - 1, text.width(), text.height() / 2 + 1),
                   Qt::AlignCenter, l.bottom);
        return;
    }
    const bool single = l.bottom.size() == 1;
    QFont f = UiFont(single ? 13 : 10, single);
    p.setFont(f);
    // Shrink legends that would not fit a narrow cap.
    while (QFontMetricsF(p.font()).horizontalAdvance(l.bottom) > text.width() &&
           f.pixelSize() > 7) {
        f.setPixelSize(f.pixelSize() - 1);
        p.setFont(f);
    }
    p.drawText(text, Qt::AlignCenter, l.bottom);
}

QSizeF PictureSize(const std::vector<Key>& keys) {
    qreal right = 0, bottom = 0;
    for (const Key& k : keys) {
        right = std::max(right, k.rect.right());
        bottom = std::max(bottom, k.rect.bottom());
    }
    // The case frames the keys with the same margin the coordinate file leaves at top left.
    qreal left = right, topEdge = bottom;
    for (const Key& k : keys) {
        left = std::min(left, k.rect.left());
        topEdge = std::min(topEdge, k.rect.top());
    }
    return QSizeF(right + left, bottom + topEdge);
}

// The lock-state lights above the number pad, in the free space a full-size board has there.
void DrawIndicators(QPainter& p, const std::vector<Key>& keys, Look look) {
    const auto find = [&](const char* name) -> const Key* {
        for (const Key& k : keys) {
            if (k.name == QLatin1String(name)) {
                return &k;
            }
        }
        return nullptr;
    };
    const Key* num = find("NumLock");
    const Key* minus = find("Pad -");
    const Key* esc = find("Esc");
    if (!num || !minus || !esc) {
        return;
    }
    const QRectF area(num->rect.left(), esc->rect.top(), minus->rect.right() - num->rect.left(),
                      esc->rect.height());
    const char* labels[3] = {"Num", "Caps", "Scroll"};
    for (int i = 0; i < 3; ++i) {
        const QRectF cell(area.left() + area.width() * i / 3, area.top(), area.width() / 3,
                          area.height());
        const QPointF led(cell.center().x(), cell.top() + 11);
        const bool lit = look == Look::kDemo;  // the program does not know the lock states
        if (lit) {
            QRadialGradient glow(led, 7);
            glow.setColorAt(0, WithAlpha(kAccent, 120));
            glow.setColorAt(1, WithAlpha(kAccent, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(led, 7, 7);
        }
        p.setPen(QPen(QColor(0x2a, 0x2f, 0x38), 1));
        p.setBrush(lit ? kAccent : QColor(0x22, 0x26, 0x2d));
        p.drawEllipse(led, 2.6, 2.6);
        p.setPen(kDim);
        p.setFont(UiFont(9));
        p.drawText(QRectF(cell.left(), led.y() + 6, cell.width(), 14), Qt::AlignCenter,
                   QLatin1String(labels[i]));
    }
}

void DrawKeyboard(QPainter& p, const std::vector<Key>& keys, QSizeF size, Look look) {
    const QRectF body(3, 3, size.width() - 6, size.height() - 6);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(0x22, 0x25, 0x2d));
    g.setColorAt(1, QColor(0x14, 0x16, 0x1b));
    Rounded(p, body, 14, g, QColor(0x34, 0x39, 0x44), 1.5);
    // Plate under the keys.
    Rounded(p, body.adjusted(10, 10, -10, -10), 8, QColor(0x0e, 0x10, 0x13), QColor(0, 0, 0, 0));
    if (look == Look::kDemo) {
        // A rainbow accent strip along the case's lower edge.
        QLinearGradient strip(body.bottomLeft(), body.bottomRight());
        for (int i = 0; i <= 6; ++i) {
            strip.setColorAt(i / 6.0, Hsv(i / 6.0, 0.9, 1.0));
        }
        p.setPen(QPen(QBrush(strip), 2.0));
        p.drawLine(body.bottomLeft() + QPointF(18, -1.5), body.bottomRight() + QPointF(-18, -1.5));
    }
    for (const Key& k : keys) {
        const qreal hue = std::fmod(k.rect.center().x() / size.width() * 0.85, 1.0);
        DrawKey(p, k, look, hue);
    }
    DrawIndicators(p, keys, look);
}

// ---- everything else -------------------------------------------------------------------------

// Window background: rounded frame with a caption band, for nine-patch margins 16,56,16,16.
void WindowFrame(QPainter& p, QSizeF size, qreal caption) {
    const QRectF r(0, 0, size.width(), size.height());
    Rounded(p, r, 12, QColor(0x10, 0x12, 0x16), QColor(0x2a, 0x2f, 0x38));
    QPainterPath band;
    band.addRoundedRect(r.adjusted(1, 1, -1, 0), 11, 11);
    QPainterPath cut;
    cut.addRect(QRectF(0, caption, size.width(), size.height()));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x16, 0x19, 0x1f));
    p.drawPath(band.subtracted(cut));
    QLinearGradient line(0, 0, size.width(), 0);
    line.setColorAt(0, WithAlpha(kAccent, 0));
    line.setColorAt(0.5, WithAlpha(kAccent, 160));
    line.setColorAt(1, WithAlpha(kAccent2, 0));
    p.fillRect(QRectF(1, caption - 1, size.width() - 2, 1), line);
}

void Panel(QPainter& p, QSizeF size, const QColor& fill) {
    Rounded(p, QRectF(QPointF(0, 0), size), 8, fill, QColor(0x29, 0x2e, 0x37));
}

void Logo(QPainter& p, const QRectF& r) {
    const qreal s = r.width();
    QRectF box = r.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04);
    Rounded(p, box, s * 0.22, AccentGradient(box), QColor(0, 0, 0, 0));
    // A keycap seen from above with a light bar.
    const QRectF cap = box.adjusted(s * 0.2, s * 0.2, -s * 0.2, -s * 0.24);
    p.setPen(QPen(Qt::white, std::max(1.2, s * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(WithAlpha(Qt::white, 40));
    p.drawRoundedRect(cap, s * 0.08, s * 0.08);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(cap.left() + cap.width() * 0.22, cap.bottom() + s * 0.06,
                             cap.width() * 0.56, std::max(1.0, s * 0.06)),
                      s * 0.03, s * 0.03);
}

void MsgIcon(QPainter& p, const QRectF& r, int kind) {
    const QColor colours[4] = {kAccent, kAccent2, QColor(0xff, 0xb0, 0x2e), kDanger};
    const QRectF c = r.adjusted(4, 4, -4, -4);
    p.setPen(Qt::NoPen);
    p.setBrush(WithAlpha(colours[kind], 45));
    p.drawEllipse(c);
    p.setPen(QPen(colours[kind], 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c.adjusted(3, 3, -3, -3));
    p.setPen(colours[kind]);
    p.setFont(UiFont(c.height() * 0.5, true));
    const char* text[4] = {"i", "?", "!", "\u00d7"};
    p.drawText(c, Qt::AlignCenter, QString::fromUtf8(text[kind]));
}

bool DrawAll(Writer& w, const std::vector<Key>& keys) {
    const QSizeF kb = PictureSize(keys);
    const std::pair<const char*, Look> pictures[] = {
        {"img_keboard_normal_png", Look::kNormal},   {"img_keboard_floating_png", Look::kHover},
        {"img_keboard_checked_png", Look::kChecked}, {"img_keboard_pressed_png", Look::kPressed},
        {"img_keboard_demo_png", Look::kDemo},
    };
    for (const auto& [name, look] : pictures) {
        w.Emit(QString::fromLatin1(name), kb,
               [&](QPainter& p) { DrawKeyboard(p, keys, kb, look); });
    }

    // Windows and panels (nine-patch sources).
    w.Emit(QStringLiteral("table_main_bg_png"), QSizeF(96, 96),
           [](QPainter& p) { WindowFrame(p, QSizeF(96, 96), 48); });
    w.Emit(QStringLiteral("win_macro_bg_png"), QSizeF(96, 96),
           [](QPainter& p) { WindowFrame(p, QSizeF(96, 96), 44); });
    w.Emit(QStringLiteral("bg_png"), QSizeF(96, 96),
           [](QPainter& p) { WindowFrame(p, QSizeF(96, 96), 40); });
    w.Emit(QStringLiteral("panel_bg_png"), QSizeF(32, 32),
           [](QPainter& p) { Panel(p, QSizeF(32, 32), kPanel); });
    w.Emit(QStringLiteral("bg_macr_keys_png"), QSizeF(32, 32),
           [](QPainter& p) { Panel(p, QSizeF(32, 32), QColor(0x13, 0x15, 0x1a)); });
    w.Emit(QStringLiteral("bg_macro_group_png"), QSizeF(32, 32),
           [](QPainter& p) { Panel(p, QSizeF(32, 32), QColor(0x13, 0x15, 0x1a)); });
    w.Emit(QStringLiteral("image_bg_macro_content_png"), QSizeF(32, 32),
           [](QPainter& p) { Panel(p, QSizeF(32, 32), kPanel); });

    // Icons.
    w.Emit(QStringLiteral("table_main_icon_png"), QSizeF(24, 24),
           [](QPainter& p) { Logo(p, QRectF(0, 0, 24, 24)); });
    w.Emit(QStringLiteral("ioc_func_macro_png"), QSizeF(24, 24),
           [](QPainter& p) { DrawGlyph(p, Glyph::kKeycap, QRectF(0, 0, 24, 24), kAccent); });
    w.Emit(QStringLiteral("ioc_func_rgb_png"), QSizeF(24, 24),
           [](QPainter& p) { DrawGlyph(p, Glyph::kRgb, QRectF(0, 0, 24, 24), kAccent); });
    w.Emit(QStringLiteral("icon_color_effects_png"), QSizeF(24, 24),
           [](QPainter& p) { DrawGlyph(p, Glyph::kSpark, QRectF(0, 0, 24, 24), kAccent); });
    w.Emit(QStringLiteral("cbox_profile_ico_png"), QSizeF(20, 20),
           [](QPainter& p) { DrawGlyph(p, Glyph::kLayers, QRectF(0, 0, 20, 20), kAccent); });
    w.Emit(QStringLiteral("icon_upgrade_png"), QSizeF(16, 16),
           [](QPainter& p) { DrawGlyph(p, Glyph::kUpgrade, QRectF(0, 0, 16, 16), kLegend); });
    w.Emit(QStringLiteral("icon_exit_png"), QSizeF(16, 16),
           [](QPainter& p) { DrawGlyph(p, Glyph::kExit, QRectF(0, 0, 16, 16), kLegend); });
    w.Strip(QStringLiteral("msg_icons_png"), QSizeF(40, 40), 4,
            [](QPainter& p, const QRectF& r, int s) { MsgIcon(p, r, s); });

    // Tabs: 3 states (normal, hover, selected), separator, strip background, page icons.
    w.Strip(QStringLiteral("state_func_bg_png"), QSizeF(40, 36), 3,
            [](QPainter& p, const QRectF& r, int s) {
                if (s == 1) {
                    Rounded(p, r.adjusted(1, 1, -1, 0), 6, QColor(0x23, 0x27, 0x30),
                            QColor(0, 0, 0, 0));
                } else if (s == 2) {
                    Rounded(p, r.adjusted(1, 1, -1, 0), 6, QColor(0x20, 0x2a, 0x35),
                            QColor(0, 0, 0, 0));
                    QLinearGradient g(r.left(), 0, r.right(), 0);
                    g.setColorAt(0, kAccent);
                    g.setColorAt(1, kAccent2);
                    p.fillRect(QRectF(r.left() + 6, r.bottom() - 3, r.width() - 12, 3), g);
                }
            });
    w.Emit(QStringLiteral("tab_sep_png"), QSizeF(2, 36),
           [](QPainter& p) { p.fillRect(QRectF(0.5, 10, 1, 16), QColor(0x34, 0x39, 0x44)); });
    w.Emit(QStringLiteral("tab_head_bg_png"), QSizeF(32, 36), [](QPainter& p) {
        Rounded(p, QRectF(0, 0, 32, 36), 8, QColor(0x16, 0x19, 0x1f), QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 35, 32, 1), QColor(0x2a, 0x2f, 0x38));
    });
    const Glyph pageGlyphs[4] = {Glyph::kRecord, Glyph::kKeycap, Glyph::kSpark, Glyph::kLayers};
    w.Strip(QStringLiteral("tab_icons_png"), QSizeF(18, 18), 4,
            [&](QPainter& p, const QRectF& r, int s) { DrawGlyph(p, pageGlyphs[s], r, kDim); });
    for (int page = 0; page < 4; ++page) {
        // Entering: the icon brightens into the accent colour; leaving: back to the resting look.
        const auto frame = [&, page](QPainter& p, const QRectF& r, qreal t) {
            const auto mix = [t](int from, int to) {
                return static_cast<int>(std::lround(from + (to - from) * t));
            };
            const QColor c(mix(kDim.red(), kAccent.red()), mix(kDim.green(), kAccent.green()),
                           mix(kDim.blue(), kAccent.blue()));
            const qreal grow = 1.0 + 0.12 * std::sin(t * M_PI);
            const QRectF g(r.center().x() - r.width() * grow / 2,
                           r.center().y() - r.height() * grow / 2, r.width() * grow,
                           r.height() * grow);
            DrawGlyph(p, pageGlyphs[page], g, c);
        };
        w.Strip(QStringLiteral("tab_ani_in_%1_png").arg(page), QSizeF(18, 18), 4,
                [&](QPainter& p, const QRectF& r, int s) { frame(p, r, (s + 1) / 4.0); });
        w.Strip(QStringLiteral("tab_ani_out_%1_png").arg(page), QSizeF(18, 18), 4,
                [&](QPainter& p, const QRectF& r, int s) { frame(p, r, 1.0 - (s + 1) / 4.0); });
    }

    // Combo boxes: frame in 4 states, the effect list's frame with a colour edge, list rows.
    const auto comboFrame = [](QPainter& p, const QRectF& r, int s, bool effects) {
        const QColor fill[4] = {QColor(0x1f, 0x23, 0x2b), QColor(0x26, 0x2b, 0x34),
                                QColor(0x1a, 0x1d, 0x24), QColor(0x19, 0x1b, 0x20)};
        const QColor edge[4] = {kEdge, WithAlpha(kAccent, 150), kAccent, QColor(0x24, 0x28, 0x2f)};
        Rounded(p, r.adjusted(1, 1, -1, -1), 7, fill[s], edge[s]);
        if (effects) {
            QLinearGradient g(0, r.top(), 0, r.bottom());
            for (int i = 0; i <= 6; ++i) {
                g.setColorAt(i / 6.0, Hsv(i / 6.0, 0.8, s == kDisabledState ? 0.4 : 1.0));
            }
            p.fillRect(QRectF(r.left() + 3, r.top() + 8, 3, r.height() - 16), g);
        }
    };
    w.Strip(QStringLiteral("cbox_profile_normal_png"), QSizeF(40, 34), 4,
            [&](QPainter& p, const QRectF& r, int s) { comboFrame(p, r, s, false); });
    w.Strip(QStringLiteral("state_color_effects_png"), QSizeF(40, 34), 4,
            [&](QPainter& p, const QRectF& r, int s) { comboFrame(p, r, s, true); });
    w.Strip(QStringLiteral("cbox_profile_selected_png"), QSizeF(32, 28), 2,
            [](QPainter& p, const QRectF& r, int s) {
                Rounded(p, r.adjusted(2, 1, -2, -1), 5,
                        s == 0 ? QColor(0x2a, 0x30, 0x3b) : QColor(0x1d, 0x33, 0x42),
                        QColor(0, 0, 0, 0));
            });
    w.Strip(QStringLiteral("btn_dropdown_png"), QSizeF(24, 24), 4,
            [](QPainter& p, const QRectF& r, int s) {
                DrawGlyph(p, Glyph::kChevron, r.adjusted(5, 5, -5, -5), GlyphColor(s));
            });

    // Edit boxes: normal, hover, focused, disabled.
    w.Strip(QStringLiteral("edit_bg_png"), QSizeF(32, 30), 4,
            [](QPainter& p, const QRectF& r, int s) {
                const QColor edge[4] = {kEdge, QColor(0x48, 0x4f, 0x5c), kAccent,
                                        QColor(0x22, 0x26, 0x2d)};
                Rounded(p, r.adjusted(1, 1, -1, -1), 6,
                        s == 3 ? QColor(0x15, 0x17, 0x1b) : QColor(0x11, 0x13, 0x17), edge[s]);
            });

    // Cells of lists: bare until the pointer is over them, then a faint field.
    w.Strip(QStringLiteral("edit_cell_png"), QSizeF(32, 30), 4,
            [](QPainter& p, const QRectF& r, int s) {
                if (s == kHover || s == kPressed) {
                    Rounded(p, r.adjusted(1, 1, -1, -1), 5, QColor(0x11, 0x13, 0x17),
                            s == kHover ? QColor(0x3a, 0x40, 0x4b) : kAccent);
                }
            });

    // Slider: track, filled part, thumb.
    w.Emit(QStringLiteral("bg_progress_bg_png"), QSizeF(24, 8), [](QPainter& p) {
        Rounded(p, QRectF(0, 1, 24, 6), 3, QColor(0x2a, 0x2f, 0x38), QColor(0, 0, 0, 0));
    });
    w.Emit(QStringLiteral("bg_progress_pos_png"), QSizeF(24, 8), [](QPainter& p) {
        QLinearGradient g(0, 0, 24, 0);
        g.setColorAt(0, kAccent);
        g.setColorAt(1, kAccent2);
        Rounded(p, QRectF(0, 1, 24, 6), 3, g, QColor(0, 0, 0, 0));
    });
    w.Strip(QStringLiteral("state_progres_thum_png"), QSizeF(20, 20), 4,
            [](QPainter& p, const QRectF& r, int s) {
                const QRectF c = r.adjusted(2, 2, -2, -2);
                if (s == kHover || s == kPressed) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(WithAlpha(kAccent, s == kPressed ? 90 : 55));
                    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
                }
                p.setPen(QPen(s == kDisabledState ? kDisabled : kAccent, 2.5));
                p.setBrush(s == kDisabledState ? QColor(0x2a, 0x2e, 0x35) : QColor(Qt::white));
                p.drawEllipse(c.adjusted(2.5, 2.5, -2.5, -2.5));
            });

    // Icon buttons, 4 states.
    const std::pair<const char*, Glyph> iconButtons[] = {
        {"state_add_png", Glyph::kPlus},      {"state_del_png", Glyph::kMinus},
        {"state_import_png", Glyph::kImport}, {"state_export_png", Glyph::kExport},
        {"state_up_png", Glyph::kArrowUp},    {"state_down_png", Glyph::kArrowDown},
        {"state_clear_png", Glyph::kClear},   {"state_delete_png", Glyph::kTrash},
        {"more_menu_png", Glyph::kMore},      {"btn_min_png", Glyph::kMin},
        {"btn_max_png", Glyph::kMax},         {"btn_restore_png", Glyph::kRestore},
    };
    for (const auto& [name, glyph] : iconButtons) {
        const Glyph gl = glyph;
        w.Strip(QString::fromLatin1(name), QSizeF(32, 32), 4,
                [gl](QPainter& p, const QRectF& r, int s) { IconButton(p, r, s, gl); });
    }
    w.Strip(QStringLiteral("btn_close_png"), QSizeF(32, 32), 4,
            [](QPainter& p, const QRectF& r, int s) { IconButton(p, r, s, Glyph::kClose, true); });

    // Text buttons, 4 states, nine-patch margins 8.
    w.Strip(QStringLiteral("state_ok_png"), QSizeF(40, 34), 4,
            [](QPainter& p, const QRectF& r, int s) { TextButton(p, r, s, true); });
    w.Strip(QStringLiteral("state_cancel_png"), QSizeF(40, 34), 4,
            [](QPainter& p, const QRectF& r, int s) { TextButton(p, r, s, false); });
    w.Strip(QStringLiteral("btn_lang_png"), QSizeF(32, 26), 4,
            [](QPainter& p, const QRectF& r, int s) {
                if (s == kHover || s == kPressed) {
                    Rounded(p, r.adjusted(1, 1, -1, -1), 6,
                            s == kHover ? QColor(0x26, 0x2b, 0x34) : QColor(0x1d, 0x33, 0x42),
                            s == kHover ? kEdge : kAccent);
                }
            });

    // Check and radio icons, 8 states; the record and capture icons of the macro editor.
    w.Strip(QStringLiteral("check_icon_png"), QSizeF(20, 20), 8,
            [](QPainter& p, const QRectF& r, int s) { ToggleIcon(p, r, s, false); });
    w.Strip(QStringLiteral("radio_icon_png"), QSizeF(20, 20), 8,
            [](QPainter& p, const QRectF& r, int s) { ToggleIcon(p, r, s, true); });
    w.Strip(QStringLiteral("state_record_png"), QSizeF(24, 24), 8,
            [](QPainter& p, const QRectF& r, int s) {
                const int look = s % 4;
                const QRectF c = r.adjusted(1, 1, -1, -1);
                p.setPen(QPen(
                    look == kDisabledState ? kDisabled : (look == kNormal ? kEdge : kDanger), 1.5));
                p.setBrush(QColor(0x11, 0x13, 0x17));
                p.drawEllipse(c.adjusted(0.75, 0.75, -0.75, -0.75));
                const QColor red = look == kDisabledState ? kDisabled
                                   : look == kPressed     ? kDanger.darker(130)
                                                          : kDanger;
                DrawGlyph(p, s >= 4 ? Glyph::kStop : Glyph::kRecord, c.adjusted(4, 4, -4, -4), red);
            });
    w.Strip(QStringLiteral("state_capture_png"), QSizeF(24, 24), 8,
            [](QPainter& p, const QRectF& r, int s) {
                const int look = s % 4;
                const QColor c = s >= 4 && look != kDisabledState ? kAccent : GlyphColor(look);
                DrawGlyph(p, Glyph::kCapture, r.adjusted(2, 2, -2, -2), c);
            });

    // Direction radios: pill buttons, 8 states, nine-patch margins 10.
    w.Strip(
        QStringLiteral("radio_direction_png"), QSizeF(40, 30), 8,
        [](QPainter& p, const QRectF& r, int s) {
            const int look = s % 4;
            const QRectF box = r.adjusted(1, 1, -1, -1);
            if (s >= 4) {
                QLinearGradient g(box.topLeft(), box.topRight());
                g.setColorAt(
                    0, look == kDisabledState ? QColor(0x33, 0x38, 0x42) : kAccent.darker(160));
                g.setColorAt(
                    1, look == kDisabledState ? QColor(0x33, 0x38, 0x42) : kAccent2.darker(160));
                Rounded(p, box, 8, g, look == kDisabledState ? kEdge : kAccent);
            } else {
                const QColor fill[4] = {QColor(0x1f, 0x23, 0x2b), QColor(0x29, 0x2e, 0x38),
                                        QColor(0x1a, 0x1d, 0x24), QColor(0x19, 0x1b, 0x20)};
                Rounded(p, box, 8, fill[look], look == kHover ? WithAlpha(kAccent, 150) : kEdge);
            }
        });

    // Colour swatches, radios with 8 states: the auto (cycling) colour, off, and colours 1..7.
    w.Strip(QStringLiteral("state_auto_color_png"), QSizeF(28, 28), 8,
            [](QPainter& p, const QRectF& r, int s) { Swatch(p, r, s, RainbowFill); });
    w.Strip(QStringLiteral("state_color_select_png"), QSizeF(28, 28), 8,
            [](QPainter& p, const QRectF& r, int s) { Swatch(p, r, s, OffFill); });
    for (int i = 0; i < 7; ++i) {
        const QColor c = kSwatches[i];
        w.Strip(QStringLiteral("swatch_%1_png").arg(i + 1), QSizeF(28, 28), 8,
                [c](QPainter& p, const QRectF& r, int s) {
                    Swatch(p, r, s, [c](QPainter& q, const QRectF& inner) {
                        QLinearGradient g(inner.topLeft(), inner.bottomLeft());
                        g.setColorAt(0, c.lighter(112));
                        g.setColorAt(1, c.darker(112));
                        q.fillRect(inner, g);
                    });
                });
    }
    return w.Ok();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kb_artgen KEYS_XML OUT_DIR\n");
        return 2;
    }
    std::vector<Key> keys;
    if (!LoadKeys(argv[1], keys)) {
        std::fprintf(stderr, "kb_artgen: no keys in %s\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(out + QStringLiteral("/image")) ||
        !QDir().mkpath(out + QStringLiteral("/icon"))) {
        std::fprintf(stderr, "kb_artgen: cannot create %s\n", argv[2]);
        return 1;
    }
    Writer images(out + QStringLiteral("/image"));
    if (!DrawAll(images, keys)) {
        return 1;
    }
    // The program icon: one large picture, scaled down by whoever shows it.
    Writer icons(out + QStringLiteral("/icon"));
    icons.Emit(QStringLiteral("logo"), QSizeF(256, 256),
               [](QPainter& p) { Logo(p, QRectF(0, 0, 256, 256)); });
    return icons.Ok() ? 0 : 1;
}
