#include "app/About.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include "TarnelBuildStamp.h"
#include "app/ImageList.h"
#include "platform/VersionRecord.h"

namespace tarnel {
namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

void OpenAddress(const char* address) {
    const QString text = QString::fromLatin1(address);
    if (Opener()) {
        Opener()(text);
    } else {
        QDesktopServices::openUrl(QUrl(text));  // a failure is silent
    }
}

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* MakeLink(QWidget* parent, int left, int top, const QString& text) {
    QLabel* link = MakeLabel(parent, left, top, text);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    // Drawn in the link colour: a label's text colour otherwise follows the window's
    // tooltip background, and would be the tooltip text colour.
    QPalette palette = link->palette();
    palette.setColor(QPalette::Link, Qt::blue);
    link->setPalette(palette);
    link->setForegroundRole(QPalette::Link);
    link->setCursor(Qt::PointingHandCursor);
    link->adjustSize();
    return link;
}

// The window manager's title bar and border around a window; none while it has not been
// on screen.
QMargins FrameMargins(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

QString HostOf(const char* address) {
    return QUrl(QString::fromLatin1(address)).host();
}

}  // namespace

UrlOpener SetUrlOpener(UrlOpener opener) {
    auto previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

TFabout::TFabout(QWidget* owner, const QString& executablePath)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      executablePath_(executablePath) {
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(244, 257);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);

    Panel = new QFrame(this);
    Panel->setGeometry(9, 8, 225, 121);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel->setLineWidth(2);
    Panel->setAutoFillBackground(true);
    QPalette white = Panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel->setPalette(white);
    Panel->setBackgroundRole(QPalette::Window);  // not the window's tooltip colour

    Image = new QLabel(Panel);
    Image->setGeometry(2, 2, 221, 117);
    Image->setAlignment(Qt::AlignCenter);
    Image->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image->setCursor(Qt::PointingHandCursor);

    Llink = MakeLink(this, 40, 136, HostOf(kFirstWebAddress));
    // A wide font must not let the first link run under the second, where a click on its
    // end would open the wrong address.
    Llink2 = MakeLink(this, std::max(112, Llink->geometry().right() + 9), 136,
                      HostOf(kSecondWebAddress));

    Bok = new QPushButton(QStringLiteral("OK"), this);
    Bok->setGeometry(160, 168, 75, 25);
    Bok->setDefault(true);
    connect(Bok, &QPushButton::clicked, this, &QDialog::accept);

    Labout = MakeLabel(this, 16, 176, QStringLiteral("\u00A9 Tarnel developers"));
    Lversion = MakeLabel(this, 16, 200, QString());
    Lcompiletime = MakeLabel(this, 16, 224, QStringLiteral("compile time: "));

    for (QObject* clickable : {static_cast<QObject*>(Image), static_cast<QObject*>(Llink),
                               static_cast<QObject*>(Llink2)}) {
        clickable->installEventFilter(this);
    }
    setTabOrder(Panel, Bok);

    FormCreate(this);
}

void TFabout::FormCreate(QObject*) {
    const auto version = ReadFileVersion(executablePath_.toStdString());
    if (!version) {
        Lversion->setText(Lversion->text() + QStringLiteral("unknown version"));
    } else {
        Lversion->setText(Lversion->text() + QStringLiteral("version %1.%2.%3 build %4")
                                                 .arg(version->major)
                                                 .arg(version->minor)
                                                 .arg(version->release)
                                                 .arg(version->build));
    }
    Lversion->adjustSize();
    Lcompiletime->setText(Lcompiletime->text() +
                          QStringLiteral(TARNEL_BUILD_DATE ", " TARNEL_BUILD_TIME));
    Lcompiletime->adjustSize();
}

void TFabout::showEvent(QShowEvent* event) {
    // The picture is read when first needed: most runs never open this window.
    if (Image->pixmap().isNull()) {
        Image->setPixmap(AboutPicture());
    }
    // Centred on the screen at every show, title bar and border included. They are known
    // once the window has been on screen; before that the main window's serve as estimate,
    // and Qt, not knowing them either, places the client area instead of the frame.
    if (const QScreen* screen = this->screen()) {
        const QMargins own = FrameMargins(this);
        QMargins frame = own;
        if (frame.isNull() && parentWidget() != nullptr) {
            frame = FrameMargins(parentWidget()->window());
        }
        const QSize outer = size().grownBy(frame);
        const QRect area = screen->availableGeometry();
        QPoint topLeft(area.left() + (area.width() - outer.width()) / 2,
                       area.top() + (area.height() - outer.height()) / 2);
        if (own.isNull()) {
            topLeft += QPoint(frame.left(), frame.top());
        }
        move(topLeft);
    }
    QDialog::showEvent(event);
}

void TFabout::keyPressEvent(QKeyEvent* event) {
    // OK is also the cancel button: Esc presses it, and the window closes with OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Bok->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFabout::LlinkClick(QObject*) {
    OpenAddress(kFirstWebAddress);
}

void TFabout::Llink2Click(QObject*) {
    OpenAddress(kSecondWebAddress);
}

bool TFabout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Llink2) {
            Llink2Click(watched);
        } else {
            LlinkClick(watched);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tarnel
