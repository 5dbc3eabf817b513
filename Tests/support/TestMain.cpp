#include "TestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test process gets a QApplication on the offscreen platform and a home folder of its own.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    isolateTestProcess(home);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
