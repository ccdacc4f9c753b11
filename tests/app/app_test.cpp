#include <gtest/gtest.h>
#include <QApplication>
#include <QWidget>

#include "app/configurator.h"

namespace {

const QString kName = QStringLiteral("kbconfig.test-instance");

TEST(HandOver, BringsEveryMarkedWindowForwardAndLeavesOthersAlone) {
    QWidget hidden;
    QWidget minimised;
    QWidget shown;
    QWidget unmarked;
    for (QWidget* window : {&hidden, &minimised, &shown}) {
        window->setProperty(kName.toUtf8().constData(), 1);
    }
    minimised.showMinimized();
    shown.show();

    EXPECT_EQ(kb::BringMarkedWindowsForward(kName), 3);

    for (QWidget* window : {&hidden, &minimised, &shown}) {
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isMinimized());
    }
    EXPECT_FALSE(unmarked.isVisible());
}

}  // namespace
