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

#include "WindowParts.h"
#include "app/About.h"
#include "app/Action.h"
#include "app/ImageList.h"
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
        {Efilename(window), {8, 8, 241, 21}}, {Bbrowse(window), {256, 8, 75, 25}},
        {Progress(window), {8, 48, 321, 16}}, {Bprogram(window), {96, 82, 155, 25}},
        {Bevel(window), {0, 128, 337, 57}},   {SBattach(window), {8, 144, 75, 25}},
        {Brun(window), {96, 144, 75, 25}},    {Bstop(window), {176, 144, 75, 25}},
        {Breset(window), {256, 144, 75, 25}},
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
    EXPECT_EQ(window.height() - MainMenu(window)->sizeHint().height(), 200);
    EXPECT_EQ(StatusBar(window)->height(), 19);
    EXPECT_FALSE(StatusBar(window)->isSizeGripEnabled());
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
        {ACfileopen(window), "&Open...", 16463, QKeySequence(Qt::CTRL | Qt::Key_O), 5, true},
        {ACexit(window), "E&xit", 32856, QKeySequence(Qt::ALT | Qt::Key_X), 7, true},
        {ACattach(window), "&Attach", 0, QKeySequence(), 1, true},
        {ACprogram(window), "&Program", 0, QKeySequence(), 6, true},
        {ACabout(window), "About", 112, QKeySequence(Qt::Key_F1), -1, true},
        {ACrun(window), "&Run", 0, QKeySequence(), 2, false},
        {ACstop(window), "&Stop", 0, QKeySequence(), 3, false},
        {ACreset(window), "R&eset", 0, QKeySequence(), 4, false},
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
    EXPECT_EQ(ACfileopen(window)->parent(), ALmain(window));
    EXPECT_EQ(ACrun(window)->parent(), ALdebug(window));
    EXPECT_EQ(ACfileopen(window)->hint(), "Open|Opens an existing file");
    EXPECT_EQ(ACexit(window)->hint(), "Exit|Quits the application");
    const QList<QIcon> images = LoadImageList();
    EXPECT_EQ(images.size(), 8);
    for (const QIcon& image : images) {
        // Drawn at the display's own pixel size, never a 16 x 16 bitmap blown up.
        const QPixmap doubled = image.pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(doubled.size(), QSize(32, 32));
        EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(16, 16));
    }
}

