#pragma once

// A main window under test: settings in memory, messages recorded instead of shown, the
// window shown and active so focus can be checked.

#include "UserMessage.h"
#include "app/MainForm.h"
#include "app/Seams.h"
#include "settings/MemorySettingsBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
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
        app::seams().showMessage = [this](QWidget *, const UserMessage &message) {
            // The box is modal: while it is open nothing in the window has the focus.
            m_focusDuringBox.append(QApplication::focusWidget());
            m_messages.append(message);
        };
    }
    ~MessageRecorder() { app::resetSeams(); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    const QList<UserMessage> &messages() const { return m_messages; }
    QStringList texts() const
    {
        QStringList list;
        for (const UserMessage &m : m_messages)
            list.append(m.text);
        return list;
    }
    void clear() { m_messages.clear(); }

private:
    QList<UserMessage> m_messages;
    QList<QWidget *> m_focusDuringBox;
};

struct FormHarness
{
    explicit FormHarness(bool show = true)
    {
        auto memory = std::make_unique<settings::MemorySettingsBackend>();
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
    QComboBox *combo(const char *name) const { return child<QComboBox>(QLatin1String(name)); }
    QLabel *label(const char *name) const { return child<QLabel>(QLatin1String(name)); }
    void next() const { button("Command2_1")->click(); }
    void back() const { button("Command2_0")->click(); }

    MessageRecorder recorder;
    settings::MemorySettingsBackend *backend = nullptr;
    std::unique_ptr<app::MainForm> form;
    bool shown = false;
};

} // namespace rollcall::testing
