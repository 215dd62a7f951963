#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/About.h"
#include "app/Action.h"
#include "app/Mainform.h"
#include "platform/ExecutablePath.h"
#include "report/Report.h"

namespace tarnel {
namespace {

class MainformLayout : public ::testing::Test {
protected:
    TFmainform window{nullptr, {}};
};

TEST_F(MainformLayout, ControlsStandWhereTheLayoutPutsThem) {
    struct Placement {
        QWidget* widget;
        QRect geometry;
    };
    const Placement placements[] = {
        {window.Efilename, {8, 8, 241, 21}}, {window.Bbrowse, {256, 8, 75, 25}},
        {window.Progress, {8, 48, 321, 16}}, {window.Bprogram, {96, 82, 155, 25}},
        {window.Bevel, {0, 128, 337, 57}},   {window.SBattach, {8, 144, 75, 25}},
        {window.Brun, {96, 144, 75, 25}},    {window.Bstop, {176, 144, 75, 25}},
        {window.Breset, {256, 144, 75, 25}},
    };
    for (const auto& p : placements) {
        SCOPED_TRACE(p.widget->metaObject()->className());
        EXPECT_EQ(p.widget->geometry(), p.geometry);
    }
}

TEST_F(MainformLayout, WindowIsFixedWithA340By200ClientAreaBelowTheMenu) {
    EXPECT_EQ(window.windowTitle(), "Tarnel");
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.width(), 340);
    EXPECT_EQ(window.height() - window.MainMenu->sizeHint().height(), 200);
    EXPECT_EQ(window.StatusBar->height(), 19);
    EXPECT_FALSE(window.StatusBar->isSizeGripEnabled());
    EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(MainformLayout, ActionsHaveTheirCaptionsShortcutsImagesAndStartStates) {
    struct Expected {
        Action* action;
        const char* caption;
        int shortcutCode;
        QKeySequence keys;
        int image;
        bool enabled;
    };
    const Expected expected[] = {
        {window.ACfileopen, "&Open...", 16463, QKeySequence(Qt::CTRL | Qt::Key_O), 5, true},
        {window.ACexit, "E&xit", 32856, QKeySequence(Qt::ALT | Qt::Key_X), 7, true},
        {window.ACattach, "&Attach", 0, QKeySequence(), 1, true},
        {window.ACprogram, "&Program", 0, QKeySequence(), 6, true},
        {window.ACabout, "About", 112, QKeySequence(Qt::Key_F1), -1, true},
        {window.ACrun, "&Run", 0, QKeySequence(), 2, false},
        {window.ACstop, "&Stop", 0, QKeySequence(), 3, false},
        {window.ACreset, "R&eset", 0, QKeySequence(), 4, false},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(e.action->caption(), e.caption);
        EXPECT_EQ(e.action->shortcutCode(), e.shortcutCode);
        EXPECT_EQ(e.action->shortcut(), e.keys);
        EXPECT_EQ(e.action->imageIndex(), e.image);
        EXPECT_EQ(e.action->isEnabled(), e.enabled);
        EXPECT_FALSE(e.action->isChecked());
    }
    EXPECT_EQ(window.ACfileopen->parent(), window.ALmain);
    EXPECT_EQ(window.ACrun->parent(), window.ALdebug);
    EXPECT_EQ(window.ACfileopen->hint(), "Open|Opens an existing file");
    EXPECT_EQ(window.ACexit->hint(), "Exit|Quits the application");
    EXPECT_EQ(window.ImageList.size(), 8);
    for (const QIcon& image : window.ImageList) {
        // Drawn at the display's own pixel size, never a 16 x 16 bitmap blown up.
        const QPixmap doubled = image.pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(doubled.size(), QSize(32, 32));
        EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(16, 16));
    }
}

TEST_F(MainformLayout, ButtonsShowTheirActionsAndFollowTheEnabledState) {
    EXPECT_EQ(window.Bbrowse->text(), "&Open...");
    EXPECT_EQ(window.Bprogram->text(), "&Program");
    EXPECT_EQ(window.Brun->text(), "&Run");
    EXPECT_EQ(window.Bstop->text(), "&Stop");
    EXPECT_EQ(window.Breset->text(), "R&eset");
    EXPECT_EQ(window.SBattach->text(), "&Attach");
    EXPECT_FALSE(window.Brun->isEnabled());
    window.ACrun->setEnabled(true);
    EXPECT_TRUE(window.Brun->isEnabled());
    EXPECT_TRUE(window.MIrun->isEnabled());
    EXPECT_TRUE(window.SBattach->isCheckable());
    EXPECT_EQ(window.SBattach->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(window.SBattach->isChecked());
}

TEST_F(MainformLayout, MenusCarryTheBoundItemsWithoutImages) {
    const QList<QAction*> headings = window.MainMenu->actions();
    ASSERT_EQ(headings.size(), 4);
    EXPECT_EQ(headings[0]->text(), "File");
    EXPECT_EQ(headings[1]->text(), "Device");
    EXPECT_EQ(headings[2]->text(), "Debug");
    EXPECT_EQ(headings[3]->text(), "Help");
    EXPECT_EQ(window.MIfile->actions(), (QList<QAction*>{window.MIfileopen, window.MIexit}));
    EXPECT_EQ(window.MIdevice->actions(),
              (QList<QAction*>{window.MIdevattach, window.MIdevprogram}));
    EXPECT_EQ(window.MIdebug->actions(),
              (QList<QAction*>{window.MIrun, window.MIstop, window.MIreset}));
    EXPECT_EQ(window.MIhelp->actions(), (QList<QAction*>{window.MIabout}));
    EXPECT_EQ(window.MIfileopen->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(window.MIexit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    EXPECT_EQ(window.MIabout->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(window.MIdevattach->text(), "&Attach");
    for (QAction* item : {window.MIfileopen, window.MIexit, window.MIdevattach, window.MIdevprogram,
                          window.MIrun, window.MIstop, window.MIreset, window.MIabout}) {
        EXPECT_FALSE(item->isIconVisibleInMenu());
    }
    EXPECT_FALSE(window.MIrun->isEnabled());
    window.ACattach->setChecked(true);
    EXPECT_TRUE(window.MIdevattach->isChecked());
}

TEST_F(MainformLayout, TabOrderStartsAtTheOpenButton) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), window.Bbrowse);
    QWidget* expected[] = {window.Efilename, window.Bprogram, window.Bbrowse};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    EXPECT_EQ(window.Brun->focusPolicy(), Qt::ClickFocus);
}

TEST_F(MainformLayout, OpenDialogHasTheTwoFiltersAndIsNotSeededFromTheFileBox) {
    window.Efilename->setText("typed.rom");
    QFileDialog* dialog = window.fileDialog();
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"ROM files (*.rom)", "All files (*.*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), "ROM files (*.rom)");
    EXPECT_TRUE(dialog->selectedFiles().isEmpty() ||
                !dialog->selectedFiles().first().endsWith("typed.rom"));
}

TEST_F(MainformLayout, AllFilesListsFilesWithoutADotToo) {
    QTemporaryDir dir;
    for (const char* name : {"image.rom", "notes.txt", "IMAGE"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog* dialog = window.fileDialog();
    dialog->setDirectory(dir.path());
    window.ACfileopen->execute();
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(list, nullptr);
    ASSERT_NE(types, nullptr);
    const auto listed = [list] {
        QStringList names;
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        }
        names.sort();
        return names;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == QStringList{"image.rom"}; }, 5000))
        << listed().join(' ').toStdString();

    // The user picks the second filter; its caption stays as it was.
    types->setFocus();
    QTest::keyClick(types, Qt::Key_Down);
    EXPECT_EQ(dialog->selectedNameFilter(), "All files (*.*)");
    const QStringList all{"IMAGE", "image.rom", "notes.txt"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == all; }, 5000))
        << listed().join(' ').toStdString();
    dialog->reject();
}