TEST_F(MainformLayout, ButtonsShowTheirActionsAndFollowTheEnabledState) {
    EXPECT_EQ(Bbrowse(window)->text(), "&Open...");
    EXPECT_EQ(Bprogram(window)->text(), "&Program");
    EXPECT_EQ(Brun(window)->text(), "&Run");
    EXPECT_EQ(Bstop(window)->text(), "&Stop");
    EXPECT_EQ(Breset(window)->text(), "R&eset");
    EXPECT_EQ(SBattach(window)->text(), "&Attach");
    EXPECT_FALSE(Brun(window)->isEnabled());
    ACrun(window)->setEnabled(true);
    EXPECT_TRUE(Brun(window)->isEnabled());
    EXPECT_TRUE(MIrun(window)->isEnabled());
    EXPECT_TRUE(SBattach(window)->isCheckable());
    EXPECT_EQ(SBattach(window)->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(SBattach(window)->isChecked());
}

TEST_F(MainformLayout, MenusCarryTheBoundItemsWithoutImages) {
    const QList<QAction*> headings = MainMenu(window)->actions();
    ASSERT_EQ(headings.size(), 4);
    EXPECT_EQ(headings[0]->text(), "File");
    EXPECT_EQ(headings[1]->text(), "Device");
    EXPECT_EQ(headings[2]->text(), "Debug");
    EXPECT_EQ(headings[3]->text(), "Help");
    EXPECT_EQ(MIfile(window)->actions(), (QList<QAction*>{MIfileopen(window), MIexit(window)}));
    EXPECT_EQ(MIdevice(window)->actions(),
              (QList<QAction*>{MIdevattach(window), MIdevprogram(window)}));
    EXPECT_EQ(MIdebug(window)->actions(),
              (QList<QAction*>{MIrun(window), MIstop(window), MIreset(window)}));
    EXPECT_EQ(MIhelp(window)->actions(), (QList<QAction*>{MIabout(window)}));
    EXPECT_EQ(MIfileopen(window)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(MIexit(window)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    EXPECT_EQ(MIabout(window)->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(MIdevattach(window)->text(), "&Attach");
    for (QAction* item :
         {MIfileopen(window), MIexit(window), MIdevattach(window), MIdevprogram(window),
          MIrun(window), MIstop(window), MIreset(window), MIabout(window)}) {
        EXPECT_FALSE(item->isIconVisibleInMenu());
    }
    EXPECT_FALSE(MIrun(window)->isEnabled());
    ACattach(window)->setChecked(true);
    EXPECT_TRUE(MIdevattach(window)->isChecked());
}

TEST_F(MainformLayout, TabOrderStartsAtTheOpenButton) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), Bbrowse(window));
    QWidget* expected[] = {Efilename(window), Bprogram(window), Bbrowse(window)};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    EXPECT_EQ(Brun(window)->focusPolicy(), Qt::ClickFocus);
}

TEST_F(MainformLayout, OpenDialogHasAFilterPerFormatAndIsNotSeededFromTheFileBox) {
    Efilename(window)->setText("typed.rom");
    QFileDialog* dialog = window.fileDialog();
    const QString all =
        "All image files (*.rom *.hex *.ihx *.ihex *.srec *.s19 *.s28 *.s37 *.mot *.elf *.out)";
    EXPECT_EQ(dialog->nameFilters(),
              (QStringList{all, "ROM files (*.rom)", "Intel HEX files (*.hex *.ihx *.ihex)",
                           "S-record files (*.srec *.s19 *.s28 *.s37 *.mot)",
                           "ELF files (*.elf *.out)", "All files (*.*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), all);
    EXPECT_TRUE(dialog->selectedFiles().isEmpty() ||
                !dialog->selectedFiles().first().endsWith("typed.rom"));
}

TEST_F(MainformLayout, AllFilesListsFilesWithoutADotToo) {
    QTemporaryDir dir;
    for (const char* name : {"image.rom", "image.hex", "notes.txt", "IMAGE"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog* dialog = window.fileDialog();
    dialog->setDirectory(dir.path());
    ACfileopen(window)->execute();
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
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return listed() == QStringList{"image.hex", "image.rom"};
        },
        5000))
        << listed().join(' ').toStdString();

    // The user picks the last filter; its caption stays as it was.
    types->setFocus();
    QTest::keyClick(types, Qt::Key_End);
    EXPECT_EQ(dialog->selectedNameFilter(), "All files (*.*)");
    const QStringList all{"IMAGE", "image.hex", "image.rom", "notes.txt"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == all; }, 5000))
        << listed().join(' ').toStdString();
    dialog->reject();
}

TEST_F(MainformLayout, CancellingTheOpenDialogKeepsTheFileBoxAcceptingReplacesIt) {
    Efilename(window)->setText("old.rom");
    ACfileopen(window)->execute();
    QFileDialog* dialog = window.fileDialog();
    ASSERT_TRUE(dialog->isVisible());
    dialog->reject();
    EXPECT_EQ(Efilename(window)->text(), "old.rom");

    const QString chosen = QString::fromStdString(ExecutablePath());
    ACfileopen(window)->execute();
    dialog->selectFile(chosen);
    window.ACfileopenAccept(dialog);
    EXPECT_EQ(Efilename(window)->text(), chosen);
    dialog->reject();
}

TEST_F(MainformLayout, StatusBarHasOnePanelSpanningIt) {
    window.show();
    window.setStatusText("Flashing...");
    EXPECT_EQ(window.statusText(), "Flashing...");
    const auto panels = StatusBar(window)->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 1);
    EXPECT_GE(panels[0]->width(), StatusBar(window)->width() - 12);
}

TEST_F(MainformLayout, ProgressFillsToItsPositionAndShowsASinglePositionAsComplete) {
    window.show();
    QProgressBar* bar = Progress(window);
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
    Efilename(window)->setFocus();
    QTest::keyClick(Efilename(window), Qt::Key_Return);
    // Program ran: this test program has no flash.ram beside it.
    EXPECT_EQ(ExitCode(), 2);
    EXPECT_FALSE(window.fileDialog()->isVisible());

    Bbrowse(window)->setFocus();
    QTest::keyClick(Bbrowse(window), Qt::Key_Return);
    EXPECT_TRUE(window.fileDialog()->isVisible());
    window.fileDialog()->reject();
    ResetReportState();
}

TEST_F(MainformLayout, AltChordsNeverTypeIntoTheFileBoxAndF10OpensTheMenuBar) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Efilename(window)->setText("a.rom");
    Efilename(window)->setFocus();
    for (Qt::Key key : {Qt::Key_F, Qt::Key_D, Qt::Key_H, Qt::Key_B}) {
        QTest::keyClick(Efilename(window), key, Qt::AltModifier);
    }
    QTest::keyClick(Efilename(window), Qt::Key_X);  // plain keys still type
    EXPECT_EQ(Efilename(window)->text(), "a.romx");

    QTest::keyClick(Efilename(window), Qt::Key_F10);
    EXPECT_EQ(MainMenu(window)->activeAction(), MIfile(window)->menuAction());
    EXPECT_TRUE(QTest::qWaitFor([this] { return MIfile(window)->isVisible(); }, 2000));
    MIfile(window)->close();
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
    MIexit(window)->trigger();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace tarnel
