#pragma once

// A main window under test: settings in memory, messages recorded instead of shown, the
// window shown and active so focus can be checked.

#include "app/KeyVault.h"
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
#include <QTimer>
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

// The key kept in memory, answering through the event loop as the keyring does; `status` is
// what the "keyring" says to every call. Tests never reach the user's own keyring.
class MemoryKeyVault final : public app::KeyVault
{
public:
    explicit MemoryKeyVault(QString stored = {}, settings::KeyringStatus answer = settings::KeyringStatus::Ok)
        : key(std::move(stored))
        , status(answer)
    { }

    void read() override
    {
        ++reads;
        const settings::KeyringStatus now = key.isEmpty() && status == settings::KeyringStatus::Ok
            ? settings::KeyringStatus::NotFound
            : status;
        QTimer::singleShot(0, this, [this, now] { Q_EMIT readFinished(now, key); });
    }
    void write(const QString &written) override
    {
        writes.append(written);
        key = written;
        QTimer::singleShot(0, this, [this] { Q_EMIT writeFinished(status); });
    }

    QString key;
    settings::KeyringStatus status;
    int reads = 0;
    QStringList writes;
};

inline std::unique_ptr<app::KeyVault> MemoryKeys()
{
    return std::make_unique<MemoryKeyVault>();
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
        auto vault = std::make_unique<MemoryKeyVault>();
        keys = vault.get();
        form = std::make_unique<app::MainForm>(std::move(memory), std::move(vault));
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
    MemoryKeyVault *keys = nullptr;
    std::unique_ptr<app::MainForm> form;
    bool shown = false;
};

} // namespace rollcall::testing
