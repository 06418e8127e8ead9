#include "app/MasterChoice.h"

#include "protocol/SteamMasterProtocol.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace rollcall::app {

using search::ListProtocol;

namespace {

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

MasterChoice::MasterChoice(QComboBox *master, QWidget *frame, QGridLayout *grid, int row)
    : QObject(frame)
    , m_master(master)
    , m_masters { QLatin1String(search::MasterPresets[0]), QLatin1String(search::SteamMasterPresets[0]) }
{
    m_protocol = new QComboBox(frame);
    m_protocol->setObjectName(QStringLiteral("cboProtocol"));
    m_protocol->addItem(tr("Half-Life master"));
    m_protocol->addItem(tr("Steam master"));
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
    m_masters[indexOf(m_shown)] = m_master->currentText();
    show(m_protocol->currentIndex() == 1 ? ListProtocol::Steam : ListProtocol::Legacy);
}

void MasterChoice::show(ListProtocol protocol)
{
    m_shown = protocol;
    m_master->clear();
    if (protocol == ListProtocol::Steam) {
        for (const char *preset : search::SteamMasterPresets)
            m_master->addItem(QLatin1String(preset));
    } else {
        for (const char *preset : search::MasterPresets)
            m_master->addItem(QLatin1String(preset));
    }
    m_master->setEditText(m_masters[indexOf(protocol)]);
    // The region only matters to the Steam master.
    m_regionLabel->setVisible(protocol == ListProtocol::Steam);
    m_region->setVisible(protocol == ListProtocol::Steam);
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
    const ListProtocol protocol
        = values.Protocol == QLatin1String("steam") ? ListProtocol::Steam : ListProtocol::Legacy;
    {
        const QSignalBlocker quiet(m_protocol);
        m_protocol->setCurrentIndex(int(indexOf(protocol)));
    }
    show(protocol);
    showRegion(values.SteamRegion);
}

void MasterChoice::store(settings::SettingsValues &values) const
{
    std::array<QString, 2> masters = m_masters;
    masters[indexOf(m_shown)] = m_master->currentText();
    values.MasterServer = masters[0];
    values.SteamMasterServer = masters[1];
    values.Protocol = m_shown == ListProtocol::Steam ? QStringLiteral("steam") : QStringLiteral("legacy");
    values.SteamRegion = QString::number(region());
}

} // namespace rollcall::app
