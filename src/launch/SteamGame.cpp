#include "launch/SteamGame.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace rollcall::launch {

namespace {

// Far beyond any real libraryfolders.vdf; a bigger file is not one.
constexpr qint64 MaxVdfSize = 1 << 20;

struct Token
{
    enum class Kind { Text, Open, Close };
    Kind What = Kind::Text;
    QByteArray Text; // a quoted string with \\ and \" undone
};

// The next quoted string or brace from `at` on; `at` moves past it. Nothing at the end of the
// text or in an unterminated string.
std::optional<Token> nextToken(QByteArrayView vdf, qsizetype &at)
{
    while (at < vdf.size() && vdf[at] != '"' && vdf[at] != '{' && vdf[at] != '}')
        ++at;
    if (at == vdf.size())
        return std::nullopt;
    if (vdf[at] != '"')
        return Token { vdf[at++] == '{' ? Token::Kind::Open : Token::Kind::Close, {} };
    Token token;
    for (++at; at < vdf.size(); ++at) {
        char c = vdf[at];
        if (c == '"') {
            ++at;
            return token;
        }
        if (c == '\\' && at + 1 < vdf.size())
            c = vdf[++at];
        token.Text += c;
    }
    return std::nullopt;
}

bool isNumber(const QByteArray &key)
{
    return !key.isEmpty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void appendFolder(QStringList &folders, const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty() && QFileInfo(canonical).isDir() && !folders.contains(canonical))
        folders.append(canonical);
}

QStringList listedLibraries(const QString &root)
{
    QStringList listed;
    for (const char *name : { "steamapps/libraryfolders.vdf", "config/libraryfolders.vdf" }) {
        QFile file(QDir(root).filePath(QLatin1String(name)));
        if (file.size() <= MaxVdfSize && file.open(QIODevice::ReadOnly))
            listed += LibraryFoldersFromVdf(file.readAll());
    }
    return listed;
}

} // namespace

QStringList LibraryFoldersFromVdf(QByteArrayView vdf)
{
    QStringList folders;
    qsizetype at = 0;
    int depth = 0;
    std::optional<QByteArray> key;
    while (const std::optional<Token> token = nextToken(vdf, at)) {
        if (token->What != Token::Kind::Text) {
            depth += token->What == Token::Kind::Open ? 1 : -1;
            key.reset();
        } else if (!key) {
            key = token->Text;
        } else {
            // "path" in an entry of its own, or "1" "/folder" right under the root.
            const QString value = QString::fromUtf8(token->Text);
            if ((key->toLower() == "path" || (depth == 1 && isNumber(*key))) && QDir::isAbsolutePath(value))
                folders.append(value);
            key.reset();
        }
    }
    return folders;
}

QStringList SteamLibraries(const QString &home)
{
    const QDir dir(home);
    QStringList roots;
    for (const char *root : { ".steam/steam", ".steam/root", ".steam/debian-installation",
             ".local/share/Steam", ".var/app/com.valvesoftware.Steam/.local/share/Steam" })
        appendFolder(roots, dir.filePath(QLatin1String(root)));
    QStringList libraries = roots;
    for (const QString &root : roots) {
        for (const QString &listed : listedLibraries(root))
            appendFolder(libraries, listed);
    }
    return libraries;
}

QStringList DefaultSteamLibraries()
{
    return SteamLibraries(QDir::homePath());
}

QString FindSteamHalfLife(const QStringList &libraryRoots)
{
    for (const QString &root : libraryRoots) {
        const QDir game(QDir(root).filePath(QStringLiteral("steamapps/common/Half-Life")));
        for (const char *name : { "hl.sh", "hl_linux" }) {
            const QFileInfo program(game.filePath(QLatin1String(name)));
            if (program.isFile())
                return program.absoluteFilePath();
        }
    }
    return {};
}

} // namespace rollcall::launch
