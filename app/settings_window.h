#pragma once
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;
class QStatusBar;

// The settings window: edits the live settings in place. "Save" writes them
// to the ini file; closing the window sets the frame's passphrase timer.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(QWidget* parent = nullptr);
    ~SettingsWindow() override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void showConfig();
    QWidget* makeCommonTab();
    QWidget* makePgpTab();
    // Tolv's own: where keys are looked up (its [Tolv] section).
    QWidget* makeLookupTab();
    void save();
    void pickFile(QLineEdit* entry, QWidget* button, void (*store)(const std::string&));
    void focusNextAfter(QWidget* w);

    QLineEdit* iniPath_;
    QLineEdit* dllName_;
    QLineEdit* pubRing_;
    QLineEdit* secRing_;
    QSpinBox* timeOut_;
    QLineEdit* keyserver_;
    QCheckBox* useWkd_;
    QStatusBar* status_;
};