TEST_F(MainformLayout, CancellingTheOpenDialogKeepsTheFileBoxAcceptingReplacesIt) {
    window.Efilename->setText("old.rom");
    window.ACfileopen->execute();
    QFileDialog* dialog = window.fileDialog();
    ASSERT_TRUE(dialog->isVisible());
    dialog->reject();
    EXPECT_EQ(window.Efilename->text(), "old.rom");

    const QString chosen = QString::fromStdString(ExecutablePath());
    window.ACfileopen->execute();
    dialog->selectFile(chosen);
    window.ACfileopenAccept(dialog);
    EXPECT_EQ(window.Efilename->text(), chosen);
    dialog->reject();
}

TEST_F(MainformLayout, StatusBarHasOnePanelSpanningIt) {
    window.show();
    window.setStatusText("Flashing...");
    EXPECT_EQ(window.statusText(), "Flashing...");
    const auto panels = window.StatusBar->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 1);
    EXPECT_GE(panels[0]->width(), window.StatusBar->width() - 12);
}

TEST_F(MainformLayout, ProgressFillsToItsPositionAndShowsASinglePositionAsComplete) {
    window.show();
    QProgressBar* bar = window.Progress;
    const auto shown = [bar](int maximum, int value) {
        bar->setRange(0, maximum);
        bar->setValue(value);
        return bar->grab().toImage();
    };
    const QImage empty = shown(9, 0);
    const QImage full = shown(9, 9);
    const QImage half = shown(8, 4);
    ASSERT_NE(empty, full);
    const int y = bar->height() / 2;
    for (int x : {bar->width() / 4, bar->width() / 2 - 3}) {
        EXPECT_EQ(half.pixel(x, y), full.pixel(x, y)) << x;
    }
    for (int x : {bar->width() / 2 + 3, bar->width() * 3 / 4}) {
        EXPECT_EQ(half.pixel(x, y), empty.pixel(x, y)) << x;
    }
    EXPECT_EQ(shown(0, 0), full);
}

