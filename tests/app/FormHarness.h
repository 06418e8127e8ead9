#pragma once

// A main window under test: settings in memory, messages recorded instead of shown, the
// window shown and active so focus can be checked.

#include "app/MainForm.h"
#include "settings/MemorySettingsBackend.h"
#include "ui/Seams.h"
#include "ui/UserMessage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QTest>
#include <memory>

namespace rollcall::testing {

class MessageRecorder
{
public:
    MessageRecorder()
    {
        ui::seams().showMessage
            = [this](QWidget *, const ui::UserMessage &message) { messages.append(message); };
    }
    ~MessageRecorder() { ui::resetSeams(); }
    Q_DISABLE_COPY_MOVE(MessageRecorder)

    QStringList texts() const
    {
        QStringList list;
        for (const ui::UserMessage &m : messages)
            list.append(m.text);
        return list;
    }

    QList<ui::UserMessage> messages;
};

// Types `value` into the box or editable combo box `name`, picks it from a fixed list, or clicks the check
// box when it is not yet in state `value` ("1" on, "0" off), so the controls it governs follow as for a user.
// False when there is no such control or the click did nothing (its page is not in front).
inline bool setControl(const QWidget *form, const QString &name, const QString &value)
{
    QWidget *w = form->findChild<QWidget *>(name);
    if (auto *box = qobject_cast<QLineEdit *>(w))
        box->setText(value);
    else if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->isEditable())
        combo->setEditText(value);
    else if (combo) {
        // A fixed list: the item of that text is chosen, as a user would pick it.
        combo->setCurrentIndex(combo->findText(value));
        return combo->currentText() == value;
    } else if (auto *check = qobject_cast<QAbstractButton *>(w)) {
        const bool on = value == QLatin1String("1");
        if (check->isChecked() != on)
            check->click();
        return check->isChecked() == on;
    }
    return w != nullptr;
}

struct FormHarness
{
    // `stored`: settings in the backend before the window reads them.
    explicit FormHarness(
        bool show = true, std::initializer_list<std::pair<const char *, const char *>> stored = {})
    {
        auto memory = std::make_unique<settings::MemorySettingsBackend>();
        for (const auto &[name, text] : stored)
            memory->setText(QLatin1String(name), QLatin1String(text));
        backend = memory.get();
        form = std::make_unique<app::MainForm>(std::move(memory));
        if (show) {
            form->show();
            form->activateWindow();
            shown = QTest::qWaitForWindowActive(form.get());
        }
    }

    template <typename T = QWidget> T *child(const QString &name) const { return form->findChild<T *>(name); }
    QLineEdit *edit(const char *name) const { return child<QLineEdit>(QLatin1String(name)); }
    QAbstractButton *button(const char *name) const { return child<QAbstractButton>(QLatin1String(name)); }
    QLabel *label(const char *name) const { return child<QLabel>(QLatin1String(name)); }
    bool set(const char *name, const QString &value) const
    {
        return setControl(form.get(), QLatin1String(name), value);
    }
    void next() const { button("Command2_1")->click(); }
    void back() const { button("Command2_0")->click(); }

    MessageRecorder recorder;
    settings::MemorySettingsBackend *backend = nullptr;
    std::unique_ptr<app::MainForm> form;
    bool shown = false;
};

} // namespace rollcall::testing
