// Makes the README's pictures from real runs over small generated trees: the first start, a run
// in progress with its bar, the end of a run with its summary, an error dialog over the
// progress it interrupts, the Info tab, and a run over a file with a 240-character name.
// Usage: ferrit-screenshots OUTPUT_DIRECTORY (run from the source tree, so that the Info tab
// finds Ferrit.txt, under an X server: the dialog is taken from the screen).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "netware/absent_client.h"
#include "ui/tform_ferrit.h"

namespace {

bool WriteText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

int failures = 0;

// The message box shown at the moment, if any.
QMessageBox* OpenBox() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(top);
        if (box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

void Save(const QPixmap& picture, const QString& out, const char* name) {
    if (!picture.save(out + "/" + name)) {
        std::fprintf(stderr, "cannot write %s/%s\n", qPrintable(out), name);
        ++failures;
    }
}

// Runs `act` once, from the run's own pumps, as soon as `ready` holds.
class WhenReady {
  public:
    WhenReady(std::function<bool()> ready, std::function<void()> act)
        : ready_(std::move(ready)), act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (ready_()) {
                timer_.stop();
                act_();
            }
        });
        timer_.start();
    }

  private:
    QTimer timer_;
    std::function<bool()> ready_;
    std::function<void()> act_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);

    QTemporaryDir work;
    if (!work.isValid()) {
        return 1;
    }
    // A first start: no settings file, so nothing that changes the source is ticked.
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", work.filePath(QStringLiteral("state")).toLocal8Bit());

    const QString source = work.filePath(QStringLiteral("Projects"));
    const QString target = work.filePath(QStringLiteral("Backup/Projects"));
    const char* folders[] = {"letters", "photos", "photos/old", "reports", "tools"};
    for (int i = 0; i < 160; ++i) {
        const QString name =
            QStringLiteral("%1/item-%2.dat").arg(folders[i % 5]).arg(i, 3, 10, QLatin1Char('0'));
        WriteText(source + "/" + name, QByteArray(20000 + 700 * i, 'x'));
    }
    WriteText(source + "/README.txt", QByteArray(1500, 'x'));
    QDir().mkpath(target);

    // A client that starts, so no start-up message stands in front of the window.
    struct StartingClient : ferrit::AbsentClient {
        ferrit::NWCCODE CallsInit() override { return 0; }
        ferrit::NWCCODE ConnLayerInit(uint32_t&) override { return 0; }
        ferrit::NWCCODE GetPrimaryConnRef(uint32_t&) override { return 0; }
        ferrit::NWCCODE OpenConnByReference(uint32_t, uint32_t, uint32_t,
                                            ferrit::NWCONN_HANDLE& c) override {
            c = 1;
            return 0;
        }
    } client;
    ferrit::WindowServices services;
    services.client = &client;
    ferrit::TFormFerrit window(services);
    window.show();
    Settle();
    auto* from = window.findChild<QComboBox*>(QStringLiteral("ComboSource"));
    auto* to = window.findChild<QComboBox*>(QStringLiteral("ComboTarget"));
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    from->setEditText(source);
    to->setEditText(target);
    window.EditPathChange();
    Settle();
    Save(window.grab(), out, "settings.png");

    // The runs are slowed at their pumps, as on a slow network volume, so that the pictures
    // catch them half-way.
    QTimer slow;
    slow.setInterval(0);
    QObject::connect(&slow, &QTimer::timeout, [] { QThread::msleep(25); });
    slow.start();

    {
        WhenReady halfWay(
            [&] {
                return window.RunActive() && window.Run().Counts.FilesDone() >= 100 &&
                       window.Run().Counts.Directories >= 5;
            },
            [&] {
                QCoreApplication::processEvents();
                Save(window.grab(), out, "progress-running.png");
            });
        window.ButtonStartClick();
    }
    Settle();
    Save(window.grab(), out, "progress.png");

    // A second run onto a target where some names are taken by directories: the error dialog
    // stands over the progress of the file it is about, and "Ignore All" answers the rest.
    const QString second = work.filePath(QStringLiteral("Second/Projects"));
    for (int i = 63; i < 160; i += 10) {
        QDir().mkpath(
            QStringLiteral("%1/reports/item-%2.dat").arg(second).arg(i, 3, 10, QLatin1Char('0')));
    }
    to->setEditText(second);
    window.EditPathChange();
    pages->setCurrentIndex(1);
    {
        WhenReady dialog([] { return OpenBox() != nullptr; },
                         [&] {
                             QMessageBox* box = OpenBox();
                             Settle();
                             const QRect area = window.frameGeometry().united(box->frameGeometry());
                             Save(window.screen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                              area.height()),
                                  out, "progress-error.png");
                             for (QAbstractButton* button : box->buttons()) {
                                 if (button->text() == QStringLiteral("Ignore A&ll")) {
                                     button->click();
                                 }
                             }
                         });
        window.ButtonStartClick();
    }
    slow.stop();
    Settle();

    pages->setCurrentIndex(0);
    Settle();
    Save(window.grab(), out, "info.png");

    // A run over a file with a 240-character name: the progress line and the list shorten it
    // in the middle, and the window keeps its size.
    const QString longSource = work.filePath(QStringLiteral("Reports"));
    QString longName;
    while (longName.size() < 236) {
        longName += QStringLiteral("quarterly-report-northern-region-");
    }
    longName.truncate(236);
    longName += QStringLiteral(".txt");
    WriteText(longSource + "/" + longName, QByteArray(4096, 'x'));
    from->setEditText(longSource);
    to->setEditText(target);
    window.EditPathChange();
    window.ButtonStartClick();
    Settle();
    pages->setCurrentIndex(2);
    Settle();
    Save(window.grab(), out, "progress-long-name.png");
    window.close();
    return failures ? 1 : 0;
}
