#pragma once

#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QPainter;

namespace kb::ui {

// A drawable with N states. Skins live in the pool; widgets hold plain pointers and never free
// them.
class ISkinObj {
public:
    virtual ~ISkinObj() = default;
    const QString& Name() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    // Number of states (frames); at least 1 for a loaded skin, 0 for an empty one.
    virtual int States() const = 0;
    // Size of one state in pixels.
    virtual QSize SkinSize() const = 0;
    // Draws state `state` (clamped into range; negative draws state 0) into rect.
    virtual void Draw(QPainter& painter, const QRect& rect, int state,
                      qreal opacity = 1.0) const = 0;

private:
    QString name_;
};

// An image cut into `states` equal parts, side by side or stacked, each stretched into the target.
class SSkinImgList : public ISkinObj {
public:
    SSkinImgList() = default;
    SSkinImgList(QPixmap image, int states, bool vertical);
    void SetImage(QPixmap image) { image_ = std::move(image); }
    void SetStates(int states) { states_ = states < 1 ? 1 : states; }
    void SetVertical(bool vertical) { vertical_ = vertical; }
    const QPixmap& Image() const { return image_; }
    bool IsVertical() const { return vertical_; }

    int States() const override;
    QSize SkinSize() const override;
    void Draw(QPainter& painter, const QRect& rect, int state, qreal opacity = 1.0) const override;

protected:
    // Source rectangle of one state inside the image.
    QRect StateRect(int state) const;

    QPixmap image_;
    int states_ = 1;
    bool vertical_ = false;
};

// The same, drawn as a nine-patch: the margins keep their size, the middle stretches.
class SSkinImgFrame : public SSkinImgList {
public:
    SSkinImgFrame() = default;
    SSkinImgFrame(QPixmap image, int states, bool vertical, QMargins margins);
    void SetMargins(QMargins margins) { margins_ = margins; }
    const QMargins& Margins() const { return margins_; }
    void Draw(QPainter& painter, const QRect& rect, int state, qreal opacity = 1.0) const override;

private:
    QMargins margins_;
};

// Skins by name (compared without case).
class SSkinPool {
public:
    using Maker = std::function<std::shared_ptr<ISkinObj>()>;

    // Replaces a skin of the same name. The skin's name is set from `name`.
    void Add(const QString& name, std::shared_ptr<ISkinObj> skin);
    // A skin made on its first Get, so images no window shows are never decoded. A maker that
    // gives nothing leaves the name unknown.
    void AddLazy(const QString& name, Maker make);
    ISkinObj* Get(const QString& name) const;  // nullptr when unknown
    void Clear() { skins_.clear(); }
    size_t Count() const { return skins_.size(); }

private:
    struct Entry {
        std::shared_ptr<ISkinObj> skin;
        Maker make;  // set until the skin is made
    };
    mutable std::map<QString, Entry> skins_;  // key lower-cased
};

}  // namespace kb::ui
