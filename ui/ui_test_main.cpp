// The widget tests run inside one QApplication, on the offscreen platform unless told otherwise
// (so that listing the tests at build time needs no display either).
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // One screen of 1280 x 1024, on which the window's described place fits.
    QTemporaryDir screens;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qgetenv("QT_QPA_PLATFORM") == QByteArrayLiteral("offscreen")) {
        const QString config = screens.filePath(QStringLiteral("screens.json"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1280,)"
                       R"( "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            file.close();
            qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
