#include "app/Mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "app/About.h"
#include "app/Action.h"
#include "app/CommandLine.h"
#include "app/ImageFileDialog.h"
#include "app/ImageList.h"
#include "app/MainformWidgets.h"
#include "app/NativePath.h"
#include "report/Report.h"

namespace tarnel {
namespace {

constexpr int kClientWidth = 340;
constexpr int kClientHeight = 200;
constexpr int kStatusBarHeight = 19;

QPushButton* MakeButton(QWidget* parent, int left, int top, int width, int height) {
    auto* button = new FocusButton(parent);
    button->setGeometry(left, top, width, height);
    button->setIconSize(QSize(16, 16));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TFmainform::TFmainform(QWidget* owner, const CommandLineOptions& options) : QMainWindow(owner) {
    setWindowTitle(QStringLiteral("Tarnel"));
    setWindowIcon(WindowIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    ImageList = LoadImageList();

    BuildActions();
    BuildControls();
    BuildMenu();
    NameParts();

    // The client area below the menu bar is 340 x 200, status bar included.
    setFixedSize(kClientWidth, MainMenu->sizeHint().height() + kClientHeight);

    ApplyCommandLine(options);
}

TFmainform::~TFmainform() = default;

void TFmainform::NameParts() {
    Progress->setObjectName(QStringLiteral("Progress"));
    Bbrowse->setObjectName(QStringLiteral("Bbrowse"));
    Efilename->setObjectName(QStringLiteral("Efilename"));
    Bprogram->setObjectName(QStringLiteral("Bprogram"));
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    MIfile->setObjectName(QStringLiteral("MIfile"));
    MIfileopen->setObjectName(QStringLiteral("MIfileopen"));
    MIdevice->setObjectName(QStringLiteral("MIdevice"));
    MIdevattach->setObjectName(QStringLiteral("MIdevattach"));
    MIdevprogram->setObjectName(QStringLiteral("MIdevprogram"));
    ACfileopen->setObjectName(QStringLiteral("ACfileopen"));
    ACexit->setObjectName(QStringLiteral("ACexit"));
    MIexit->setObjectName(QStringLiteral("MIexit"));
    ACrun->setObjectName(QStringLiteral("ACrun"));
    ACstop->setObjectName(QStringLiteral("ACstop"));
    ACreset->setObjectName(QStringLiteral("ACreset"));
    MIdebug->setObjectName(QStringLiteral("MIdebug"));
    MIrun->setObjectName(QStringLiteral("MIrun"));
    MIstop->setObjectName(QStringLiteral("MIstop"));
    MIreset->setObjectName(QStringLiteral("MIreset"));
    MIhelp->setObjectName(QStringLiteral("MIhelp"));
    MIabout->setObjectName(QStringLiteral("MIabout"));
    Bevel->setObjectName(QStringLiteral("Bevel"));
    SBattach->setObjectName(QStringLiteral("SBattach"));
    Breset->setObjectName(QStringLiteral("Breset"));
    Bstop->setObjectName(QStringLiteral("Bstop"));
    Brun->setObjectName(QStringLiteral("Brun"));
    ACattach->setObjectName(QStringLiteral("ACattach"));
    ACprogram->setObjectName(QStringLiteral("ACprogram"));
    ACabout->setObjectName(QStringLiteral("ACabout"));
}

void TFmainform::BuildActions() {
    ALmain = new QObject(this);
    ALmain->setObjectName(QStringLiteral("ALmain"));
    ALdebug = new QObject(this);
    ALdebug->setObjectName(QStringLiteral("ALdebug"));

    ACfileopen = new Action(ALmain, QStringLiteral("&Open..."));
    ACfileopen->setCategory(QStringLiteral("File"));
    ACfileopen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), 0x4000 | 0x4F);
    ACfileopen->setImageIndex(5);
    ACfileopen->setHint(QStringLiteral("Open|Opens an existing file"));

    ACexit = new Action(ALmain, QStringLiteral("E&xit"));
    ACexit->setCategory(QStringLiteral("File"));
    ACexit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X), 0x8000 | 0x58);
    ACexit->setImageIndex(7);
    ACexit->setHint(QStringLiteral("Exit|Quits the application"));
    ACexit->setHandler([this](QObject*) { close(); });

