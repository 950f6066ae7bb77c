#include <gtest/gtest.h>

#include <QApplication>

#include "ui/VisualStyle.h"

// Widget tests need one application object for the whole run; they run offscreen.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    RegisterDialogFonts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
