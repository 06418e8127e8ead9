#include "app/MainForm.h"

#include "app/OptionsPage.h"
#include "app/SearchPage.h"
#include "launch/ExecutablePath.h"
#include "results/ResultsModel.h"
#include "results/ResultsPage.h"
#include "search/SearchCriteria.h"
#include "search/SearchRun.h"
#include "settings/SettingsStore.h"
#include "ui/Icons.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSessionManager>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace rollcall::app {

namespace {

enum NavigationButton { Back = 0, Next = 1 };
constexpr int LastPage = 2;

// The busy cursor for as long as a step of the run's start or end takes.
class BusyCursor
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

} // namespace

QString VersionText(int major, int minor, int revision)
{
    QString text = QString::number(major) + QLatin1Char('.') + QString::number(minor);
    if (revision != 0)
        text += QLatin1Char('.') + QString::number(revision);
    return text;
}

MainForm::MainForm(std::unique_ptr<settings::SettingsBackend> backend, QWidget *parent)
    : QWidget(parent)
    , m_backend(backend ? std::move(backend) : settings::CreateDefaultBackend())
    , m_executablePath(new launch::ExecutablePath(this))
    , m_model(new results::ResultsModel(this))
    , m_run(new search::SearchRun(this))
{
    setWindowTitle(QStringLiteral("Rollcall"));
    setWindowIcon(ui::Icon(ui::ProgramIcon));
    setAttribute(Qt::WA_QuitOnClose);

    m_pages = new QStackedWidget(this);
    m_options = new OptionsPage(m_pages);
    m_searchPage = new SearchPage(m_model, m_pages);
    m_pages->addWidget(buildWelcomePage());
    m_pages->addWidget(m_options);
    m_pages->addWidget(m_searchPage);
    for (int i = 0; i <= LastPage; ++i)
        m_pages->widget(i)->setObjectName(QStringLiteral("PictureContainer_%1").arg(i));

    m_nav[Back] = new QPushButton(QStringLiteral("< &Back"), this);
    m_nav[Next] = new QPushButton(QStringLiteral("&Next >"), this);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_nav[Back]->setObjectName(QStringLiteral("Command2_0"));
    m_nav[Next]->setObjectName(QStringLiteral("Command2_1"));
    m_close->setObjectName(QStringLiteral("Command3"));
    m_nav[Next]->setDefault(true);
    m_nav[Back]->setEnabled(false);
    for (int i : { Back, Next })
        connect(m_nav[i], &QPushButton::clicked, this, [this, i] { navigate(i); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_close);
    buttons->addStretch(1);
    buttons->addWidget(m_nav[Back]);
    buttons->addWidget(m_nav[Next]);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);

    m_searchPage->bind(m_run);
    buildResultsCommands();

    setPictureContainerIndex(0);
    loadSettings();

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(
            app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { sessionEnding(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &MainForm::sessionEnding);
    }
}

MainForm::~MainForm() = default;

QString MainForm::executablePath() const
{
    return m_executablePath->value();
}

QWidget *MainForm::buildWelcomePage()
{
    auto *page = new QWidget(m_pages);
    auto *layout = new QHBoxLayout(page);
    auto *picture = makeLabel(page, "HLLogo", QString());
    picture->setPixmap(ui::WelcomePicture());
    picture->setAccessibleName(QStringLiteral("Rollcall welcome picture"));
    picture->setAlignment(Qt::AlignTop);
    layout->addWidget(picture);

    auto *texts = new QVBoxLayout;
    auto *logo = makeLabel(page, "AppLogo_0", QString());
    logo->setPixmap(ui::IconPixmap(ui::ProgramIcon));
    logo->setAccessibleName(QStringLiteral("Rollcall"));
    texts->addWidget(logo, 0, Qt::AlignRight);
    auto *welcome = makeLabel(page, "Label1", QStringLiteral("Welcome to Brightfield Rollcall v"));
    welcome->setText(welcome->text()
        + VersionText(ROLLCALL_VERSION_MAJOR, ROLLCALL_VERSION_MINOR, ROLLCALL_VERSION_REVISION));
    QFont font = welcome->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    welcome->setFont(font);
    texts->addWidget(welcome);
    texts->addWidget(makeLabel(page, "Label6",
        QStringLiteral("With this program you can search for online players playing Half-Life.")));
    texts->addStretch(1);
    texts->addWidget(makeLabel(page, "Label4", QStringLiteral("Press Next to continue...")));
    layout->addLayout(texts, 1);
    return page;
}

void MainForm::buildResultsCommands()
{
    SearchPage *p = m_searchPage;
    const results::ResultsPageWidgets widgets { this, p->list(), m_model, p->launch(), p->refresh(),
        p->stop(), p->viewInfo(), p->copy(), p->ping(), p->copyBox() };
    m_resultsPage = new results::ResultsPage(widgets, m_executablePath, this);
    connect(m_resultsPage, &results::ResultsPage::stopRequested, m_run, &search::SearchRun::stop);
    // The run reports its end when its last query is done; a late reply may report it again.
    connect(m_run, &search::SearchRun::searchDone, this, [this] {
        if (!m_run->isActive())
            m_resultsPage->runEnded();
    });
}

void MainForm::setPictureContainerIndex(int index)
{
    for (int i = 0; i <= LastPage; ++i)
        m_pages->widget(i)->setEnabled(i == index);
    m_pages->setCurrentIndex(index);
}

void MainForm::navigate(int button)
{
    // The options page is only ever left with valid options, whichever way.
    if (m_currentPage == 1 && !m_options->validate())
        return;
    if (button == Next) {
        ++m_currentPage;
        m_nav[Back]->setEnabled(true);
    } else {
        --m_currentPage;
        m_nav[Next]->setEnabled(true);
        if (m_currentPage == 0) {
            m_nav[Back]->setEnabled(false);
            m_nav[Next]->setFocus(Qt::OtherFocusReason);
        }
    }
    m_nav[Next]->setEnabled(m_currentPage != LastPage);
    setPictureContainerIndex(m_currentPage);
    // Otherwise the focus stays on "Next >", where Tab and Enter reach "Close".
    if (m_currentPage == 1)
        m_options->focusFirstName();
    if (m_currentPage == 1 && m_runExists)
        endSearchRun();
    if (m_currentPage == LastPage)
        startSearchRun();
}

void MainForm::startSearchRun()
{
    const search::SearchCriteria criteria = m_options->criteria();
    BusyCursor busy;
    m_searchPage->dropPendingRows();
    m_model->clear();
    m_resultsPage->searchStarted();
    m_searchPage->resetProgress();
    m_runExists = true;
    m_run->start(criteria);
}

void MainForm::endSearchRun()
{
    BusyCursor busy;
    m_run->tearDown();
    // The rows found so far stay in the list.
    m_searchPage->flushRows();
    m_resultsPage->tearDown();
    m_runExists = false;
}

void MainForm::loadSettings()
{
    const settings::SettingsValues values
        = settings::LoadSettings(*m_backend, QLatin1String(search::MasterPresets[0]));
    m_options->applySettings(values);
    m_executablePath->setValue(values.ExecutablePath);
}

void MainForm::saveSettings()
{
    settings::SettingsValues values;
    m_options->storeSettings(values);
    values.ExecutablePath = m_executablePath->value();
    settings::SaveSettings(*m_backend, values);
}

void MainForm::sessionEnding()
{
    // The system is logging off or the program is being ended from outside: the user did not
    // close the window, so nothing is saved.
    m_sessionEnding = true;
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (!m_sessionEnding)
        saveSettings();
    event->accept();
    // Every other window lives only as long as this one.
    QList<QPointer<QWidget>> others;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != this && w->isVisible())
            others.append(w);
    }
    for (const QPointer<QWidget> &w : others) {
        if (w)
            w->close();
    }
    QCoreApplication::quit();
}

void MainForm::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the button that has the focus, else the default button "Next".
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        QPushButton *target = focused && focused->isEnabled() ? focused : m_nav[Next];
        if (target->isEnabled() && target->isVisible()) {
            target->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

} // namespace rollcall::app
