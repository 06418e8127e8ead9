#pragma once

// The options page of the main window: the search options with their enabling rules, the
// numeric input filters, the checks that run before the page may be left, and the capture
// of a run's criteria.

#include "search/SearchCriteria.h"
#include "settings/SettingsStore.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace rollcall::app {

class MasterChoice;
class SourceFields;

// Lets only the digits and Backspace into a box, and rewrites the box as a plain number when
// it loses the focus. A validator cannot do both: it would still see control characters and
// leave "007" or an empty box alone.
class NumericBoxFilter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NumericBoxFilter)

public:
    explicit NumericBoxFilter(QObject *parent = nullptr);
    // The number of the box's leading numeric part; 0 when it has none.
    static qint64 valueOf(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

class OptionsPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsPage)

public:
    explicit OptionsPage(QWidget *parent = nullptr);

    // Reports the first fault through the message seam and puts the focus on its control.
    bool validate();
    // The page has come to the front: typing goes to the first name box, its text selected.
    void focusFirstName();
    search::SearchCriteria criteria() const;

    // The settings' values into the controls: check boxes enable their boxes, the focus stays put.
    void applySettings(const settings::SettingsValues &values);
    // The controls as shown, unvalidated; the executable path is left as it is.
    void storeSettings(settings::SettingsValues &values) const;

    // The Web API's key and base, which the main window reads and stores apart from the settings.
    SourceFields *sources() const { return m_sources; }

private:
    void buildNames();
    void buildQuerySettings();
    void buildMasterSettings();
    void buildFilter();
    bool isValidPattern(const QString &name) const;
    bool namesAreUtf8() const;
    void setSlotEnabled(int slot, bool moveFocus);
    void setCapEnabled(bool moveFocus);
    void refuse(QWidget *control, const QString &text);
    void refuseNumber(QLineEdit *box, const QString &replacement);

    std::array<QCheckBox *, 2> m_enable {};
    std::array<QLineEdit *, 2> m_name {};
    std::array<QCheckBox *, 2> m_wildcards {};
    QLineEdit *m_maxConn = nullptr;
    QLineEdit *m_timeout = nullptr;
    QComboBox *m_master = nullptr;
    MasterChoice *m_masterChoice = nullptr;
    SourceFields *m_sources = nullptr;
    QCheckBox *m_capOn = nullptr;
    QLineEdit *m_cap = nullptr;
    QComboBox *m_game = nullptr;
    QLineEdit *m_map = nullptr;
    NumericBoxFilter *m_numeric = nullptr;
};

} // namespace rollcall::app
