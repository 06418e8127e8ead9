#pragma once

// The options page's fields for the two list sources that ask no master: the Steam Web API with
// the user's key, and a server list file with the queries its servers answer. Only the chosen
// source's fields are shown. The key is held here and handed to a run's criteria, and never
// goes into the settings; the main window reads and stores it through the keyring.

#include "search/SearchCriteria.h"
#include "settings/SettingsStore.h"

#include <QObject>
#include <QString>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace rollcall::app {

class SourceFields final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SourceFields)

public:
    // Adds the fields to the frame's grid from `row` down, all hidden until show().
    SourceFields(QWidget *frame, QGridLayout *grid, int row);

    void show(search::ListProtocol protocol);

    // The first fault of the shown fields, with its control; no text when there is none.
    struct Fault
    {
        QWidget *control = nullptr;
        QString text;
    };
    Fault check(search::ListProtocol protocol) const;

    // The key without surrounding white space, as a search or the keyring gets it.
    QString apiKey() const;
    // A key read from the keyring, unless the user has typed one meanwhile.
    void offerApiKey(const QString &key);
    // Where the key is kept, when not in the keyring; empty when it is.
    void setKeyringState(const QString &text);
    // A base for this run only: the setting stays as it was.
    void overrideWebApiUrl(const QString &url) { m_webApiUrlOverride = url; }
    search::ServerQueries listQueries() const;
    // The list file's path as typed or chosen; the results page adds servers to it.
    QString listFile() const;
    void setListFile(const QString &path);

    void fill(search::SearchCriteria &criteria) const;
    void apply(const settings::SettingsValues &values);
    void store(settings::SettingsValues &values) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitKeyringState();
    void buildWebApi(QWidget *frame, QGridLayout *grid, int row);
    void buildListFile(QWidget *frame, QGridLayout *grid, int row);
    void toggleKeyShown();
    void browse();

    QList<QWidget *> m_webApiWidgets;
    QList<QWidget *> m_listFileWidgets;
    QLineEdit *m_apiKey = nullptr;
    QPushButton *m_showKey = nullptr;
    QLabel *m_keyLink = nullptr;
    QLabel *m_keyringState = nullptr;
    QLineEdit *m_listFile = nullptr;
    QPushButton *m_browse = nullptr;
    QComboBox *m_queries = nullptr;
    QString m_webApiUrl;
    QString m_webApiUrlOverride;
    bool m_webApiShown = false;
};

} // namespace rollcall::app