    // Device actions are held off while a Program request or an attach runs (they are
    // disabled then; this also covers a direct call): the link is the request's until it
    // ends. A held-off Attach click leaves the toggle as it was.
    const auto deviceAction = [this](void (TFmainform::*handler)(QObject*)) {
        return [this, handler](QObject* sender) {
            if (busy_) {
                SyncAttachButton();
                return;
            }
            (this->*handler)(sender);
        };
    };

    ACattach = new Action(ALmain, QStringLiteral("&Attach"));
    ACattach->setImageIndex(1);
    ACattach->setCheckable(true);
    ACattach->setHandler(deviceAction(&TFmainform::ACattachExecute));

    ACprogram = new Action(ALmain, QStringLiteral("&Program"));
    ACprogram->setImageIndex(6);
    ACprogram->setHandler(deviceAction(&TFmainform::ACprogramExecute));

    ACabout = new Action(ALmain, QStringLiteral("About"));
    ACabout->setShortcut(QKeySequence(Qt::Key_F1), 112);
    ACabout->setHandler([this](QObject* sender) { ACaboutExecute(sender); });

    ACrun = new Action(ALdebug, QStringLiteral("&Run"));
    ACrun->setImageIndex(2);
    ACrun->setEnabled(false);
    ACrun->setHandler(deviceAction(&TFmainform::ACrunExecute));

    ACstop = new Action(ALdebug, QStringLiteral("&Stop"));
    ACstop->setImageIndex(3);
    ACstop->setEnabled(false);
    ACstop->setHandler(deviceAction(&TFmainform::ACstopExecute));

    ACreset = new Action(ALdebug, QStringLiteral("R&eset"));
    ACreset->setImageIndex(4);
    ACreset->setEnabled(false);
    ACreset->setHandler(deviceAction(&TFmainform::ACresetExecute));

    // The open-file action owns its dialog, made when first needed: building it costs more
    // than the rest of the window.
    ACfileopen->setHandler([this](QObject*) { fileDialog()->open(); });
}

QFileDialog* TFmainform::fileDialog() {
    if (fileDialog_ == nullptr) {
        fileDialog_ = MakeImageFileDialog(this);
        connect(fileDialog_, &QFileDialog::accepted, this,
                [this] { ACfileopenAccept(fileDialog_); });
    }
    return fileDialog_;
}

void TFmainform::BuildControls() {
    auto* client = new QWidget(this);
    client->setAutoFillBackground(true);
    client->setBackgroundRole(QPalette::Button);
    client->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    setCentralWidget(client);

    Bevel = new EtchedTopLine(client);
    Bevel->setGeometry(0, 128, 337, 57);

    Efilename = new FileNameEdit(client);
    Efilename->setGeometry(8, 8, 241, 21);

    Bbrowse = MakeButton(client, 256, 8, 75, 25);
    BindButton(Bbrowse, ACfileopen, ImageList);

    Progress = new StepProgressBar(client);
    Progress->setGeometry(8, 48, 321, 16);
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    Progress->setFocusPolicy(Qt::NoFocus);  // last in tab order, but no tab stop

    Bprogram = MakeButton(client, 96, 82, 155, 25);
    Bprogram->setDefault(true);
    BindButton(Bprogram, ACprogram, ImageList);

    SBattach = new ToggleButton(client);
    SBattach->setGeometry(8, 144, 75, 25);
    SBattach->setText(QStringLiteral("&Attach"));
    SBattach->setIcon(ImageList.value(1));
    SBattach->setIconSize(QSize(16, 16));
    SBattach->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SBattach->setCheckable(true);
    SBattach->setFocusPolicy(Qt::NoFocus);
    connect(SBattach, &QToolButton::clicked, this, [this] { SBattachClick(SBattach); });

    Brun = MakeButton(client, 96, 144, 75, 25);
    BindButton(Brun, ACrun, ImageList);
    Bstop = MakeButton(client, 176, 144, 75, 25);
    BindButton(Bstop, ACstop, ImageList);
    Breset = MakeButton(client, 256, 144, 75, 25);
    BindButton(Breset, ACreset, ImageList);
    for (QPushButton* button : {Brun, Bstop, Breset}) {
        button->setFocusPolicy(Qt::ClickFocus);  // not tab stops
    }

    setTabOrder(Bbrowse, Efilename);
    setTabOrder(Efilename, Bprogram);
    setTabOrder(Bprogram, Brun);
    setTabOrder(Brun, Bstop);
    setTabOrder(Bstop, Breset);
    setTabOrder(Breset, Progress);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(kStatusBarHeight);
    StatusBar->setContentsMargins(2, 0, 2, 1);  // the panel's sunken edges stay in sight
    statusPanel_ = new StatusPanel(StatusBar);
    StatusBar->addWidget(statusPanel_, 1);
    setStatusBar(StatusBar);
}

