// GoogleTest with a QApplication around it, for the window tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSurfaceFormat>
#include <QTemporaryDir>

int main(int argc, char** argv) {
#ifdef TAVREL_OFFSCREEN_ONLY
    // These tests need no X server and must not find one: the offscreen platform would make
    // GL contexts through it.
    qunsetenv("DISPLAY");
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // Without an X server (listing the tests at build time, say) windows go off screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; tests get their own.
    QTemporaryDir runtime(QDir::tempPath() + "/tavrel-runtime-XXXXXX");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }

    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
