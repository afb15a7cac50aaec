// Times one run through the window, as an operator starts it: types the two paths and the
// pattern, ticks exactly the named options, clicks Start and waits for the run to end. Prints
// the seconds from the click to the end of the run, and the processor seconds the program spent
// meanwhile (all its threads), on stdout.
// Usage: ferrit-bench-window SOURCE TARGET [OPTION CAPTION...]   (under a display: xvfb-run)
// Every dialog is answered without a person (OK, else Abort or No) and written to stderr; a
// dialog during the run makes the exit status 1, so a timing of a failed run is never taken.
//
// For the other side of the comparison, timed the same way:
//        ferrit-bench-window --cli-into FILE [ferrit-cli ARGUMENT...]
// runs ferrit-cli's front end in this process, as ferrit-cli's main does (its lines on stdout and
// stderr), without the window or a display, and writes the seconds and processor seconds of
// that run into FILE: the run alone, without starting and ending a process, as for the window.
// The exit status is ferrit-cli's; nothing is written into FILE for a run that did not succeed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest/QTest>

#include "cli/cli_app.h"
#include "options/copy_options.h"
#include "platform/file_services.h"
#include "support/dialogs.h"
#include "ui/tform_ferrit.h"

namespace {

class UnattendedDialogs : public ferrit::Dialogs {
  public:
    ferrit::DialogAnswer Show(ferrit::DialogKind kind, const std::string& text,
                              ferrit::DialogButtons buttons) override {
        ++shown;
        std::fprintf(stderr, "%s: %s\n", ferrit::DialogCaption(kind), text.c_str());
        if (buttons & ferrit::Btn::OK)
            return ferrit::Answer::OK;
        if (buttons & ferrit::Btn::Abort)
            return ferrit::Answer::Abort;
        if (buttons & ferrit::Btn::No)
            return ferrit::Answer::No;
        return ferrit::Answer::Cancel;
    }
    void HourglassOn() override {}
    void HourglassOff() override {}

    int shown = 0;
};

template <class T>
T* Control(ferrit::TFormFerrit& window, const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    if (!widget) {
        std::fprintf(stderr, "the window has no control %s\n", name);
        std::exit(1);
    }
    return widget;
}

// Replaces the field's text key by key, as typed.
void Type(QComboBox* field, const QString& text) {
    field->lineEdit()->selectAll();
    QTest::keyClick(field->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(field->lineEdit(), text);
}

// Ticks the wanted options and unticks the others, by their check boxes. One item can grey or
// free another, so the list is gone over until nothing changes.
bool SetOptions(ferrit::TFormFerrit& window, QListWidget* list,
                const std::set<std::string>& wanted) {
    for (int pass = 0; pass < 4; ++pass) {
        bool changed = false;
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            const Qt::CheckState want =
                wanted.count(item->text().toStdString()) ? Qt::Checked : Qt::Unchecked;
            if ((item->flags() & Qt::ItemIsEnabled) && item->checkState() != want) {
                item->setCheckState(want);
                changed = true;
            }
        }
        if (!changed)
            break;
    }
    bool ok = true;
    for (int i = 0; i < ferrit::kOptionCount; ++i) {
        const bool want = wanted.count(ferrit::OptionCaptions[i]) != 0;
        if (window.Options().cbAllowed(static_cast<uint8_t>(i)) != want) {
            std::fprintf(stderr, "option \"%s\" cannot be %s here\n", ferrit::OptionCaptions[i],
                         want ? "put in force" : "taken out of force");
            ok = false;
        }
    }
    return ok;
}

// Times a run: the wall clock and the processor time of every thread of the process.
class RunTimer {
  public:
    RunTimer() : cpuAtStart_(std::clock()) { clock_.start(); }
    // Takes the figures of the run: from the start to now.
    void Stop() {
        seconds_ = clock_.nsecsElapsed() / 1e9;
        cpu_ = static_cast<double>(std::clock() - cpuAtStart_) / CLOCKS_PER_SEC;
    }
    // "SECONDS PROCESSOR-SECONDS".
    void Print(std::FILE* to) const { std::fprintf(to, "%.3f %.3f\n", seconds_, cpu_); }

  private:
    std::clock_t cpuAtStart_;
    QElapsedTimer clock_;
    double seconds_ = 0;
    double cpu_ = 0;
};

// ferrit-cli's main, timed from the call of its front end to its return.
int TimeCli(const char* into, int argc, char** argv) {
    ferrit::PrepareCliProcess();
    RunTimer timer;
    const int status = ferrit::RunCli(argc, argv, std::cout, std::cerr, std::cin);
    timer.Stop();
    std::fflush(stdout);
    std::fflush(stderr);
    if (status != ferrit::kExitDone) {
        return status;
    }
    std::FILE* file = std::fopen(into, "w");
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", into);
        return 1;
    }
    timer.Print(file);
    return std::fclose(file) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--cli-into") == 0) {
        const char* into = argv[2];
        // ferrit-cli's arguments follow the file; its program name goes before them.
        argv[2] = argv[0];
        return TimeCli(into, argc - 2, argv + 2);
    }
    ferrit::ReserveRunDescriptors();  // before the toolkit starts its threads
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOURCE TARGET [OPTION CAPTION...]\n", argv[0]);
        return 2;
    }
    std::set<std::string> wanted(argv + 3, argv + argc);

    UnattendedDialogs dialogs;
    ferrit::WindowServices services;
    services.dialogs = &dialogs;
    ferrit::TFormFerrit window(services);
    window.show();
    // The window's first paint belongs to its start, not to the run.
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    QCoreApplication::processEvents();
    dialogs.shown = 0;  // start-up messages (no NetWare client here) do not count

    Type(Control<QComboBox>(window, "ComboSource"), QString::fromLocal8Bit(argv[1]));
    Type(Control<QComboBox>(window, "ComboTarget"), QString::fromLocal8Bit(argv[2]));
    Type(Control<QComboBox>(window, "ComboPattern"), QStringLiteral("*.*"));
    if (!SetOptions(window, Control<QListWidget>(window, "clb"), wanted)) {
        return 1;
    }
    auto* start = Control<QAbstractButton>(window, "BitBtnStart");
    if (!start->isEnabled()) {
        std::fprintf(stderr, "Start is not available for these paths\n");
        return 1;
    }
    QCoreApplication::processEvents();

    RunTimer timer;
    QTest::mouseClick(start, Qt::LeftButton);
    // The click handler runs the whole transfer; the wait covers a run that outlives it.
    while (window.RunActive()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    timer.Stop();
    if (dialogs.shown != 0 || window.Run().LastErrorCode != 0) {
        std::fprintf(stderr, "the run reported %d message(s); no time is given\n", dialogs.shown);
        return 1;
    }
    timer.Print(stdout);
    std::fflush(stdout);
    window.close();
    return 0;
}
