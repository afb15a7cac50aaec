// The main window: Info, Settings and Progress tabs. It is the home of the option set, the three
// input fields, the status outlet and the event pump, and hands every decision to the engine,
// the option rules, the NetWare services and the settings file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "engine/logged_sink.h"
#include "engine/run_data.h"
#include "engine/transfer_engine.h"
#include "netware/directory_pair.h"
#include "netware/netware_client.h"
#include "netware/netware_services.h"
#include "nwemu/client_factory.h"
#include "options/copy_options.h"
#include "options/histories.h"
#include "options/settings_file.h"
#include "platform/file_services.h"
#include "platform/run_log.h"
#include "support/dialogs.h"
#include "ui/qt_dialogs.h"
#include "ui/window_status_sink.h"

class QComboBox;
class QLabel;
class QListWidgetItem;

namespace Ui {
class TFormFerrit;
}

namespace ferrit {

// What the window talks to outside itself. Each pointer left empty gets the real thing: Qt
// message boxes, the Linux file services, the NetWare client the configuration chooses (none,
// or the emulated one), the platform launcher.
struct WindowServices {
    Dialogs* dialogs = nullptr;
    FileServices* files = nullptr;
    NetWareClient* client = nullptr;
    std::function<int32_t(const std::string&)> launch;
};

class TFormFerrit : public QMainWindow {
    Q_OBJECT
  public:
    explicit TFormFerrit(WindowServices services = WindowServices(), QWidget* parent = nullptr);
    // Saves the settings (WriteDefaults) unless that was done already.
    ~TFormFerrit() override;

    // Event handlers, callable directly.
    // Evaluates the two paths; during a run only notes that they changed, for the run's end.
    void EditPathChange();
    void ButtonStartClick();
    void BitBtnAbortClick();
    void ButtonSelectSourceClick();
    void ButtonSelectTargetClick();
    void ButtonStopClick();
    void LaunchWebSite();
    // Opens the log of the last run.
    void BitBtnOpenLogClick();
    void clbClickCheck();
    // Saves option states, texts and histories; the second and later calls do nothing.
    void WriteDefaults();

    const OptionSet& Options() const { return options_; }
    const RunData& Run() const { return run_; }
    const DirectoryPair& Location() const { return location_; }
    bool RunActive() const { return running_; }
    const WindowStatusSink& Sink() const { return sink_; }
    // The log file of the last run; empty before one was written.
    const std::string& LastLog() const { return lastLog_; }

    // Moves the window (and shrinks it, where it is larger) onto the available area of the
    // screen that holds most of it, frame included.
    void FitOnScreen();

    // The address the Info tab shows and opens: this program's own documentation.
    static QString DocumentationAddress();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void CreateChecklistbox();
    void ReadDefaults();
    void ApplyFonts();
    void SyncOptionList();
    void OptionItemChanged(QListWidgetItem* item);
    void SelectDirectory(QComboBox* field);
    void SetFieldText(QComboBox* field, const std::string& text);
    void SetHistory(QComboBox* field, const std::vector<std::string>& items);
    SettingsFields CurrentFields() const;
    void UpdateStartButton();
    // Locations, Start, the fields' hints and the option rules from the two path texts.
    void EvaluatePaths();
    // Opens a new run log with its heading; the run goes on without one where none can be made.
    void OpenRunLog(const std::string& source, const std::string& target,
                    const std::string& pattern);
    // Ends the run's log with the summary and shows the summary; the log's failure is told.
    void FinishRunLog();
    // Opens a document through the launcher; says so in the status bar where nothing can.
    void OpenDocument(const std::string& address);

    std::unique_ptr<Ui::TFormFerrit> ui_;
    QLabel* closeNote_ = nullptr;  // in the status bar, owned by it

    // Services the window owns when none were handed in; declared before their references.
    std::unique_ptr<QtDialogs> ownDialogs_;
    std::unique_ptr<FileServices> ownFiles_;
    nwemu::NetWareClientChoice clientChoice_;  // the client in use when none was handed in
    Dialogs& dialogs_;
    FileServices& files_;
    NetWareClient& client_;
    std::function<int32_t(const std::string&)> launch_;

    // The process-wide records, owned here.
    RunData run_;
    DirectoryPair location_;  // the pair the path fields name, for what the window shows
    OptionSet options_;

    WindowStatusSink sink_;
    LoggedSink loggedSink_{sink_};  // the engine's outlet: the window, and the run's log
    RunLogFile log_;
    std::string logProblem_;  // why the run's log could not be made or written
    std::string lastLog_;
    RunDialogs runDialogs_{dialogs_, sink_};  // what the engine and the NetWare steps ask
    NetWareServices netware_;
    TransferEngine engine_;
    std::unique_ptr<SettingsFile> settings_;

    std::vector<std::string> sourceHistory_;
    std::vector<std::string> targetHistory_;
    std::vector<std::string> patternHistory_;

    bool running_ = false;            // inside ButtonStartClick
    bool closeRequested_ = false;     // Exit or the close box during a run
    bool askingToClose_ = false;      // the question whether to abort for closing is open
    bool pathEditDuringRun_ = false;  // a path changed during the run, not yet evaluated
    bool startPermitted_ = false;     // what the last path evaluation allows
    std::string startReason_;         // why it does not, for the button's tooltip
    bool syncingOptions_ = false;     // the program is updating the option list
    bool defaultsWritten_ = false;
    bool placed_ = false;  // outer size fixed after the first show
};

}  // namespace ferrit
