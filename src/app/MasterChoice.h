#pragma once

// The options page's choice of where the server list comes from: the protocol, the Steam master's
// region, and the master box, whose presets and text follow the protocol chosen. Each master
// protocol keeps its own last master, so trying another one and coming back loses nothing typed.
// The Web API and a list file ask no master: the box and the region are hidden for them.

#include "search/SearchCriteria.h"
#include "settings/SettingsStore.h"

#include <QObject>
#include <QString>
#include <array>

class QComboBox;
class QGridLayout;
class QLabel;
class QWidget;

namespace rollcall::app {

class MasterChoice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MasterChoice)

public:
    // Adds "Protocol:" and the region to `row` of the frame's grid, beside the master box.
    MasterChoice(QComboBox *master, QLabel *masterLabel, QWidget *frame, QGridLayout *grid, int row);

    search::ListProtocol protocol() const { return m_shown; }
    quint8 region() const;

    // The protocol, region and both masters from the settings; the box shows the protocol's own.
    void apply(const settings::SettingsValues &values);
    // Both masters as last shown or typed, the protocol and the region.
    void store(settings::SettingsValues &values) const;

Q_SIGNALS:
    void protocolShown(rollcall::search::ListProtocol protocol);

private:
    void chosen();
    void show(search::ListProtocol protocol);
    void showRegion(const QString &storedByte);

    QComboBox *m_master;
    QLabel *m_masterLabel;
    QComboBox *m_protocol = nullptr;
    QLabel *m_regionLabel = nullptr;
    QComboBox *m_region = nullptr;
    // The shown protocol's master is in the box; the other's waits here.
    std::array<QString, 2> m_masters;
    search::ListProtocol m_shown = search::ListProtocol::Legacy;
};

} // namespace rollcall::app
