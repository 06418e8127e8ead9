#pragma once

// The main window: a three-page wizard (welcome, options, search and results) with the
// navigation buttons and "Close" outside the pages.

#include "app/KeyVault.h"
#include "settings/ApiKey.h"
#include "settings/SettingsBackend.h"
#include "ui/Version.h"

#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class QPushButton;
class QStackedWidget;

namespace rollcall::launch {
class ExecutablePath;
}
namespace rollcall::search {
class SearchRun;
}
namespace rollcall::results {
class ResultsModel;
class ResultsPage;
} // namespace rollcall::results

namespace rollcall::app {

class OptionsPage;
class SearchPage;

using ui::VersionText;

class MainForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainForm)

public:
    // The settings are read from the backend now and written to it when the user closes the
    // window; without one, the platform's own store is used. The Steam Web API key is read from
    // `keys` (the desktop's keyring without one) as the window opens, and written back to it when
    // a search starts or the window closes with another key typed.
    explicit MainForm(std::unique_ptr<settings::SettingsBackend> backend = nullptr,
        std::unique_ptr<KeyVault> keys = nullptr, QWidget *parent = nullptr);
    ~MainForm() override;

    int currentPage() const { return m_currentPage; }
    QString executablePath() const;
    results::ResultsModel *resultsModel() const { return m_model; }
    search::SearchRun *searchRun() const { return m_run; }
    // The Steam Web API's base for this run only (rollcall --webapi-url); the saved one stays.
    void overrideWebApiUrl(const QString &url);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildWelcomePage();
    void buildResultsCommands();
    void navigate(int button);
    void setPictureContainerIndex(int index);
    void startSearchRun();
    void endSearchRun();
    void loadSettings();
    void saveSettings();
    void sessionEnding();
    void keyRead(settings::KeyringStatus status, const QString &key);
    void keyWritten(settings::KeyringStatus status);
    void storeKey();

    std::unique_ptr<settings::SettingsBackend> m_backend;
    std::unique_ptr<KeyVault> m_keys;
    // The key as the vault last had it, so an unchanged key is not written again.
    QString m_storedKey;
    int m_keyWrites = 0; // written and not yet answered
    bool m_quitAfterWrites = false;
    launch::ExecutablePath *m_executablePath = nullptr;
    int m_currentPage = 0;
    bool m_runExists = false;
    bool m_sessionEnding = false;
    QStackedWidget *m_pages = nullptr;
    OptionsPage *m_options = nullptr;
    SearchPage *m_searchPage = nullptr;
    results::ResultsModel *m_model = nullptr;
    results::ResultsPage *m_resultsPage = nullptr;
    search::SearchRun *m_run = nullptr;
    std::array<QPushButton *, 2> m_nav {};
    QPushButton *m_close = nullptr;
};

} // namespace rollcall::app
