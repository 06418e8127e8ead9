#include "app/MasterChoice.h"

#include "protocol/SteamMasterProtocol.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>

namespace rollcall::app {

using search::ListProtocol;

namespace {

// The protocols in the order of the choice's list.
constexpr std::array<ListProtocol, 4> Choices
    = { ListProtocol::Legacy, ListProtocol::Steam, ListProtocol::WebApi, ListProtocol::ListFile };
// Their names in the settings, in the same order.
constexpr std::array<const char *, 4> StoredNames = { "legacy", "steam", "webapi", "listfile" };

int choiceOf(ListProtocol protocol)
{
    return int(std::find(Choices.begin(), Choices.end(), protocol) - Choices.begin());
}

bool asksMaster(ListProtocol protocol)
{
    return protocol == ListProtocol::Legacy || protocol == ListProtocol::Steam;
}

size_t indexOf(ListProtocol protocol)
{
    return protocol == ListProtocol::Steam ? 1 : 0;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

} // namespace

MasterChoice::MasterChoice(QComboBox *master, QLabel *masterLabel, QWidget *frame, QGridLayout *grid, int row)
    : QObject(frame)
    , m_master(master)
    , m_masterLabel(masterLabel)
    , m_masters { QLatin1String(search::MasterPresets[0]), QLatin1String(search::SteamMasterPresets[0]) }
{
    m_protocol = new QComboBox(frame);
    m_protocol->setObjectName(QStringLiteral("cboProtocol"));
    m_protocol->addItem(tr("Half-Life master"));
    m_protocol->addItem(tr("Steam master"));
    m_protocol->addItem(tr("Steam Web API"));
    m_protocol->addItem(tr("Server list file"));
    m_region = new QComboBox(frame);
    m_region->setObjectName(QStringLiteral("cboRegion"));
    m_region->setAccessibleName(tr("Steam master region"));
    for (const protocol::SteamRegionName &region : protocol::SteamRegionNames)
        m_region->addItem(tr(region.DisplayName), int(region.Region));
    m_region->setCurrentIndex(m_region->findData(int(protocol::SteamRegion::World)));
    m_regionLabel = makeLabel(frame, "lblRegion", tr("&Region:"), m_region);
    auto *choices = new QHBoxLayout;
    choices->addWidget(m_protocol);
    choices->addSpacing(frame->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 2);
    choices->addWidget(m_regionLabel);
    choices->addWidget(m_region);
    choices->addStretch(1);
    grid->addWidget(makeLabel(frame, "lblProtocol", tr("&Protocol:"), m_protocol), row, 0);
    grid->addLayout(choices, row, 1, 1, 2);
    connect(m_protocol, &QComboBox::currentIndexChanged, this, &MasterChoice::chosen);
    show(ListProtocol::Legacy);
}

quint8 MasterChoice::region() const
{
    return quint8(m_region->currentData().toInt());
}

void MasterChoice::chosen()
{
    if (asksMaster(m_shown))
        m_masters[indexOf(m_shown)] = m_master->currentText();
    const int choice = m_protocol->currentIndex();
    show(choice >= 0 && choice < int(Choices.size()) ? Choices[size_t(choice)] : ListProtocol::Legacy);
}

void MasterChoice::show(ListProtocol protocol)
{
    m_shown = protocol;
    if (asksMaster(protocol)) {
        m_master->clear();
        if (protocol == ListProtocol::Steam) {
            for (const char *preset : search::SteamMasterPresets)
                m_master->addItem(QLatin1String(preset));
        } else {
            for (const char *preset : search::MasterPresets)
                m_master->addItem(QLatin1String(preset));
        }
        m_master->setEditText(m_masters[indexOf(protocol)]);
    }
    m_master->setVisible(asksMaster(protocol));
    m_masterLabel->setVisible(asksMaster(protocol));
    // The region only matters to the Steam master.
    m_regionLabel->setVisible(protocol == ListProtocol::Steam);
    m_region->setVisible(protocol == ListProtocol::Steam);
    Q_EMIT protocolShown(protocol);
}

void MasterChoice::showRegion(const QString &storedByte)
{
    const int region = storedByte.toInt();
    int index = m_region->findData(region);
    // A byte the region table does not name (rollcall-find takes any) is kept, not replaced.
    if (index < 0) {
        m_region->addItem(tr("Region %1").arg(region), region);
        index = m_region->count() - 1;
    }
    m_region->setCurrentIndex(index);
}

void MasterChoice::apply(const settings::SettingsValues &values)
{
    m_masters = { values.MasterServer, values.SteamMasterServer };
    ListProtocol protocol = ListProtocol::Legacy;
    for (size_t i = 0; i < StoredNames.size(); ++i) {
        if (values.Protocol == QLatin1String(StoredNames[i]))
            protocol = Choices[i];
    }
    {
        const QSignalBlocker quiet(m_protocol);
        m_protocol->setCurrentIndex(choiceOf(protocol));
    }
    show(protocol);
    showRegion(values.SteamRegion);
}

void MasterChoice::store(settings::SettingsValues &values) const
{
    std::array<QString, 2> masters = m_masters;
    if (asksMaster(m_shown))
        masters[indexOf(m_shown)] = m_master->currentText();
    values.MasterServer = masters[0];
    values.SteamMasterServer = masters[1];
    values.Protocol = QLatin1String(StoredNames[size_t(choiceOf(m_shown))]);
    values.SteamRegion = QString::number(region());
}

} // namespace rollcall::app
