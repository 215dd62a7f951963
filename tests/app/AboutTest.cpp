#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "app/About.h"
#include "platform/ExecutablePath.h"

namespace tarnel {
namespace {

const QString kTarnel = QString::fromUtf8(TARNEL_BIN_DIR) + "/tarnel";

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
    EXPECT_EQ(about.Llink->text(), "tarnel.example");
    EXPECT_EQ(about.Llink2->text(), "boards.tarnel.example");
}

TEST_F(AboutTest, EnterAndEscapeCloseTheWindowAndTextsStayTheSame) {
    TFabout about(nullptr, kTarnel);
    const QString version = about.Lversion->text();
    const QString stamp = about.Lcompiletime->text();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QTimer::singleShot(0, &about, [&about, key] { QTest::keyClick(&about, key); });
        about.exec();
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(about.Lversion->text(), version);
    EXPECT_EQ(about.Lcompiletime->text(), stamp);
}

}  // namespace
}  // namespace tarnel
