#include "app/MainForm.h"

#include "app/KeyVault.h"
#include "app/OptionsPage.h"
#include "app/SearchPage.h"
#include "app/SourceFields.h"
#include "launch/ExecutablePath.h"
#include "launch/SteamGame.h"
#include "results/ResultsModel.h"
#include "results/ResultsPage.h"
#include "search/SearchCriteria.h"
#include "search/SearchRun.h"
#include "settings/SettingsStore.h"
#include "ui/Icons.h"
#include "ui/Seams.h"
#include "ui/WebApiTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSessionManager>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace rollcall::app {

namespace {

enum NavigationButton { Back = 0, Next = 1 };
constexpr int LastPage = 2;

// Where the game is when nothing was saved: on Linux the Half-Life of the user's Steam library,
// else nothing, so the launch window asks for it rather than offering a folder that cannot exist.
QString defaultGamePath()
{
#ifdef Q_OS_WIN
    return settings::DefaultExecutablePath;
#else
    return launch::FindSteamHalfLife(launch::DefaultSteamLibraries());
#endif
}

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

// What kept the saved options from the window, in the user's words; empty when nothing did.
QString loadProblemText(const settings::SettingsBackend &backend)
{
    QString reason;
    switch (backend.loadProblem()) {
    case settings::LoadProblem::None:
        return {};
    case settings::LoadProblem::NotARegularFile:
        reason = MainForm::tr("it is not a regular file");
        break;
    case settings::LoadProblem::TooLarge:
        reason = MainForm::tr("it is larger than %1 MiB, far too large for a settings file")
                     .arg(settings::MaxSettingsFileSize / (1024 * 1024));
        break;
    }
    return ui::TwoPartMessage(
        MainForm::tr("Your saved options could not be read from %1: %2.").arg(backend.location(), reason),
        MainForm::tr("Rollcall starts with its default options."));
}

QString saveProblemText(const settings::SettingsBackend &backend)
{
    QString first;
    switch (backend.saveProblem()) {
    case settings::SaveProblem::None:
        return {};
    case settings::SaveProblem::NotARegularFile:
        first = MainForm::tr("Your options could not be saved to %1: it is not a regular file, and "
                             "Rollcall leaves it as it is.");
        break;
    case settings::SaveProblem::NotWritten:
        first = MainForm::tr("Your options could not be saved to %1.");
        break;
    }
    return ui::TwoPartMessage(first.arg(backend.location()),
        MainForm::tr("The next start uses the options saved before, or the defaults."));
}

} // namespace

MainForm::MainForm(
    std::unique_ptr<settings::SettingsBackend> backend, std::unique_ptr<KeyVault> keys, QWidget *parent)
    : QWidget(parent)
    , m_backend(backend ? std::move(backend) : settings::CreateDefaultBackend())
    , m_keys(keys ? std::move(keys) : CreateKeyringVault())
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

    m_nav[Back] = new QPushButton(tr("< &Back"), this);
    m_nav[Next] = new QPushButton(tr("&Next >"), this);
    m_close = new QPushButton(tr("Close"), this);
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
    // F1 on any page; the welcome page also has a button for it, after "Next" in the tab order
    // so Enter at the start still goes on.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
        [this] { ui::seams().showAbout(this); });
    if (auto *about = m_pages->widget(0)->findChild<QPushButton *>(QStringLiteral("cmdAbout")))
        QWidget::setTabOrder(m_nav[Next], about);

    setPictureContainerIndex(0);
    loadSettings();
    // Asked now and answered later: a keyring may take its time, and the window opens meanwhile.
    connect(m_keys.get(), &KeyVault::readFinished, this, &MainForm::keyRead);
    connect(m_keys.get(), &KeyVault::writeFinished, this, &MainForm::keyWritten);
    m_keys->read();

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(
            app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { sessionEnding(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &MainForm::sessionEnding);
    }
}

MainForm::~MainForm() = default;

