#include "toolkit/sskin.h"

#include <QPainter>
#include <algorithm>

namespace kb::ui {

SSkinImgList::SSkinImgList(QPixmap image, int states, bool vertical)
    : image_(std::move(image)), states_(states < 1 ? 1 : states), vertical_(vertical) {}

int SSkinImgList::States() const {
    return image_.isNull() ? 0 : states_;
}

QSize SSkinImgList::SkinSize() const {
    if (image_.isNull()) {
        return {0, 0};
    }
    // Device-independent size, so @2x images keep their layout size.
    const QSize full = image_.deviceIndependentSize().toSize();
    return vertical_ ? QSize(full.width(), full.height() / states_)
                     : QSize(full.width() / states_, full.height());
}

QRect SSkinImgList::StateRect(int state) const {
    const int s = std::clamp(state, 0, states_ - 1);
    const QSize full = image_.size();  // device pixels
    if (vertical_) {
        const int h = full.height() / states_;
        return {0, s * h, full.width(), h};
    }
    const int w = full.width() / states_;
    return {s * w, 0, w, full.height()};
}

void SSkinImgList::Draw(QPainter& painter, const QRect& rect, int state, qreal opacity) const {
    if (image_.isNull() || rect.isEmpty()) {
        return;
    }
    const qreal old = painter.opacity();
    painter.setOpacity(old * opacity);
    painter.drawPixmap(rect, image_, StateRect(state));
    painter.setOpacity(old);
}

SSkinImgFrame::SSkinImgFrame(QPixmap image, int states, bool vertical, QMargins margins)
    : SSkinImgList(std::move(image), states, vertical), margins_(margins) {}

void SSkinImgFrame::Draw(QPainter& painter, const QRect& rect, int state, qreal opacity) const {
    if (image_.isNull() || rect.isEmpty()) {
        return;
    }
    const QRect src = StateRect(state);
    const qreal dpr = image_.devicePixelRatio();
    // Margins are in layout pixels; the source is in device pixels.
    auto scaled = [dpr](int v) { return static_cast<int>(v * dpr); };
    const QMargins srcM(scaled(margins_.left()), scaled(margins_.top()), scaled(margins_.right()),
                        scaled(margins_.bottom()));
    // Margins larger than the target shrink so the corners never overlap.
    QMargins dstM = margins_;
    if (dstM.left() + dstM.right() > rect.width()) {
        dstM.setLeft(rect.width() / 2);
        dstM.setRight(rect.width() - dstM.left());
    }
    if (dstM.top() + dstM.bottom() > rect.height()) {
        dstM.setTop(rect.height() / 2);
        dstM.setBottom(rect.height() - dstM.top());
    }
    const int sx[4] = {src.left(), src.left() + srcM.left(), src.right() + 1 - srcM.right(),
                       src.right() + 1};
    const int sy[4] = {src.top(), src.top() + srcM.top(), src.bottom() + 1 - srcM.bottom(),
                       src.bottom() + 1};
    const int dx[4] = {rect.left(), rect.left() + dstM.left(), rect.right() + 1 - dstM.right(),
                       rect.right() + 1};
    const int dy[4] = {rect.top(), rect.top() + dstM.top(), rect.bottom() + 1 - dstM.bottom(),
                       rect.bottom() + 1};
    const qreal old = painter.opacity();
    painter.setOpacity(old * opacity);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QRect s(QPoint(sx[c], sy[r]), QPoint(sx[c + 1] - 1, sy[r + 1] - 1));
            const QRect d(QPoint(dx[c], dy[r]), QPoint(dx[c + 1] - 1, dy[r + 1] - 1));
            if (s.width() > 0 && s.height() > 0 && d.width() > 0 && d.height() > 0) {
                painter.drawPixmap(d, image_, s);
            }
        }
    }
    painter.setOpacity(old);
}

void SSkinPool::Add(const QString& name, std::shared_ptr<ISkinObj> skin) {
    if (!skin) {
        return;
    }
    skin->SetName(name);
    skins_[name.toLower()] = Entry{std::move(skin), {}};
}

void SSkinPool::AddLazy(const QString& name, Maker make) {
    if (!make) {
        return;
    }
    skins_[name.toLower()] = Entry{nullptr, std::move(make)};
}

ISkinObj* SSkinPool::Get(const QString& name) const {
    const auto it = skins_.find(name.toLower());
    if (it == skins_.end()) {
        return nullptr;
    }
    Entry& entry = it->second;
    if (entry.make) {
        const Maker make = std::move(entry.make);
        entry.make = nullptr;
        entry.skin = make();
        if (entry.skin) {
            entry.skin->SetName(name);
        }
    }
    return entry.skin.get();
}

}  // namespace kb::ui
