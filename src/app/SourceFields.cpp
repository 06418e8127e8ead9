#include "app/SourceFields.h"

#include "settings/ApiKey.h"
#include "ui/Seams.h"
#include "ui/UserMessage.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

namespace rollcall::app {

using search::ListProtocol;

namespace {

const char *const KeyPage = "https://steamcommunity.com/dev/apikey";

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QWidget *buddy)
{
    auto *label = named(new QLabel(text, parent), name);
    label->setBuddy(buddy);
    return label;
}

} // namespace

SourceFields::SourceFields(QWidget *frame, QGridLayout *grid, int row)
    : QObject(frame)
    , m_webApiUrl(settings::DefaultWebApiUrl)
{
    buildWebApi(frame, grid, row);
    buildListFile(frame, grid, row + 2);
    show(ListProtocol::Legacy);
}

void SourceFields::buildWebApi(QWidget *frame, QGridLayout *grid, int row)
{
    m_apiKey = named(new QLineEdit(frame), "txtApiKey");
    m_apiKey->setEchoMode(QLineEdit::Password);
    m_showKey = named(new QPushButton(tr("Show"), frame), "cmdShowKey");
    m_showKey->setAutoDefault(false);
    m_showKey->setAccessibleName(tr("Show or hide the API key"));
    m_keyLink = named(new QLabel(frame), "lblApiKeyLink");
    m_keyLink->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(QLatin1String(KeyPage), tr("Get a key").toHtmlEscaped()));
    m_keyLink->setTextFormat(Qt::RichText);
    m_keyLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_keyLink->setOpenExternalLinks(false);
    m_keyLink->setToolTip(QLatin1String(KeyPage));
    m_keyringState = named(new QLabel(frame), "lblKeyringState");
    m_keyringState->setWordWrap(true);
    m_keyringState->installEventFilter(this);
    auto *label = makeLabel(frame, "lblApiKey", tr("API &key:"), m_apiKey);

    auto *line = new QHBoxLayout;
    line->addWidget(m_apiKey, 1);
    line->addWidget(m_showKey);
    line->addWidget(m_keyLink);
    grid->addWidget(label, row, 0);
    grid->addLayout(line, row, 1, 1, 2);
    grid->addWidget(m_keyringState, row + 1, 1, 1, 2);
    m_webApiWidgets = { label, m_apiKey, m_showKey, m_keyLink };

    connect(m_showKey, &QPushButton::clicked, this, &SourceFields::toggleKeyShown);
    connect(m_keyLink, &QLabel::linkActivated, this, [this](const QString &link) {
        if (!ui::seams().openUrl(QUrl(link)))
            ui::seams().showMessage(m_keyLink->window(),
                { ui::UserMessage::Icon::Exclamation,
                    tr("No web browser could be opened. A Steam user gets a key at %1").arg(link) });
    });
}

void SourceFields::buildListFile(QWidget *frame, QGridLayout *grid, int row)
{
    m_listFile = named(new QLineEdit(frame), "txtListFile");
    m_browse = named(new QPushButton(tr("Browse..."), frame), "cmdBrowseListFile");
    m_browse->setAutoDefault(false);
    m_queries = named(new QComboBox(frame), "cboListQueries");
    m_queries->addItem(tr("Half-Life"), int(search::ServerQueries::Legacy));
    m_queries->addItem(tr("A2S"), int(search::ServerQueries::A2s));
    auto *fileLabel = makeLabel(frame, "lblListFile", tr("&List file:"), m_listFile);
    auto *queriesLabel = makeLabel(frame, "lblListQueries", tr("Query ser&vers with:"), m_queries);

    auto *line = new QHBoxLayout;
    line->addWidget(m_listFile, 1);
    line->addWidget(m_browse);
    grid->addWidget(fileLabel, row, 0);
    grid->addLayout(line, row, 1, 1, 2);
    grid->addWidget(queriesLabel, row + 1, 0);
    grid->addWidget(m_queries, row + 1, 1, Qt::AlignLeft);
    m_listFileWidgets = { fileLabel, m_listFile, m_browse, queriesLabel, m_queries };

    connect(m_browse, &QPushButton::clicked, this, &SourceFields::browse);
}

