#pragma once

// The search and results page of the main window: the progress of a run, the results list
// and the result commands, and the binding of a search run to them.

#include "search/ResultRow.h"
#include "ui/RunTexts.h"

#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace rollcall::search {
class SearchRun;
}

namespace rollcall::results {
class ResultsModel;
}

namespace rollcall::app {

class SearchPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchPage)

public:
    explicit SearchPage(results::ResultsModel *model, QWidget *parent = nullptr);

    // The run's reports go to the labels, the progress bar and the list; its end takes "Stop"
    // away, and its failure is shown in a box.
    void bind(search::SearchRun *run);
    // A new run: the texts it starts with, the bar hidden.
    void resetProgress();
    // Rows reported but not yet in the list: into it now, or dropped with their run.
    void flushRows();
    void dropPendingRows();

    QTreeView *list() const { return m_list; }
    QLineEdit *copyBox() const { return m_copyBox; }
    QPushButton *launch() const { return m_launch; }
    QPushButton *refresh() const { return m_refresh; }
    QPushButton *stop() const { return m_stop; }
    QPushButton *viewInfo() const { return m_viewInfo; }
    QPushButton *copy() const { return m_copy; }
    QPushButton *ping() const { return m_ping; }

private:
    void buildList(results::ResultsModel *model);
    QPushButton *makeButton(const char *name, const QString &caption, const QString &tip);
    void showLabels();

    QLabel *m_heading = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_total = nullptr;
    QLabel *m_left = nullptr;
    QProgressBar *m_progress = nullptr;
    QTreeView *m_list = nullptr;
    QLineEdit *m_copyBox = nullptr;
    QPushButton *m_launch = nullptr;
    QPushButton *m_refresh = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_viewInfo = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_ping = nullptr;
    ui::RunLabels m_labels;
    QList<search::ResultRow> m_pendingRows;
    QTimer *m_flushTimer = nullptr;
};

} // namespace rollcall::app
