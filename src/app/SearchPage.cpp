#include "app/SearchPage.h"

#include "results/ResultsModel.h"
#include "search/SearchRun.h"
#include "ui/Icons.h"
#include "ui/Seams.h"
#include "ui/Sizing.h"
#include "ui/WindowHelpers.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <chrono>
#include <utility>

namespace rollcall::app {

namespace {

// Every turn of the event loop that adds rows makes the list lay out all its rows again, a few
// milliseconds per 10,000: rows found are gathered and handed over a few times a second.
constexpr auto RowFlushInterval = std::chrono::milliseconds(100);

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

SearchPage::SearchPage(results::ResultsModel *model, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    auto *header = new QHBoxLayout;
    m_heading = makeLabel(this, "Label13", m_labels.heading());
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    m_heading->setFont(headingFont);
    auto *logo = makeLabel(this, "AppLogo_2", QString());
    logo->setPixmap(ui::IconPixmap(1));
    logo->setAccessibleName(QStringLiteral("Rollcall"));
    header->addWidget(m_heading, 1);
    header->addWidget(logo);
    layout->addLayout(header);

    m_status = makeLabel(this, "lblStatus", m_labels.status());
    m_total = makeLabel(this, "lblTotal", m_labels.total());
    m_left = makeLabel(this, "lblLeft", m_labels.left());
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgServersAsked"));
    m_progress->setAccessibleName(tr("Servers asked"));
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(m_progress->fontMetrics().height());
    for (QWidget *w : { static_cast<QWidget *>(m_status), static_cast<QWidget *>(m_total),
             static_cast<QWidget *>(m_left), static_cast<QWidget *>(m_progress) })
        layout->addWidget(w);
    // The list keeps its place while the query-phase texts come and go.
    for (QWidget *w : { static_cast<QWidget *>(m_total), static_cast<QWidget *>(m_left),
             static_cast<QWidget *>(m_progress) }) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }

    buildList(model);
    auto *found = makeLabel(this, "Label17", tr("&Players Found:"));
    found->setBuddy(m_list);
    layout->addWidget(found);
    layout->addWidget(m_list, 1);

    auto *buttons = new QHBoxLayout;
    m_launch
        = makeButton("Command1", tr("&Launch"), tr("Launch Half-Life and connect to selected ip address"));
    QIcon launchIcon = ui::Icon(2);
    launchIcon.addPixmap(ui::IconPixmap(2), QIcon::Disabled);
    m_launch->setIcon(launchIcon);
    m_launch->setIconSize(QSize(32, 32));
    m_refresh = makeButton("Command4", tr("&Refresh"), QString());
    m_stop = makeButton("Command5", tr("&Stop"), QString());
    m_viewInfo = makeButton("Command6", tr("&View Info..."), tr("View info about the server"));
    m_copy = makeButton("Command7", tr("&Copy"), tr("Copy ip address to clipboard"));
    m_ping = makeButton("Command8", tr("P&ing Server"), tr("Ping the selected server"));
    for (QPushButton *b : { m_viewInfo, m_refresh, m_ping, m_copy, m_stop })
        ui::SetPlainButtonStyle(b);
    for (QPushButton *b : { m_launch, m_refresh, m_stop, m_viewInfo, m_copy, m_ping })
        buttons->addWidget(b);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(RowFlushInterval);
    connect(m_flushTimer, &QTimer::timeout, this, &SearchPage::flushRows);

    m_copyBox = new QLineEdit(this);
    m_copyBox->setObjectName(QStringLiteral("txtCopy"));
    m_copyBox->hide();
}

void SearchPage::buildList(results::ResultsModel *model)
{
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("LVPlayersFound"));
    m_list->setAccessibleName(tr("Players found"));
    m_list->setModel(model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    ui::SetDesignMinimumSize(m_list, 7815, 3495);
    // The list starts as a plain cell-by-cell view; the toggle makes a click select whole rows.
    m_list->setSelectionBehavior(QAbstractItemView::SelectItems);
    ui::ToggleFullRowSelect(m_list);
    QHeaderView *header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
}

QPushButton *SearchPage::makeButton(const char *name, const QString &caption, const QString &tip)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    if (!tip.isEmpty())
        button->setToolTip(tip);
    return button;
}

void SearchPage::resetProgress()
{
    m_labels.restart();
    showLabels();
}

void SearchPage::showLabels()
{
    m_heading->setText(m_labels.heading());
    m_status->setText(m_labels.status());
    m_total->setText(m_labels.total());
    m_left->setText(m_labels.left());
    m_progress->setValue(qBound(0, m_labels.handedOutPercent(), 100));
    for (QWidget *w : { static_cast<QWidget *>(m_total), static_cast<QWidget *>(m_left),
             static_cast<QWidget *>(m_progress) })
        w->setVisible(m_labels.countsShown());
}

void SearchPage::flushRows()
{
    m_flushTimer->stop();
    if (m_pendingRows.isEmpty())
        return;
    const QList<search::ResultRow> rows = std::exchange(m_pendingRows, {});
    static_cast<results::ResultsModel *>(m_list->model())->appendRows(rows);
}

void SearchPage::dropPendingRows()
{
    m_flushTimer->stop();
    m_pendingRows.clear();
}

void SearchPage::bind(search::SearchRun *run)
{
    connect(run, &search::SearchRun::runStarted, this, &SearchPage::resetProgress);
    connect(run, &search::SearchRun::progressChanged, this, [this](const search::RunProgress &progress) {
        // The heading counts the rows: the list holds all of them whenever it changes.
        if (m_labels.update(progress) & ui::RunLabels::Heading)
            flushRows();
        showLabels();
    });
    connect(run, &search::SearchRun::rowsFound, this, [this](const QList<search::ResultRow> &rows) {
        m_pendingRows.append(rows);
        if (!m_flushTimer->isActive())
            m_flushTimer->start();
    });
    connect(run, &search::SearchRun::runEnded, this, &SearchPage::flushRows);
    connect(run, &search::SearchRun::failed, this, [this](const search::RunFailure &failure) {
        ui::seams().showMessage(window(), ui::FailureMessage(failure));
    });
    connect(run, &search::SearchRun::masterListCut, this,
        [this](int kept) { ui::seams().showMessage(window(), ui::ListCutMessage(kept)); });
    connect(run, &search::SearchRun::noticed, this, [this](const search::RunNotice &notice) {
        ui::seams().showMessage(window(), ui::NoticeMessage(notice));
    });
}

} // namespace rollcall::app