void MainForm::overrideWebApiUrl(const QString &url)
{
    m_options->sources()->overrideWebApiUrl(url);
}

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
    picture->setAccessibleName(tr("Rollcall welcome picture"));
    picture->setAlignment(Qt::AlignTop);
    layout->addWidget(picture);

    auto *texts = new QVBoxLayout;
    auto *logo = makeLabel(page, "AppLogo_0", QString());
    logo->setPixmap(ui::IconPixmap(ui::ProgramIcon));
    logo->setAccessibleName(QStringLiteral("Rollcall"));
    // Beside the logo, no taller than it: nothing else on the page moves.
    auto *about = new QPushButton(tr("&About"), page);
    about->setObjectName(QStringLiteral("cmdAbout"));
    connect(about, &QPushButton::clicked, this, [this] { ui::seams().showAbout(this); });
    auto *top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(about);
    top->addWidget(logo);
    texts->addLayout(top);
    auto *welcome = makeLabel(page, "Label1",
        tr("Welcome to Brightfield Rollcall v%1")
            .arg(VersionText(ROLLCALL_VERSION_MAJOR, ROLLCALL_VERSION_MINOR, ROLLCALL_VERSION_REVISION)));
    QFont font = welcome->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    welcome->setFont(font);
    texts->addWidget(welcome);
    texts->addWidget(makeLabel(
        page, "Label6", tr("With this program you can search for online players playing Half-Life.")));
    texts->addStretch(1);
    texts->addWidget(makeLabel(page, "Label4", tr("Press Next to continue...")));
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
    // A file chosen for "Add server to list file" becomes the options' list file, saved with them.
    connect(m_resultsPage, &results::ResultsPage::serverListFileChosen, this,
        [this](const QString &path) { m_options->sources()->setListFile(path); });
    // The run reports its end once, when its last query is done or Stop was pressed.
    connect(m_run, &search::SearchRun::runEnded, this, [this] {
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
    m_resultsPage->searchStarted(search::QueriesOf(criteria));
    m_resultsPage->setServerListFile(m_options->sources()->listFile());
    m_searchPage->resetProgress();
    m_runExists = true;
    storeKey();
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
        = settings::LoadSettings(*m_backend, QLatin1String(search::MasterPresets[0]), defaultGamePath());
    m_options->applySettings(values);
    m_executablePath->setValue(values.ExecutablePath);
    m_executablePath->setJoinThroughSteam(values.JoinThroughSteam);
    // Told once the window is up, over it rather than before it.
    const QString problem = loadProblemText(*m_backend);
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] {
            ui::seams().showMessage(this, ui::UserMessage { ui::UserMessage::Icon::Exclamation, problem });
        });
    }
}

void MainForm::saveSettings()
{
    settings::SettingsValues values;
    m_options->storeSettings(values);
    values.ExecutablePath = m_executablePath->value();
    values.JoinThroughSteam = m_executablePath->joinThroughSteam();
    settings::SaveSettings(*m_backend, values);
    const QString problem = saveProblemText(*m_backend);
    if (!problem.isEmpty())
        ui::seams().showMessage(this, ui::UserMessage { ui::UserMessage::Icon::Exclamation, problem });
}

void MainForm::keyRead(settings::KeyringStatus status, const QString &key)
{
    // A write already asked for is newer than what the keyring held.
    if (m_keyWrites == 0)
        m_storedKey = key;
    m_options->sources()->offerApiKey(key);
    const std::optional<ui::UserMessage> state = ui::KeyringMessage(status, false);
    m_options->sources()->setKeyringState(state ? state->text : QString());
}

void MainForm::storeKey()
{
    const QString key = m_options->sources()->apiKey();
    if (key == m_storedKey)
        return;
    // Not asked again for the same key: a keyring that did not take it now would only keep the
    // next search or the closing window waiting.
    m_storedKey = key;
    ++m_keyWrites;
    m_keys->write(key);
}

void MainForm::keyWritten(settings::KeyringStatus status)
{
    m_keyWrites = std::max(0, m_keyWrites - 1);
    const std::optional<ui::UserMessage> state = ui::KeyringMessage(status, true);
    m_options->sources()->setKeyringState(state ? state->text : QString());
    if (m_keyWrites == 0 && m_quitAfterWrites)
        QCoreApplication::quit();
}

void MainForm::sessionEnding()
{
    // The system is logging off or the program is being ended from outside: the user did not
    // close the window, so nothing is saved.
    m_sessionEnding = true;
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (!m_sessionEnding) {
        saveSettings();
        storeKey();
    }
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
    // The keyring answers through the event loop: the program ends once it has, or once the
    // vault gives up waiting for it.
    if (m_keyWrites > 0) {
        m_quitAfterWrites = true;
        QGuiApplication::setQuitOnLastWindowClosed(false);
        return;
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
