#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test process gets a QApplication on the offscreen platform and a home folder of its
// own, so that no test ever touches the real user's files or settings.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
