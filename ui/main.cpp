// The window program: creates the main window and runs the event loop until it is closed. The
// window saves the settings when it is destroyed, at the end of this function.
#include <QApplication>

#include "platform/file_services.h"
#include "ui/tform_ferrit.h"

int main(int argc, char** argv) {
    ferrit::ReserveRunDescriptors();  // before the toolkit starts its threads
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrit"));
    QApplication::setDesktopFileName(QStringLiteral("ferrit"));
    // A bitmap, which needs no image plugin beyond the ones Qt always has.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ferrit.png")));
    ferrit::TFormFerrit window;
    window.show();
    return app.exec();
}
