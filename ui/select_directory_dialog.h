// The "Select Directory" dialog: a directory-name field that accepts names that do not exist
// yet, the directories and files of the directory being browsed, and OK and Cancel. OK with a
// name that does not exist asks whether to create it.
#pragma once

#include <QDialog>
#include <QString>

#include "platform/file_services.h"
#include "support/dialogs.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QLabel;

namespace ferrit {

class SelectDirectoryDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens at the start directory, or at its nearest existing parent (the current directory
    // when there is none).
    SelectDirectoryDialog(const QString& start, Dialogs& dialogs, FileServices& files,
                          QWidget* parent = nullptr);

    // The chosen directory after OK: absolute and without a trailing separator (except "/").
    QString Directory() const { return chosen_; }

    void accept() override;

    // Shows the dialog; true with the chosen directory on OK, false on Cancel.
    static bool Select(const QString& start, Dialogs& dialogs, FileServices& files, QWidget* parent,
                       QString& chosen);

  private:
    void Browse(const QString& directory);
    void DirectoryActivated(QListWidgetItem* item);
    QString Resolve(const QString& name) const;

    Dialogs& dialogs_;
    FileServices& files_;
    QString current_;
    QString chosen_;
    QLineEdit* name_ = nullptr;
    QComboBox* drives_ = nullptr;
    QListWidget* dirs_ = nullptr;
    QListWidget* files_list_ = nullptr;
    QLabel* path_ = nullptr;
};

}  // namespace ferrit
