#include "protocol/ServerListFile.h"

#include "protocol/ServerAddressRules.h"

namespace rollcall::protocol {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A DNS name of letters, digits and hyphens in dot-separated labels. The last label must start
// with a letter: a resolver reads "0x7f000001" or "127.1" as an address, not as a name, and
// would aim somewhere the text does not show.
bool isHostName(QStringView host)
{
    if (host.isEmpty() || host.size() > MaxHostNameLength)
        return false;
    qsizetype labelStart = 0;
    for (qsizetype i = 0; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != u'.') {
            const QChar c = host[i];
            if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'-')
                return false;
            continue;
        }
        const QStringView label = host.sliced(labelStart, i - labelStart);
        if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-')
            return false;
        if (i == host.size() && !isAsciiLetter(label.front()))
            return false;
        labelStart = i + 1;
    }
    return true;
}

bool isDigitsAndDots(QStringView text)
{
    for (const QChar c : text) {
        if (!isAsciiDigit(c) && c != u'.')
            return false;
    }
    return true;
}

std::optional<quint16> parsePort(QStringView text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (!isAsciiDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

std::optional<ListFileEntry> fail(std::optional<ListLineFault> *fault, ListLineFault kind)
{
    *fault = kind;
    return std::nullopt;
}

} // namespace

std::optional<ListFileEntry> ParseServerListLine(QStringView line, std::optional<ListLineFault> *fault)
{
    fault->reset();
    if (line.size() > MaxListFileLineLength)
        return fail(fault, ListLineFault::LineTooLong);
    const qsizetype hash = line.indexOf(u'#');
    const QStringView text = (hash < 0 ? line : line.first(hash)).trimmed();
    if (text.isEmpty())
        return std::nullopt;

    ListFileEntry entry;
    QStringView host = text;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0) {
        host = text.first(colon);
        // A second colon is IPv6, or a typo: either way no host this program can ask.
        if (host.contains(u':'))
            return fail(fault, ListLineFault::BadHost);
        const std::optional<quint16> port = parsePort(text.sliced(colon + 1));
        if (!port)
            return fail(fault, ListLineFault::BadPort);
        entry.Port = *port;
    }
    if (host.isEmpty())
        return fail(fault, ListLineFault::MissingHost);
    if (isDigitsAndDots(host)) {
        entry.Address = ParseDottedIPv4(host);
        if (!entry.Address)
            return fail(fault, ListLineFault::BadHost);
    } else if (!isHostName(host)) {
        return fail(fault, ListLineFault::BadHost);
    }
    entry.Host = host.toString().toLower();
    return entry;
}

ParsedServerList ParseServerListFile(QByteArrayView content)
{
    ParsedServerList parsed;
    const QString text = QString::fromUtf8(content);
    int lineNumber = 0;
    int named = 0; // lines that name something, good or bad
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).sliced(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.endsWith(u'\r'))
            line.chop(1);

        std::optional<ListLineFault> fault;
        const std::optional<ListFileEntry> entry = ParseServerListLine(line, &fault);
        if (!entry && !fault)
            continue;
        if (++named > MaxListFileEntries) {
            parsed.Problems.append({ lineNumber, ListLineFault::TooManyEntries, PrintableExcerpt(line) });
            break;
        }
        if (entry) {
            parsed.Entries.append(*entry);
            parsed.Entries.back().Line = lineNumber;
        } else {
            parsed.Problems.append({ lineNumber, *fault, PrintableExcerpt(line) });
        }
    }
    return parsed;
}

QString PrintableExcerpt(QStringView text, qsizetype maxLength)
{
    QString shown;
    // Bounded before anything is copied: the caller may hand over a whole line of any length.
    for (const QChar c : text.first(qMin(text.size(), 4 * maxLength + 16))) {
        if (c.isPrint() && !c.isSurrogate())
            shown.append(c);
    }
    shown = shown.trimmed();
    if (shown.size() > maxLength) {
        shown.truncate(maxLength - 1);
        shown.append(QChar(0x2026));
    }
    return shown;
}

QString ServerListLine(const QString &address, quint16 port)
{
    return address + u':' + QString::number(port);
}

} // namespace rollcall::protocol
