// One repaint of the keyboard picture when the pointer moves from one key to the next, in the
// real main window built from the shipped resources. Target: under 1 ms at 100 % and at 200 %.
//
//   keyboard_repaint_bench [--scale=2] [benchmark options]
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "widgets/coord_button_image.h"
#include "widgets/register_widgets.h"

namespace {

kb::ui::CoordButtonImage* g_keyboard = nullptr;

void MovePointer(kb::ui::CoordButtonImage& keyboard, QPoint point) {
    const QPointF local(point);
    QMouseEvent move(QEvent::MouseMove, local, keyboard.mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&keyboard, &move);
}

void BM_KeyboardRepaintOnMouseMove(benchmark::State& state) {
    kb::ui::CoordButtonImage& keyboard = *g_keyboard;
    std::vector<QPoint> centres;
    for (const kb::ui::CoordKey& key : keyboard.GetKeys()) {
        centres.push_back(key.Rect().center());
    }
    if (centres.empty()) {
        state.SkipWithError("the keyboard picture has no keys");
        return;
    }
    std::size_t next = 0;
    for (auto _ : state) {
        MovePointer(keyboard, centres[next]);
        next = (next + 7) % centres.size();
        // The update the move asked for is painted here, as the event loop would.
        QApplication::processEvents();
    }
    state.counters["scale"] = keyboard.devicePixelRatioF();
}
BENCHMARK(BM_KeyboardRepaintOnMouseMove)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale=2") == 0) {
            qputenv("QT_SCALE_FACTOR", "2");
        } else {
            args.push_back(argv[i]);
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QApplication qtApp(qtArgc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    auto app = std::make_unique<kb::ui::SApplication>();
    auto folder = std::make_shared<kb::ui::SResProviderFiles>();
    folder->Init(QStringLiteral("uires"));
    app->RegisterNamedIds(kb::ui::ProgramNamedIds());
    app->AddResProvider(folder, QStringLiteral("uidef:xml_init"));
    kb::ui::RegisterProgramWidgets(*app);

    kb::ui::SHostWnd window(QStringLiteral("LAYOUT:XML_MAINWND"));
    if (!window.CreateHost()) {
        return 1;
    }
    window.show();
    QApplication::processEvents();
    g_keyboard = window.FindChildByName2<kb::ui::CoordButtonImage>(QStringLiteral("img_keyboard"));
    if (g_keyboard == nullptr) {
        return 1;
    }

    int benchArgc = static_cast<int>(args.size());
    benchmark::Initialize(&benchArgc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
