// The Open dialog as a keyboard user meets it: a name typed into its file box and Enter.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include "app/ImageFileDialog.h"

namespace tarnel {
namespace {

// Keys go where the desktop sends them: to an open popup (the completion list) first.
void Type(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        QWidget* popup = QApplication::activePopupWidget();
        QTest::keyClicks(popup != nullptr ? popup : box, QString(c));
    }
}

void Press(QWidget* box, Qt::Key key) {
    QWidget* popup = QApplication::activePopupWidget();
    QTest::keyClick(popup != nullptr ? popup : box, key);
}

TEST(ImageFileDialog, TypingANameAndEnterAcceptsItAndClosesTheCompletionList) {
    QTemporaryDir dir;
    for (const char* name : {"image.rom", "image2.rom", "other.rom"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QWidget owner;
    owner.show();
    QFileDialog* dialog = MakeImageFileDialog(&owner);
    dialog->setDirectory(dir.path());
    dialog->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->completer(), nullptr);
    QAbstractItemView* list = box->completer()->popup();
    // The completion offers what the dialog has listed: wait until the folder is read.
    auto* files = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(files, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [files] { return files->model()->rowCount(files->rootIndex()) == 3; }, 5000));

    box->setFocus();
    Type(box, QStringLiteral("ima"));
    // The list offers the two names that start so.
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }, 5000));
    Type(box, QStringLiteral("ge.rom"));
    Press(box, Qt::Key_Return);

    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->selectedFiles(), QStringList{dir.filePath("image.rom")});
    // Nothing left on screen, also once the events that the close set off have run.
    QTest::qWait(200);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

}  // namespace
}  // namespace tarnel
