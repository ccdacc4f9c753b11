#pragma once

#include <QApplication>
#include <QByteArray>

namespace kb::fuzz {

// The one QApplication of a fuzz target that builds widgets, on the offscreen platform unless
// told otherwise. Never destroyed: libFuzzer ends the process from its own code.
inline QApplication& QtApp() {
    static QApplication* const app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
        }
        static int argc = 1;
        static char name[] = "kb_fuzz";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace kb::fuzz
