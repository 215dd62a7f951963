#include "app/Action.h"

#include <QAbstractButton>
#include <QAction>
#include <QIcon>

namespace tarnel {

Action::Action(QObject* owner, const QString& caption) : QObject(owner), caption_(caption) {}

void Action::setShortcut(const QKeySequence& keys, int code) {
    shortcut_ = keys;
    shortcutCode_ = code;
    emit changed();
}

void Action::setEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        emit changed();
    }
}

void Action::setCheckable(bool checkable) {
    if (checkable_ != checkable) {
        checkable_ = checkable;
        emit changed();
    }
}

void Action::setChecked(bool checked) {
    if (checked_ != checked) {
        checked_ = checked;
        emit changed();
    }
}

bool Action::execute(QObject* sender) {
    if (!enabled_ || !handler_) {
        return false;
    }
    handler_(sender ? sender : this);
    return true;
}

void BindMenuItem(QAction* item, Action* action) {
    auto sync = [item, action] {
        item->setText(action->caption());
        item->setShortcut(action->shortcut());
        item->setEnabled(action->isEnabled());
        item->setCheckable(action->isCheckable());
        item->setChecked(action->isChecked());
    };
    sync();
    item->setIconVisibleInMenu(false);
    QObject::connect(action, &Action::changed, item, sync);
    // A checkable item toggles itself when chosen; put it back in line with the action
    // before and after executing, since only the handler decides the checked state.
    QObject::connect(item, &QAction::triggered, action, [item, action, sync] {
        item->setChecked(action->isChecked());
        action->execute(item);
        sync();
    });
}

void BindButton(QAbstractButton* button, Action* action, const QList<QIcon>& images) {
    auto sync = [button, action, images] {
        button->setText(action->caption());
        button->setEnabled(action->isEnabled());
        // A hint is "short text|long text"; the long one says what the button does.
        const QString description = action->hint().section(u'|', 1);
        if (button->accessibleDescription() != description) {
            button->setAccessibleDescription(description);
        }
        const int index = action->imageIndex();
        if (index >= 0 && index < images.size()) {
            button->setIcon(images[index]);
        }
    };
    sync();
    QObject::connect(action, &Action::changed, button, sync);
    QObject::connect(button, &QAbstractButton::clicked, action,
                     [button, action] { action->execute(button); });
}

}  // namespace tarnel
