#pragma once

// The main window: a three-page wizard (welcome, options, search and results) with the
// navigation buttons and "Close" outside the pages.

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
    // window; without one, the platform's own store is used.
    explicit MainForm(
        std::unique_ptr<settings::SettingsBackend> backend = nullptr, QWidget *parent = nullptr);
    ~MainForm() override;

    int currentPage() const { return m_currentPage; }
    QString executablePath() const;
    results::ResultsModel *resultsModel() const { return m_model; }
    search::SearchRun *searchRun() const { return m_run; }

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

    std::unique_ptr<settings::SettingsBackend> m_backend;
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
