#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <string>

#include "app/About.h"
#include "platform/ExecutablePath.h"

namespace tarnel {
namespace {

const QString kTarnel = QString::fromUtf8(TARNEL_BIN_DIR) + "/tarnel" + TARNEL_EXE_SUFFIX;

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = SetUrlOpener([this](const QString& address) { opened_.append(address); });
    }
    void TearDown() override { SetUrlOpener(std::move(previous_)); }

    QStringList opened_;
    UrlOpener previous_;
};

TEST_F(AboutTest, ShowsTheVersionRecordOfTheExecutable) {
    TFabout about(nullptr, kTarnel);
    EXPECT_EQ(about.Lversion->text(), "version 1.0.0 build 3");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.Bok->text(), "OK");
    EXPECT_EQ(about.size(), QSize(244, 257));
}

TEST_F(AboutTest, AFileWithoutARecordGivesUnknownVersionAndStillTheBuildStamp) {
    // The test program itself carries no version record.
    TFabout about(nullptr, QString::fromStdString(ExecutablePath()));
    EXPECT_EQ(about.Lversion->text(), "unknown version");
    const QString stamp = about.Lcompiletime->text();
    ASSERT_TRUE(stamp.startsWith("compile time: "));
    // "Mmm dd yyyy, hh:mm:ss"
    EXPECT_TRUE(
        QRegularExpression(R"(^compile time: [A-Z][a-z]{2} [ 1-3]\d \d{4}, \d\d:\d\d:\d\d$)")
            .match(stamp)
            .hasMatch())
        << stamp.toStdString();
}

TEST_F(AboutTest, LinksAndPictureOpenTheirAddresses) {
    TFabout about(nullptr, kTarnel);
    about.show();
    QTest::mouseClick(about.Llink, Qt::LeftButton);
    QTest::mouseClick(about.Llink2, Qt::LeftButton);
    QTest::mouseClick(about.Image, Qt::LeftButton);
    EXPECT_EQ(opened_, (QStringList{kFirstWebAddress, kSecondWebAddress, kFirstWebAddress}));
}

TEST_F(AboutTest, TabReachesTheLinksAfterOkAndEnterFollowsThem) {
    TFabout about(nullptr, kTarnel);
    about.show();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    const auto press = [&about](Qt::Key key) {
        QWidget* focused = about.focusWidget();
        ASSERT_NE(focused, nullptr);
        QTest::keyClick(focused, key);
    };
    EXPECT_EQ(about.focusWidget(), about.Bok);
    press(Qt::Key_Tab);
    EXPECT_EQ(about.focusWidget(), about.Llink);
    press(Qt::Key_Return);
    press(Qt::Key_Return);  // again: the link, not OK
    press(Qt::Key_Tab);
    EXPECT_EQ(about.focusWidget(), about.Llink2);
    press(Qt::Key_Enter);
    EXPECT_EQ(opened_, (QStringList{kFirstWebAddress, kFirstWebAddress, kSecondWebAddress}));
    EXPECT_TRUE(about.isVisible());  // following a link leaves the window open

    // The next show starts on OK again, so Enter closes.
    about.hide();
    about.show();
    EXPECT_EQ(about.focusWidget(), about.Bok);
}

TEST_F(AboutTest, ControlsStayApartInsideTheWindowAndLinksShowBlue) {
    TFabout about(nullptr, kTarnel);
    about.show();
    const QList<QWidget*> controls{about.Panel,  about.Llink,    about.Llink2,      about.Bok,
                                   about.Labout, about.Lversion, about.Lcompiletime};
    for (int i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(controls[i]->metaObject()->className() + std::to_string(i));
        EXPECT_TRUE(about.rect().contains(controls[i]->geometry()));
        for (int j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry())) << j;
        }
    }
    // What the window draws: some pixel of each link is clearly blue, and the panel is
    // white around the picture.
    for (QLabel* link : {about.Llink, about.Llink2}) {
        const QImage image = link->grab().toImage();
        bool blue = false;
        for (int y = 0; y < image.height() && !blue; ++y) {
            for (int x = 0; x < image.width() && !blue; ++x) {
                const QColor c = image.pixelColor(x, y);
                blue = c.blue() > 200 && c.red() < 80 && c.green() < 80;
            }
        }
        EXPECT_TRUE(blue) << link->text().toStdString();
    }
    const QImage panel = about.Panel->grab().toImage();
    EXPECT_EQ(panel.pixelColor(panel.width() / 2, 8), QColor(Qt::white));
}

TEST_F(AboutTest, EveryShowIsCentredOnTheScreen) {
    TFabout about(nullptr, kTarnel);
    for (int show = 0; show < 2; ++show) {
        SCOPED_TRACE(show);
        about.show();
        EXPECT_EQ(about.frameGeometry().center(), about.screen()->availableGeometry().center());
        about.move(3, 5);  // the user moves it, then closes it
        about.hide();
    }
}

TEST_F(AboutTest, EnterAndEscapeCloseTheWindowAndTextsStayTheSame) {
    TFabout about(nullptr, kTarnel);
    const QString version = about.Lversion->text();
    const QString stamp = about.Lcompiletime->text();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QTimer::singleShot(0, &about, [&about, key] { QTest::keyClick(&about, key); });
        EXPECT_EQ(about.exec(), QDialog::Accepted);  // both press OK
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(about.Lversion->text(), version);
    EXPECT_EQ(about.Lcompiletime->text(), stamp);
}

}  // namespace
}  // namespace tarnel
