#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace kb::ui {

// Runs `then` once, when `window` has drawn its first frame (once the event loop comes round
// after its first paint), or after `fallbackMs` should no frame be drawn by then (a platform
// without expose events). Nothing runs once `context` is gone. For work the first frame does
// not need, so that the window shows at once.
void RunAfterFirstFrame(QWidget* window, QObject* context, std::function<void()> then,
                        int fallbackMs = 1000);

}  // namespace kb::ui
