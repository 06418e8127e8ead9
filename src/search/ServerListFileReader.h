#pragma once

// Reads a server list file, or content given instead (standard input), into the servers a run
// asks: each line parsed, each host name looked up (IPv4 only, all names at once, without
// waiting on any of them), the unusable-address rule applied, and each address and port kept
// once, in file order. The result comes once per read, always from the event loop, so a caller
// may start the next read from its handler.

#include "search/ListFileFacts.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace rollcall::search {

// The bytes of a list file, or why there are none (Read when there are). Only a regular file
// of at most ServerListFileReader::MaxFileBytes is opened.
ListFileEnd ReadServerListBytes(const QString &path, QByteArray *bytes, QString *detail);

// Appends "address:port" as a line of its own unless a line of the file names that server
// already ("10.0.0.1" matches 10.0.0.1:27015). Creates a missing file; never rewrites one:
// a last line without its line end gets one first, and the file's own line ends are kept.
ListFileAddResult AddServerToListFile(const QString &path, const protocol::ServerEntry &server);

class ServerListFileReader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerListFileReader)

public:
    // Ten thousand lines of "host:port # comment" fit many times over; anything bigger is not a
    // list someone keeps by hand.
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    explicit ServerListFileReader(QObject *parent = nullptr);
    ~ServerListFileReader() override;

    // Both drop a read in progress first.
    void readFile(const QString &path);
    void readContent(const QByteArray &content);
    // Drops the read in progress, lookups included; nothing is reported for it.
    void abort();
    bool isReading() const;

    // How long all lookups of one read may take together (30 s); names without an answer by
    // then are problems of their own. Tests shorten it.
    void setLookupTimeout(std::chrono::milliseconds timeout);

Q_SIGNALS:
    void finished(const rollcall::search::ListFileResult &result);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace rollcall::search
