#include "ui/select_directory_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qt_dialogs.h"

namespace ferrit {

namespace {

QString NearestExisting(const QString& start) {
    QString dir =
        start.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(start));
    while (!dir.isEmpty()) {
        if (QFileInfo(dir).isDir()) {
            return dir;
        }
        const QString parent = QFileInfo(dir).path();
        if (parent == dir) {
            break;
        }
        dir = parent;
    }
    return QDir::currentPath();
}

}  // namespace

SelectDirectoryDialog::SelectDirectoryDialog(const QString& start, Dialogs& dialogs,
                                             FileServices& files, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), files_(files) {
    setObjectName(QStringLiteral("SelectDirectory"));
    setWindowTitle(QStringLiteral("Select Directory"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    UseFontOf(parent, this);

    auto* grid = new QGridLayout(this);
    auto* nameLabel = new QLabel(QStringLiteral("Directory &Name:"), this);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("DirectoryName"));
    nameLabel->setBuddy(name_);
    grid->addWidget(nameLabel, 0, 0, 1, 2);
    grid->addWidget(name_, 1, 0, 1, 2);

    path_ = new QLabel(this);
    path_->setTextFormat(Qt::PlainText);
    grid->addWidget(path_, 2, 0, 1, 2);

    auto* dirsLabel = new QLabel(QStringLiteral("&Directories:"), this);
    dirs_ = new QListWidget(this);
    dirs_->setObjectName(QStringLiteral("Directories"));
    dirsLabel->setBuddy(dirs_);
    grid->addWidget(dirsLabel, 3, 0);
    grid->addWidget(dirs_, 4, 0);

    auto* filesLabel = new QLabel(QStringLiteral("&Files: (*.*)"), this);
    files_list_ = new QListWidget(this);
    files_list_->setObjectName(QStringLiteral("Files"));
    files_list_->setSelectionMode(QAbstractItemView::NoSelection);
    filesLabel->setBuddy(files_list_);
    grid->addWidget(filesLabel, 3, 1);
    grid->addWidget(files_list_, 4, 1);

    // On this platform the "drives" are the roots the operator usually starts from.
    auto* drivesLabel = new QLabel(QStringLiteral("D&rives:"), this);
    drives_ = new QComboBox(this);
    drives_->setObjectName(QStringLiteral("Drives"));
    drivesLabel->setBuddy(drives_);
    drives_->addItem(QStringLiteral("/"));
    if (QDir::homePath() != QStringLiteral("/")) {
        drives_->addItem(QDir::homePath());
    }
    grid->addWidget(drivesLabel, 5, 0);
    grid->addWidget(drives_, 6, 0);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    grid->addWidget(box, 7, 0, 1, 2);
    connect(box, &QDialogButtonBox::accepted, this, &SelectDirectoryDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &SelectDirectoryDialog::reject);

    connect(dirs_, &QListWidget::itemActivated, this, &SelectDirectoryDialog::DirectoryActivated);
    connect(dirs_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        name_->setText(Resolve(item->data(Qt::UserRole).toString()));
    });
    connect(drives_, &QComboBox::activated, this,
            [this](int index) { Browse(drives_->itemText(index)); });

    resize(520, 380);
    Browse(NearestExisting(start));
}

QString SelectDirectoryDialog::Resolve(const QString& name) const {
    if (name.isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QDir(current_).absoluteFilePath(name));
}

void SelectDirectoryDialog::Browse(const QString& directory) {
    current_ = QDir::cleanPath(directory);
    name_->setText(current_);
    path_->setText(current_);
    dirs_->clear();
    files_list_->clear();
    QDir dir(current_);
    if (!dir.isRoot()) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), dirs_);
        up->setData(Qt::UserRole, QStringLiteral(".."));
    }
    const QStringList subdirs =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString& name : subdirs) {
        auto* item = new QListWidgetItem(name, dirs_);
        item->setData(Qt::UserRole, name);
    }
    files_list_->addItems(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name));
}

void SelectDirectoryDialog::DirectoryActivated(QListWidgetItem* item) {
    Browse(Resolve(item->data(Qt::UserRole).toString()));
}

void SelectDirectoryDialog::accept() {
    const QString typed = name_->text().trimmed();
    const QString path = Resolve(typed);
    if (!path.isEmpty() && files_.DirectoryExists(path.toStdString())) {
        chosen_ = path;
        QDialog::accept();
        return;
    }
    const DialogAnswer answer = dialogs_.Show(
        DialogKind::Confirmation, "The specified directory does not exist. Create it?", Btn::YesNo);
    if (answer != Answer::Yes) {
        return;  // No keeps the dialog open
    }
    if (path.isEmpty()) {
        ShowMessageBox(dialogs_, DialogKind::Error, "Unable to create directory");
        return;
    }
    // The result is not examined: a directory that could not be made simply does not exist,
    // and the window's evaluation of the field shows that.
    files_.CreateDirectories(path.toStdString());
    chosen_ = path;
    QDialog::accept();
}

bool SelectDirectoryDialog::Select(const QString& start, Dialogs& dialogs, FileServices& files,
                                   QWidget* parent, QString& chosen) {
    SelectDirectoryDialog dialog(start, dialogs, files, parent);
    const NormalCursorWhileOpen normalCursor;
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    chosen = dialog.Directory();
    return true;
}

}  // namespace ferrit
