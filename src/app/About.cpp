#include "app/About.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include "TarnelBuildStamp.h"
#include "app/ImageList.h"
#include "app/NativePath.h"
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

// One web address shown by its host name as a real link: the mouse and the keyboard (Tab
// to it, Enter) follow it, and screen readers meet it as a link.
class LinkLabel : public QLabel {
public:
    LinkLabel(QWidget* parent, const char* address)
        : QLabel(parent), address_(QString::fromLatin1(address)) {
        setTextFormat(Qt::RichText);
        setText(QStringLiteral("<a href=\"%1\">%2</a>")
                    .arg(address_.toHtmlEscaped(), QUrl(address_).host().toHtmlEscaped()));
        setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        // Plain blue, whatever colour the desktop's palette gives links.
        QPalette palette = this->palette();
        palette.setColor(QPalette::Link, Qt::blue);
        setPalette(palette);
        setCursor(Qt::PointingHandCursor);
        adjustSize();
    }

    // Follows the link as a click would.
    void follow() { emit linkActivated(address_); }

protected:
    // Enter follows the link whenever the label has the focus, also after it was followed
    // once (Qt's own handling then drops the link's selection and passes Enter on to OK).
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            follow();
            return;
        }
        QLabel::keyPressEvent(event);
    }
    // One link per label: Tab always goes on to the next control, past the label's own
    // stepping from link to link.
    bool focusNextPrevChild(bool next) override {
        return QFrame::focusNextPrevChild(next);  // NOLINT(bugprone-parent-virtual-call)
    }
    // The focus shows as a dotted frame, as on the buttons.
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(this);
            painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    QString address_;
};

class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            QTextDocument document;
            document.setHtml(static_cast<QLabel*>(widget())->text());
            return document.toPlainText();
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            static_cast<LinkLabel*>(widget())->follow();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

// Qt takes every label for static text; the link labels are links.
QAccessibleInterface* LinkAccessibility(const QString& key, QObject* object) {
    if (key == u"QLabel") {
        if (auto* link = dynamic_cast<LinkLabel*>(object)) {
            return new LinkAccessible(link);
        }
    }
    return nullptr;
}

QLabel* MakeLink(QWidget* parent, int left, int top, const char* address) {
    static const bool installed = [] {
        QAccessible::installFactory(&LinkAccessibility);
        return true;
    }();
    (void)installed;
    auto* link = new LinkLabel(parent, address);
    link->move(left, top);
    return link;
}

// The window manager's title bar and border around a window; none while it has not been
// on screen.
QMargins FrameMargins(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
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

    Image->setAccessibleName(QStringLiteral("Tarnel logo"));
    Image->setAccessibleDescription(QStringLiteral("A click opens ") +
                                    QString::fromLatin1(kFirstWebAddress));

    Llink = MakeLink(this, 40, 136, kFirstWebAddress);
    // A wide font must not let the first link run under the second, where a click on its
    // end would open the wrong address.
    Llink2 = MakeLink(this, std::max(112, Llink->geometry().right() + 9), 136, kSecondWebAddress);
    connect(Llink, &QLabel::linkActivated, this, [this] { LlinkClick(Llink); });
    connect(Llink2, &QLabel::linkActivated, this, [this] { Llink2Click(Llink2); });

    Bok = new QPushButton(QStringLiteral("OK"), this);
    Bok->setGeometry(160, 168, 75, 25);
    Bok->setDefault(true);
    connect(Bok, &QPushButton::clicked, this, &QDialog::accept);

    Labout = MakeLabel(this, 16, 176, QStringLiteral("\u00A9 Tarnel developers"));
    Lversion = MakeLabel(this, 16, 200, QString());
    Lcompiletime = MakeLabel(this, 16, 224, QStringLiteral("compile time: "));

    Image->installEventFilter(this);
    // OK, then the two links.
    setTabOrder(Panel, Bok);
    setTabOrder(Bok, Llink);
    setTabOrder(Llink, Llink2);

    FormCreate(this);
}

void TFabout::FormCreate(QObject*) {
    const auto version = ReadFileVersion(PathFromQString(executablePath_));
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
    // Every show starts on OK, whichever link had the focus before, so Enter closes it.
    Bok->setFocus();
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
    // A click on the picture opens the first address.
    if (watched == Image && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LlinkClick(watched);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tarnel