void SourceFields::show(ListProtocol protocol)
{
    m_webApiShown = protocol == ListProtocol::WebApi;
    for (QWidget *w : std::as_const(m_webApiWidgets))
        w->setVisible(m_webApiShown);
    m_keyringState->setVisible(m_webApiShown && !m_keyringState->text().isEmpty());
    for (QWidget *w : std::as_const(m_listFileWidgets))
        w->setVisible(protocol == ListProtocol::ListFile);
}

SourceFields::Fault SourceFields::check(ListProtocol protocol) const
{
    if (protocol == ListProtocol::WebApi) {
        const QString key = apiKey();
        if (key.isEmpty())
            return { m_apiKey, tr("Please enter your Steam Web API key.") };
        // Never the key itself in the text: a message can end up in a screenshot or a report.
        if (!settings::IsPlausibleKey(key))
            return { m_apiKey,
                tr("This is not a Steam Web API key: a key has no spaces and only plain letters, digits "
                   "and punctuation.") };
    }
    if (protocol == ListProtocol::ListFile && m_listFile->text().trimmed().isEmpty())
        return { m_listFile, tr("Please choose a server list file.") };
    return {};
}

QString SourceFields::apiKey() const
{
    return m_apiKey->text().trimmed();
}

void SourceFields::offerApiKey(const QString &key)
{
    if (m_apiKey->isModified())
        return;
    m_apiKey->setText(key);
}

void SourceFields::setKeyringState(const QString &text)
{
    m_keyringState->setText(text);
    m_keyringState->setVisible(m_webApiShown && !text.isEmpty());
    fitKeyringState();
}

// A grid gives a wrapped label the height of one line whatever its width needs; the page has
// room below, so the label asks for its lines itself each time its width changes.
void SourceFields::fitKeyringState()
{
    const int need = m_keyringState->heightForWidth(m_keyringState->width());
    if (need > 0 && need != m_keyringState->minimumHeight())
        m_keyringState->setMinimumHeight(need);
}

bool SourceFields::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_keyringState && event->type() == QEvent::Resize)
        fitKeyringState();
    return QObject::eventFilter(watched, event);
}

search::ServerQueries SourceFields::listQueries() const
{
    return search::ServerQueries(m_queries->currentData().toInt());
}

QString SourceFields::listFile() const
{
    return m_listFile->text().trimmed();
}

void SourceFields::setListFile(const QString &path)
{
    m_listFile->setText(path);
}

void SourceFields::fill(search::SearchCriteria &criteria) const
{
    criteria.ApiKey = criteria.Protocol == ListProtocol::WebApi ? apiKey() : QString();
    criteria.WebApiUrl = !m_webApiUrlOverride.isEmpty() ? m_webApiUrlOverride
        : !m_webApiUrl.trimmed().isEmpty()              ? m_webApiUrl.trimmed()
                                                        : settings::DefaultWebApiUrl;
    criteria.ServerListFile = m_listFile->text().trimmed();
    criteria.ListFileQueries = listQueries();
}

void SourceFields::apply(const settings::SettingsValues &values)
{
    m_webApiUrl = values.WebApiUrl;
    m_listFile->setText(values.ServerListFile);
    m_queries->setCurrentIndex(values.ListFileQueries == QLatin1String("a2s") ? 1 : 0);
}

void SourceFields::store(settings::SettingsValues &values) const
{
    values.WebApiUrl = m_webApiUrl;
    values.ServerListFile = m_listFile->text();
    values.ListFileQueries
        = listQueries() == search::ServerQueries::A2s ? QStringLiteral("a2s") : QStringLiteral("legacy");
}

void SourceFields::toggleKeyShown()
{
    const bool show = m_apiKey->echoMode() == QLineEdit::Password;
    m_apiKey->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password);
    m_showKey->setText(show ? tr("Hide") : tr("Show"));
}

void SourceFields::browse()
{
    const QString current = m_listFile->text().trimmed();
    const QFileInfo info(current);
    const QString folder = !current.isEmpty() && info.dir().exists() ? info.absolutePath() : QDir::homePath();
    const QString chosen = ui::seams().chooseFile(m_browse->window(), tr("Choose a Server List File"),
        current, folder, tr("Server lists (*.txt *.lst *.cfg);;All Files (*)"));
    if (!chosen.isEmpty() && chosen != current)
        m_listFile->setText(QDir::toNativeSeparators(chosen));
    m_listFile->setFocus(Qt::OtherFocusReason);
}

} // namespace rollcall::app
