#pragma once
// The main window's own kinds of control: small changes to Qt's widgets so that they look
// and behave as the window's layout asks.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace tarnel {

// An etched line along the top edge: the separator above the debug buttons.
class EtchedTopLine : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A progress bar whose range may shrink to a single position (maximum 0, one page to
// program): it then shows as complete, where a plain bar would show a busy animation.
class StepProgressBar : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The file box. A key pressed with Alt is a command, never text: it goes on to the window
// (menus, mnemonics) instead of typing its letter into the file name.
class FileNameEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A push button that shows a dotted focus rectangle whenever it has the focus, not only
// after the keyboard has moved it, so the focus is always plain to see.
class FocusButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The Attach toggle: while down it is drawn sunken and tinted with the highlight colour,
// so the pressed state cannot be mistaken for the raised one.
class ToggleButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The status bar's one panel: a sunken frame around its text.
class StatusPanel : public QLabel {
public:
    explicit StatusPanel(QWidget* parent);
};

}  // namespace tarnel
