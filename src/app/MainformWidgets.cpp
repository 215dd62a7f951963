#include "app/MainformWidgets.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace tarnel {

void EtchedTopLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 1, width() - 1, 1);
}

StepProgressBar::StepProgressBar(QWidget* parent) : QProgressBar(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
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
