#include "app/MainformWidgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace tarnel {
namespace {

// "&Attach" as a screen reader says it: "Attach" ("&&" stands for one ampersand).
QString WithoutMnemonic(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) {
            ++i;
        }
        plain += caption[i];
    }
    return plain;
}

// Qt exposes every checkable button as a check box; the Attach toggle is a button that
// stays pressed, so it keeps the button role and tells its state as checkable, checked and
// pressed.
class ToggleButtonAccessible : public QAccessibleWidget {
public:
    explicit ToggleButtonAccessible(ToggleButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return WithoutMnemonic(button()->text());
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        state.pressed = button()->isChecked() || button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction(), toggleAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == pressAction() || name == toggleAction()) {
            if (button()->isEnabled()) {
                button()->click();
            }
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction() || name == toggleAction()) {
            const QKeySequence keys = QKeySequence::mnemonic(button()->text());
            return keys.isEmpty() ? QStringList() : QStringList{keys.toString()};
        }
        return QAccessibleWidget::keyBindingsForAction(name);
    }

private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

// The interfaces of this file's controls that differ from Qt's defaults. `key` is a class
// name along the object's class chain; these classes have no meta-object of their own, so
// they are asked for under their Qt base class.
QAccessibleInterface* ControlAccessibility(const QString& key, QObject* object) {
    if (key == u"QToolButton") {
        if (auto* toggle = dynamic_cast<ToggleButton*>(object)) {
            return new ToggleButtonAccessible(toggle);
        }
    } else if (key == u"QFrame") {
        if (auto* line = dynamic_cast<EtchedTopLine*>(object)) {
            return new QAccessibleWidget(line, QAccessible::Separator);
        }
    }
    return nullptr;
}

void InstallControlAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ControlAccessibility);
        return true;
    }();
    (void)installed;
}

}  // namespace

EtchedTopLine::EtchedTopLine(QWidget* parent) : QFrame(parent) {
    InstallControlAccessibility();
    setAccessibleName(QStringLiteral("Target control"));
}

void EtchedTopLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 1, width() - 1, 1);
}

StepProgressBar::StepProgressBar(QWidget* parent) : QProgressBar(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Programming progress"));
}

QPixmap StepProgressBar::DrawBar(int progress) const {
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(palette().color(backgroundRole()));
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.rect = rect();
    option.minimum = 0;
    option.maximum = 1;
    option.progress = progress;
    QPainter painter(&picture);
    style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, this);
    return picture;
}

void StepProgressBar::paintEvent(QPaintEvent*) {
    const qint64 lookKey =
        palette().cacheKey() ^ (qint64(isEnabled()) << 62) ^ reinterpret_cast<qintptr>(style());
    if (empty_.deviceIndependentSize() != QSizeF(size()) ||
        empty_.devicePixelRatio() != devicePixelRatioF() || lookKey != lookKey_) {
        empty_ = DrawBar(0);
        full_ = DrawBar(1);
        lookKey_ = lookKey;
    }
    // A single position (minimum == maximum) shows as complete.
    const qint64 span = qint64(maximum()) - minimum();
    const double done = span <= 0 ? 1.0 : double(qint64(value()) - minimum()) / double(span);
    const int filled = qBound(0, qRound(done * width()), width());

    QPainter painter(this);
    painter.drawPixmap(0, 0, empty_);
    if (filled > 0) {
        const qreal ratio = full_.devicePixelRatio();
        painter.drawPixmap(QRectF(0, 0, filled, height()), full_,
                           QRectF(0, 0, filled * ratio, height() * ratio));
    }
}

FileNameEdit::FileNameEdit(QWidget* parent) : QLineEdit(parent) {
    setAccessibleName(QStringLiteral("Image file"));
    setAccessibleDescription(QStringLiteral("Path of the flash image file to program"));
}

void FileNameEdit::keyPressEvent(QKeyEvent* event) {
    // Qt's line edit takes Alt+letter as text; AltGr arrives without the Alt modifier.
    if ((event->modifiers() & Qt::AltModifier) != 0 && !event->text().isEmpty() &&
        event->text().front().isPrint()) {
        event->ignore();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FocusButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    QPainter painter(this);
    QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(3, 3, -4, -4));
}

ToggleButton::ToggleButton(QWidget* parent) : QToolButton(parent) {
    InstallControlAccessibility();
    // Qt tells screen readers that the checked state changed; the pressed state that this
    // button also shows changes with it.
    connect(this, &QToolButton::toggled, this, [this] {
        QAccessible::State changed;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    });
}

void ToggleButton::paintEvent(QPaintEvent*) {
    QStyleOptionToolButton option;
    initStyleOption(&option);
    if (isChecked()) {
        option.state |= QStyle::State_Sunken | QStyle::State_On;
        const QColor button = option.palette.color(QPalette::Button);
        const QColor highlight = option.palette.color(QPalette::Highlight);
        const QColor tinted((button.red() + highlight.red()) / 2,
                            (button.green() + highlight.green()) / 2,
                            (button.blue() + highlight.blue()) / 2);
        option.palette.setColor(QPalette::Button, tinted);
        option.palette.setColor(QPalette::Window, tinted);
    }
    QStylePainter painter(this);
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setIndent(2);
}

}  // namespace tarnel
