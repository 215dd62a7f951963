// What a screen reader learns of the two windows: role, name, description and the states
// it announces, read through Qt's accessibility interfaces as the desktop bridge reads them.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <string>

#include "app/About.h"
#include "app/Action.h"
#include "app/Mainform.h"
#include "app/MainformWidgets.h"
#include "support/ProcessGlobals.h"

namespace tarnel {
namespace {

// The states that change what a reader says, as one comparable set.
constexpr unsigned kFocusable = 1;
constexpr unsigned kDisabled = 2;
constexpr unsigned kCheckable = 4;
constexpr unsigned kChecked = 8;
constexpr unsigned kPressed = 16;
constexpr unsigned kDefault = 32;
constexpr unsigned kLinked = 64;

unsigned Flags(const QAccessible::State& state) {
    return (state.focusable ? kFocusable : 0) | (state.disabled ? kDisabled : 0) |
           (state.checkable ? kCheckable : 0) | (state.checked ? kChecked : 0) |
           (state.pressed ? kPressed : 0) | (state.defaultButton ? kDefault : 0) |
           (state.linked ? kLinked : 0);
}

// Every interface below `root`, menus included (a menu heading's child is its menu).
void Collect(QAccessibleInterface* node, QList<QAccessibleInterface*>& into, int depth = 0) {
    if (node == nullptr || depth > 12) {
        return;
    }
    into.append(node);
    for (int i = 0; i < node->childCount(); ++i) {
        Collect(node->child(i), into, depth + 1);
    }
}

struct Row {
    QAccessible::Role role;
    const char* name;
    const char* description;
    unsigned flags;
};

void ExpectRows(QWidget* window, const std::vector<Row>& rows) {
    QList<QAccessibleInterface*> nodes;
    Collect(QAccessible::queryAccessibleInterface(window), nodes);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " role " + std::to_string(row.role));
        QList<QAccessibleInterface*> matches;
        for (QAccessibleInterface* node : nodes) {
            if (node->role() == row.role && node->text(QAccessible::Name) == row.name) {
                matches.append(node);
            }
        }
        ASSERT_EQ(matches.size(), 1);
        EXPECT_EQ(matches[0]->text(QAccessible::Description), row.description);
        EXPECT_EQ(Flags(matches[0]->state()), row.flags);
    }
}

// Widgets that the keyboard can reach, each with the name a reader gives it.
void ExpectEveryFocusableWidgetNamed(QWidget* window) {
    int focusable = 0;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus || widget->isWindow()) {
            continue;
        }
        ++focusable;
        SCOPED_TRACE(widget->metaObject()->className());
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(node, nullptr);
        EXPECT_FALSE(node->text(QAccessible::Name).trimmed().isEmpty());
    }
    EXPECT_GT(focusable, 0);
}

class Accessibility : public ::testing::Test {
protected:
    test::ProcessGlobalsScope globals_;
};

TEST_F(Accessibility, MainWindowNamesEveryControlAndTellsItsStates) {
    TFmainform window(nullptr, {});
    window.show();
    ExpectRows(&window, {
                            {QAccessible::EditableText, "Image file",
                             "Path of the flash image file to program", kFocusable},
                            {QAccessible::Button, "Open...", "Opens an existing file", kFocusable},
                            {QAccessible::ProgressBar, "Programming progress", "", 0},
                            {QAccessible::Button, "Program", "", kFocusable | kDefault},
                            // A toggle button that takes no focus; Alt+A and the menu reach it.
                            {QAccessible::Button, "Attach", "", kCheckable},
                            {QAccessible::Button, "Run", "", kFocusable | kDisabled},
                            {QAccessible::Button, "Stop", "", kFocusable | kDisabled},
                            {QAccessible::Button, "Reset", "", kFocusable | kDisabled},
                            {QAccessible::Separator, "Target control", "", 0},
                            {QAccessible::MenuItem, "Attach", "", kCheckable},
                            {QAccessible::MenuItem, "Exit", "", 0},
                        });
    ExpectEveryFocusableWidgetNamed(&window);
}

TEST_F(Accessibility, AboutWindowHasANamedPictureAndRealLinks) {
    TFabout about(nullptr, QString());
    about.show();
    ExpectRows(&about, {
                           {QAccessible::Graphic, "Tarnel logo",
                            "A click opens https://tarnel.example/", 0},
                           {QAccessible::Link, "tarnel.example", "", kFocusable | kLinked},
                           {QAccessible::Link, "boards.example", "", kFocusable | kLinked},
                           {QAccessible::Button, "OK", "", kFocusable | kDefault},
                       });
    ExpectEveryFocusableWidgetNamed(&about);
}

// The Attach toggle and its menu item say whether the target is attached, in both states;
// a reader's press acts as a click.
TEST_F(Accessibility, ToggleAndCheckableMenuItemTellTheirStateUpAndDown) {
    ToggleButton button(nullptr);
    button.setText(QStringLiteral("&Attach"));
    button.setCheckable(true);
    button.setFocusPolicy(Qt::NoFocus);  // as in the window
    QAccessibleInterface* toggle = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(toggle, nullptr);

    Action action(nullptr, QStringLiteral("&Attach"));
    action.setCheckable(true);
    QMenu menu;
    BindMenuItem(menu.addAction(QString()), &action);
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(&menu)->child(0);
    ASSERT_NE(item, nullptr);

    for (bool down : {false, true, false}) {
        SCOPED_TRACE(down);
        button.setChecked(down);
        action.setChecked(down);
        EXPECT_EQ(toggle->role(), QAccessible::Button);
        EXPECT_EQ(toggle->text(QAccessible::Name), "Attach");
        EXPECT_EQ(Flags(toggle->state()), kCheckable | (down ? kChecked | kPressed : 0));
        EXPECT_EQ(Flags(item->state()), kCheckable | (down ? kChecked : 0));
    }

    QSignalSpy clicks(&button, &QToolButton::clicked);
    ASSERT_NE(toggle->actionInterface(), nullptr);
    EXPECT_EQ(
        toggle->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
        QStringList{"Alt+A"});
    toggle->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.size(), 1);
}

}  // namespace
}  // namespace tarnel