void TFmainform::BuildMenu() {
    MainMenu = new QMenuBar(this);
    setMenuBar(MainMenu);
    auto item = [](QMenu* menu, Action* action) {
        QAction* menuItem = menu->addAction(action->caption());
        BindMenuItem(menuItem, action);
        return menuItem;
    };
    MIfile = MainMenu->addMenu(QStringLiteral("File"));
    MIfileopen = item(MIfile, ACfileopen);
    MIexit = item(MIfile, ACexit);
    MIdevice = MainMenu->addMenu(QStringLiteral("Device"));
    MIdevattach = item(MIdevice, ACattach);
    MIdevprogram = item(MIdevice, ACprogram);
    MIdebug = MainMenu->addMenu(QStringLiteral("Debug"));
    MIrun = item(MIdebug, ACrun);
    MIstop = item(MIdebug, ACstop);
    MIreset = item(MIdebug, ACreset);
    MIhelp = MainMenu->addMenu(QStringLiteral("Help"));
    MIabout = item(MIhelp, ACabout);

    // F10 opens the menu bar at its first heading, as on every desktop. The headings carry
    // no mnemonics, so this is the keyboard's way in.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { MainMenu->setActiveAction(MIfile->menuAction()); });
}

void TFmainform::ApplyCommandLine(const CommandLineOptions& options) {
    if (options.closeAfterProgram) {
        closeAfterProgram_ = 1;
    }
    if (options.programAtStart) {
        programAtStart_ = 1;
    }
    if (options.fileName) {
        Efilename->setText(PathToQString(*options.fileName));
    }
}

QString TFmainform::statusText() const {
    return statusPanel_->text();
}

void TFmainform::setStatusText(const QString& text) {
    statusPanel_->setText(text);
    emit statusTextChanged(text);
}

void TFmainform::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Bbrowse->setFocus();
    // FormShow runs once the window is on screen and painted: the expose that the platform
    // sends once the window is mapped repaints it, and the queued call comes after. A
    // window that is never exposed (shown on a hidden workspace) gets FormShow a bounded
    // time after the show, so that -p still starts.
    windowHandle()->installEventFilter(this);
    QTimer::singleShot(kFormShowLatest, this, [this] { QueueFormShow(); });
}

bool TFmainform::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose &&
        windowHandle()->isExposed()) {
        QueueFormShow();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFmainform::QueueFormShow() {
    if (formShowQueued_) {
        return;
    }
    formShowQueued_ = true;
    windowHandle()->removeEventFilter(this);
    QMetaObject::invokeMethod(
        this, [this] { FormShow(this); }, Qt::QueuedConnection);
}

void TFmainform::FormShow(QObject*) {
    QApplication::processEvents();
    if (programAtStart_ != 0) {
        Bprogram->click();
    }
}

void TFmainform::ACfileopenAccept(QObject* sender) {
    auto* dialog = qobject_cast<QFileDialog*>(sender);
    if (dialog == nullptr || dialog->selectedFiles().isEmpty()) {
        return;
    }
    // The system's own separators: Qt hands back "/" on Windows too.
    Efilename->setText(QDir::toNativeSeparators(dialog->selectedFiles().first()));
}

void TFmainform::closeEvent(QCloseEvent* event) {
    // A close that arrives while a Program request or an attach runs (from its message
    // processing) is carried out once it has ended.
    if (busy_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    FormClose(this);
    event->accept();
}

void TFmainform::FormClose(QObject*) {
    if (ACattach->isChecked()) {
        ACattach->execute(this);
    }
}

void TFmainform::keyPressEvent(QKeyEvent* event) {
    // Enter clicks the push button that has the focus, otherwise the default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focused ? focused : Bprogram;
        if (target->isEnabled()) {
            target->click();
        }
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TFmainform::ACaboutExecute(QObject*) {
    if (about_ != nullptr) {
        about_->exec();
    }
}

void TFmainform::SBattachClick(QObject*) {
    ACattach->execute(SBattach);
    SyncAttachButton();
}

void TFmainform::SyncAttachButton() {
    SBattach->setChecked(ACattach->isChecked());
}

}  // namespace tarnel
