#pragma once
// A user command: caption, shortcut, image, enabled and checked state, and an execute
// handler. Menu items and buttons bound to an action show its state and execute it when
// clicked. Executing never changes the checked state by itself: the handler decides.

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QAction;
class QIcon;

namespace tarnel {

class Action : public QObject {
    Q_OBJECT
public:
    explicit Action(QObject* owner, const QString& caption);

    QString caption() const { return caption_; }
    QString category() const { return category_; }
    QString hint() const { return hint_; }
    QKeySequence shortcut() const { return shortcut_; }
    // The shortcut as a key code with modifier bits (0x4000 Ctrl, 0x8000 Alt), 0 for none.
    int shortcutCode() const { return shortcutCode_; }
    int imageIndex() const { return imageIndex_; }
    bool isEnabled() const { return enabled_; }
    // Whether the action has a checked state at all; a checked action counts as checkable.
    bool isCheckable() const { return checkable_ || checked_; }
    bool isChecked() const { return checked_; }

    void setCategory(const QString& category) { category_ = category; }
    void setHint(const QString& hint) { hint_ = hint; }
    void setShortcut(const QKeySequence& keys, int code);
    void setImageIndex(int index) { imageIndex_ = index; }
    void setEnabled(bool enabled);
    void setCheckable(bool checkable);
    void setChecked(bool checked);
    void setHandler(std::function<void(QObject* sender)> handler) { handler_ = std::move(handler); }

    // Runs the handler when the action is enabled; returns whether it ran.
    bool execute(QObject* sender = nullptr);

signals:
    void changed();

private:
    QString caption_;
    QString category_;
    QString hint_;
    QKeySequence shortcut_;
    int shortcutCode_ = 0;
    int imageIndex_ = -1;
    bool enabled_ = true;
    bool checkable_ = false;
    bool checked_ = false;
    std::function<void(QObject*)> handler_;
};

// Binds a menu item to `action`: the item takes its caption, shortcut, enabled, checkable and
// checked state (no image) and executes it when chosen.
void BindMenuItem(QAction* item, Action* action);

// Binds a push button to `action`: caption, glyph from `images`, enabled state, the long text
// of the hint as the description that screen readers give; a click executes the action.
void BindButton(QAbstractButton* button, Action* action, const QList<QIcon>& images);

}  // namespace tarnel