TEST_F(MainformLayout, EnterClicksTheFocusedButtonOtherwiseProgram) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ResetReportState();
    window.Efilename->setFocus();
    QTest::keyClick(window.Efilename, Qt::Key_Return);
    // Program ran: this test program has no flash.ram beside it.
    EXPECT_EQ(ExitCode(), 2);
    EXPECT_FALSE(window.fileDialog()->isVisible());

    window.Bbrowse->setFocus();
    QTest::keyClick(window.Bbrowse, Qt::Key_Return);
    EXPECT_TRUE(window.fileDialog()->isVisible());
    window.fileDialog()->reject();
    ResetReportState();
}

TEST_F(MainformLayout, AltChordsNeverTypeIntoTheFileBoxAndF10OpensTheMenuBar) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.Efilename->setText("a.rom");
    window.Efilename->setFocus();
    for (Qt::Key key : {Qt::Key_F, Qt::Key_D, Qt::Key_H, Qt::Key_B}) {
        QTest::keyClick(window.Efilename, key, Qt::AltModifier);
    }
    QTest::keyClick(window.Efilename, Qt::Key_X);  // plain keys still type
    EXPECT_EQ(window.Efilename->text(), "a.romx");

    QTest::keyClick(window.Efilename, Qt::Key_F10);
    EXPECT_EQ(window.MainMenu->activeAction(), window.MIfile->menuAction());
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.MIfile->isVisible(); }, 2000));
    window.MIfile->close();
}

TEST_F(MainformLayout, F1OpensTheAboutWindow) {
    TFabout about(&window, QString());
    window.setAboutWindow(&about);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    bool shown = false;
    QTimer::singleShot(0, &about, [&] {
        shown = about.isVisible();
        about.reject();
    });
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_TRUE(shown);
}

TEST_F(MainformLayout, ExitActionClosesTheWindow) {
    window.show();
    ASSERT_TRUE(window.isVisible());
    window.MIexit->trigger();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace tarnel
