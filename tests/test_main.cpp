#include <QApplication>

#include <gtest/gtest.h>

#include "app/prompts.h"
#include "tests/scripted_answers.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // Signature results are remembered beside the rings only in the tests
    // of that, so that no test writes beside the fixture rings.
    qputenv("TOLV_NO_SIGNATURE_CACHE", "1");
    QApplication app(argc, argv);
    Prompts::setTestMode(true);
    Prompts::installAsFrontend();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
