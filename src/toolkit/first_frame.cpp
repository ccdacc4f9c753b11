#include "toolkit/first_frame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace kb::ui {

namespace {

class FirstFrameHook : public QObject {
public:
    FirstFrameHook(QWidget* window, QObject* context, std::function<void()> then, int fallbackMs)
        : QObject(context), window_(window), then_(std::move(then)) {
        if (window_ != nullptr) {
            window_->installEventFilter(this);
        }
        QTimer::singleShot(fallbackMs, this, [this] { Fire(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == window_) {
            watched->removeEventFilter(this);
            // The frame is on screen once the event loop comes round again.
            QTimer::singleShot(0, this, [this] { Fire(); });
        }
        return false;
    }

private:
    void Fire() {
        if (!then_) {
            return;
        }
        std::function<void()> then = std::move(then_);
        then_ = nullptr;
        if (window_ != nullptr) {
            window_->removeEventFilter(this);
        }
        deleteLater();
        then();
    }

    QWidget* window_;
    std::function<void()> then_;
};

}  // namespace

void RunAfterFirstFrame(QWidget* window, QObject* context, std::function<void()> then,
                        int fallbackMs) {
    new FirstFrameHook(window, context, std::move(then), fallbackMs);
}

}  // namespace kb::ui
