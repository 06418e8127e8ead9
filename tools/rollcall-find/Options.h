#pragma once

// rollcall-find's command line: what it asks for, checked against the same limits as the
// window's options, over the saved options as defaults.

#include "Output.h"
#include "protocol/QueryProtocol.h"
#include "search/SearchCriteria.h"

#include <QString>
#include <QStringList>

namespace rollcall::find {

// Exit statuses.
inline constexpr int Found = 0; // rows found, or the server answered
inline constexpr int NothingFound = 1; // no rows, or no answer
inline constexpr int Failed = 2; // bad options, or a failed master exchange

struct ServerAddress
{
    QString ip;
    int port = 0;
};

// What the command line asks for, checked: anything wrong has ended the program already.
struct Options
{
    enum class Action { Search, QueryOne, Help, Version };
    Action action = Action::Search;
    Format format = Format::Tsv;
    bool progress = false;
    bool header = true; // tsv: the header line first
    search::SearchCriteria criteria;
    // --protocol webapi without --key-file or ROLLCALL_STEAM_KEY: the key is read from the keyring
    // before the search starts.
    bool keyFromKeyring = false;
    protocol::QueryKind queryKind = protocol::QueryKind::Players;
    ServerAddress server;
};

// A mistake on the command line ends the program here, with a message and status Failed.
Options ParseOptions(const QStringList &arguments);

} // namespace rollcall::find
