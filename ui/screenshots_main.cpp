// Makes the README's pictures: the window with a fresh configuration, filled with a real run
// over a small generated tree, one PNG per tab, and the Progress tab after a run over a file
// with a 240-character name. Usage: ferrit-screenshots OUTPUT_DIRECTORY
// (run from the source tree, so that the Info tab finds Ferrit.txt).
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

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
    const QString config = work.filePath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("XDG_STATE_HOME", work.filePath(QStringLiteral("state")).toLocal8Bit());
    // A plain copy: nothing is moved or asked, and no second pass.
    WriteText(config + QStringLiteral("/Ferrit.Ini"),
              "[Default Options]\nMove Files=0\nCopy Bi-directional=0\nConfirm Overwrites=0\n"
              "Overwrite Always=0\n\n[PatternHistory]\n0=*.txt\n1=*.*\n");

    const QString source = work.filePath(QStringLiteral("Projects"));
    const QString target = work.filePath(QStringLiteral("Backup/Projects"));
    const char* names[] = {"README.txt",        "budget-2007.xls",    "letters/offer.doc",
                           "letters/reply.doc", "photos/site-01.jpg", "photos/site-02.jpg",
                           "photos/old/a.jpg",  "photos/old/b.jpg",   "tools/setup.exe",
                           "tools/notes.txt"};
    int n = 1;
    for (const char* name : names) {
        WriteText(source + "/" + name, QByteArray(n * 1500, 'x'));
        n += 3;
    }
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
    from->setEditText(source);
    to->setEditText(target);
    window.EditPathChange();
    window.ButtonStartClick();
    Settle();

    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    const char* files[] = {"info.png", "settings.png", "progress.png"};
    int failures = 0;
    for (int i = 0; i < 3; ++i) {
        pages->setCurrentIndex(i);
        Settle();
        if (!window.grab().save(out + "/" + files[i])) {
            std::fprintf(stderr, "cannot write %s/%s\n", qPrintable(out), files[i]);
            ++failures;
        }
    }

    // A second run over a file with a 240-character name: the progress line and the status bar
    // shorten it in the middle, and the window keeps its size.
    const QString longSource = work.filePath(QStringLiteral("Reports"));
    QString longName;
    while (longName.size() < 236) {
        longName += QStringLiteral("quarterly-report-northern-region-");
    }
    longName.truncate(236);
    longName += QStringLiteral(".txt");
    WriteText(longSource + "/" + longName, QByteArray(4096, 'x'));
    from->setEditText(longSource);
    window.EditPathChange();
    window.ButtonStartClick();
    Settle();
    pages->setCurrentIndex(2);
    Settle();
    if (!window.grab().save(out + QStringLiteral("/progress-long-name.png"))) {
        std::fprintf(stderr, "cannot write %s/progress-long-name.png\n", qPrintable(out));
        ++failures;
    }
    window.close();
    return failures ? 1 : 0;
}
