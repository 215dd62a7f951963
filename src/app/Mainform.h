#pragma once
// The main window: file box, Open button, progress bar, Program button, the Attach toggle
// with Run, Stop and Reset, a status bar and a menu bar. Every user command is an Action.

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <chrono>

#include "app/CommandLine.h"

class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace tarnel {

class Action;
class TFabout;

// The longest wait from showing the window to FormShow (and -p) when the window is not
// exposed before it.
inline constexpr std::chrono::milliseconds kFormShowLatest{1000};

class TFmainform : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window, then takes the options of the command line: -c/-cc, -p and the
    // file name (the quiet flag of -cc is the entry function's to set).
    explicit TFmainform(QWidget* owner, const CommandLineOptions& options = {});
    ~TFmainform() override;

    void FormShow(QObject* sender);
    void ACfileopenAccept(QObject* sender);
    void ACattachExecute(QObject* sender);
    void SBattachClick(QObject* sender);
    void ACprogramExecute(QObject* sender);
    void FormClose(QObject* sender);
    void ACrunExecute(QObject* sender);
    void ACstopExecute(QObject* sender);
    void ACresetExecute(QObject* sender);
    void ACaboutExecute(QObject* sender);

    int closeAfterProgram() const { return closeAfterProgram_; }
    int programAtStart() const { return programAtStart_; }

    // Text of the status bar's one panel.
    QString statusText() const;
    void setStatusText(const QString& text);

    // The About window that ACaboutExecute shows.
    void setAboutWindow(TFabout* about) { about_ = about; }
    // The open-file dialog owned by ACfileopen, created on first use.
    QFileDialog* fileDialog();

signals:
    // The status panel was given a new text.
    void statusTextChanged(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The widgets and actions. Each QObject among them carries its member's name as its
    // object name, so that tests find it as a person would (findChild), not by a member.
    QProgressBar* Progress = nullptr;
    QPushButton* Bbrowse = nullptr;
    QLineEdit* Efilename = nullptr;
    QPushButton* Bprogram = nullptr;
    QStatusBar* StatusBar = nullptr;
    QMenuBar* MainMenu = nullptr;
    QMenu* MIfile = nullptr;
    QAction* MIfileopen = nullptr;
    QMenu* MIdevice = nullptr;
    QAction* MIdevattach = nullptr;
    QAction* MIdevprogram = nullptr;
    QObject* ALmain = nullptr;
    Action* ACfileopen = nullptr;
    Action* ACexit = nullptr;
    QAction* MIexit = nullptr;
    QObject* ALdebug = nullptr;
    Action* ACrun = nullptr;
    Action* ACstop = nullptr;
    Action* ACreset = nullptr;
    QMenu* MIdebug = nullptr;
    QAction* MIrun = nullptr;
    QAction* MIstop = nullptr;
    QAction* MIreset = nullptr;
    QMenu* MIhelp = nullptr;
    QAction* MIabout = nullptr;
    QList<QIcon> ImageList;
    QFrame* Bevel = nullptr;
    QToolButton* SBattach = nullptr;
    QPushButton* Breset = nullptr;
    QPushButton* Bstop = nullptr;
    QPushButton* Brun = nullptr;
    Action* ACattach = nullptr;
    Action* ACprogram = nullptr;
    Action* ACabout = nullptr;

    void BuildActions();
    void BuildControls();
    void BuildMenu();
    void NameParts();
    void ApplyCommandLine(const CommandLineOptions& options);
    // Shows the attached state on SBattach after a handler of the attach toggle.
    void SyncAttachButton();
    // Shows the target as attached or detached: the toggle, Run, Stop and Reset.
    void ShowAttached(bool attached);
    // Ends a Program request under -c/-cc, or after a failure when running headless.
    void CloseStep();
    // While a Program request or an attach runs, every control that would start device
    // work or open a window is disabled and the wait cursor shows. LeaveBusy first serves
    // the input given meanwhile, still disabled, so that none of it acts after the work.
    void EnterBusy();
    void LeaveBusy();
    // Carries out a close that arrived while busy.
    void ClosePendingWindow();
    // Queues FormShow, once: at the first expose, or kFormShowLatest after the show.
    void QueueFormShow();

    int closeAfterProgram_ = 0;
    int programAtStart_ = 0;
    bool shown_ = false;
    bool formShowQueued_ = false;
    bool busy_ = false;
    bool closePending_ = false;
    QPointer<QWidget> focusBeforeBusy_;
    QLabel* statusPanel_ = nullptr;
    QFileDialog* fileDialog_ = nullptr;
    TFabout* about_ = nullptr;
};

}  // namespace tarnel
