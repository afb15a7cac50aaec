// What the widget tests share: a window with scripted dialogs and a recorded launcher, a fresh
// configuration directory per test, and small helpers to reach the controls by their names.
#pragma once

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTimer>
#include <QtTest/QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/scripted_dialogs.h"
#include "testing/temp_dir.h"
#include "ui/tform_ferrit.h"

namespace ferrit {
using testing::AskedDialog;
using testing::ScriptedDialogs;

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        config_ = std::make_unique<testing::TempDir>();
        setenv("XDG_CONFIG_HOME", config_->path().c_str(), 1);
        setenv("XDG_STATE_HOME", config_->Path("state").c_str(), 1);
    }
    void TearDown() override {
        window_.reset();
        while (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
    }

    std::string IniPath() const { return config_->Path("Ferrit.Ini"); }
    void WriteIni(const std::string& text) { testing::WriteFile(IniPath(), text); }

    TFormFerrit& Open() {
        WindowServices services;
        services.dialogs = &dialogs_;
        services.launch = [this](const std::string& address) {
            launched_.push_back(address);
            return 42;
        };
        window_ = std::make_unique<TFormFerrit>(services);
        window_->show();
        QCoreApplication::processEvents();
        // The start-up messages (without a NetWare client, its failure) are kept apart, so the
        // tests see only the dialogs of what they do.
        startupDialogs_ = dialogs_.Asked();
        dialogs_.ClearRecord();
        return *window_;
    }
    std::vector<std::string> StartupTexts() const {
        std::vector<std::string> texts;
        for (const AskedDialog& d : startupDialogs_) texts.push_back(d.text);
        return texts;
    }
    // Destroys the window, which saves the settings.
    void Destroy() { window_.reset(); }

    template <class T>
    T* Get(const char* name) {
        T* widget = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(nullptr, widget) << name;
        return widget;
    }
    QComboBox* Combo(const char* name) { return Get<QComboBox>(name); }
    QAbstractButton* Button(const char* name) { return Get<QAbstractButton>(name); }
    QString LabelText(const char* name) { return Get<QLabel>(name)->text(); }
    QListWidget* Options() { return Get<QListWidget>("clb"); }
    QListWidget* Status() { return Get<QListWidget>("ListBoxStatus"); }
    QTabWidget* Pages() { return Get<QTabWidget>("PageControl1"); }

    bool Ticked(int i) { return Options()->item(i)->checkState() == Qt::Checked; }
    bool Enabled(int i) { return (Options()->item(i)->flags() & Qt::ItemIsEnabled) != 0; }
    bool StartEnabled() { return Button("BitBtnStart")->isEnabled(); }

    // Types into a field as the operator does, key by key.
    void Type(const char* field, const std::string& text) {
        QTest::keyClicks(Combo(field)->lineEdit(), QString::fromStdString(text));
    }
    // Replaces a field's text by typing: select all, then the new text.
    void Retype(const char* field, const std::string& text) {
        Combo(field)->lineEdit()->selectAll();
        QTest::keyClick(Combo(field)->lineEdit(), Qt::Key_Delete);
        Type(field, text);
    }
    void ShowTab(int index) {
        Pages()->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }
    // Presses Start on the Settings tab; returns when the run is over.
    void PressStart() {
        ShowTab(1);
        QTest::mouseClick(Button("BitBtnStart"), Qt::LeftButton);
    }
    std::vector<std::string> StatusLines() {
        std::vector<std::string> lines;
        for (int i = 0; i < Status()->count(); ++i) {
            lines.push_back(Status()->item(i)->text().toStdString());
        }
        return lines;
    }

    testing::TempDir tree_;
    ScriptedDialogs dialogs_;
    std::vector<AskedDialog> startupDialogs_;
    std::vector<std::string> launched_;
    std::unique_ptr<testing::TempDir> config_;
    std::unique_ptr<TFormFerrit> window_;
};

// Runs the action once, from inside the event pump, as soon as a run is under way (and the
// condition, when given, holds).
class DuringRun {
  public:
    DuringRun(TFormFerrit& window, std::function<void()> action,
              std::function<bool()> condition = nullptr)
        : action_(std::move(action)), condition_(std::move(condition)) {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, &window] {
            if (window.RunActive() && (!condition_ || condition_())) {
                timer_.stop();
                fired_ = true;
                action_();
            }
        });
        timer_.start();
    }
    bool Fired() const { return fired_; }

  private:
    QTimer timer_;
    std::function<void()> action_;
    std::function<bool()> condition_;
    bool fired_ = false;
};

}  // namespace ferrit
