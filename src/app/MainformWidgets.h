#pragma once
// The main window's own kinds of control: small changes to Qt's widgets so that they look
// and behave as the window's layout asks.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace tarnel {

// An etched line along the top edge: the separator above the debug buttons. Screen readers
// meet it as a separator, not as an empty frame.
class EtchedTopLine : public QFrame {
public:
    explicit EtchedTopLine(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A progress bar whose range may shrink to a single position (maximum 0, one page to
// program): it then shows as complete, where a plain bar would show a busy animation.
// Programming moves it dozens of times, each a synchronous repaint, and the style's
// drawing of a bar is costly; so the empty and the full bar are drawn by the style once
// per size and look, and each repaint shows the full one up to the position over the
// empty one. The pictures carry the flat background of the window behind the bar, so a
// repaint need not paint the window first.
class StepProgressBar : public QProgressBar {
public:
    explicit StepProgressBar(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap DrawBar(int progress) const;

    QPixmap empty_;
    QPixmap full_;
    qint64 lookKey_ = 0;  // palette, enabled state and style the pictures were drawn with
};

// The file box. A key pressed with Alt is a command, never text: it goes on to the window
// (menus, mnemonics) instead of typing its letter into the file name.
class FileNameEdit : public QLineEdit {
public:
    explicit FileNameEdit(QWidget* parent);

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
// so the pressed state cannot be mistaken for the raised one. Screen readers meet it as a
// toggle button (a button that is checkable and pressed while down), not as a check box.
class ToggleButton : public QToolButton {
public:
    explicit ToggleButton(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The status bar's one panel: a sunken frame around its text.
class StatusPanel : public QLabel {
public:
    explicit StatusPanel(QWidget* parent);
};

}  // namespace tarnel
