#include "Progress.h"

#include "ui/RunTexts.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rollcall::find {

namespace {

bool sameTerminal(int a, int b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return isatty(a) == 1 && isatty(b) == 1 && fstat(a, &first) == 0 && fstat(b, &second) == 0
        && first.st_rdev == second.st_rdev;
}

} // namespace

Terminal Terminal::detect()
{
    Terminal terminal;
    terminal.stderrIsTerminal = isatty(STDERR_FILENO) == 1;
    const char *term = std::getenv("TERM");
    terminal.rewritable = terminal.stderrIsTerminal && term && *term && std::strcmp(term, "dumb") != 0;
    terminal.sharedWithRows = sameTerminal(STDOUT_FILENO, STDERR_FILENO);
    return terminal;
}

ProgressLine::ProgressLine(bool enabled, const Terminal &terminal, std::FILE *out)
    : m_enabled(enabled)
    , m_terminal(terminal)
    , m_out(out)
{
    m_clock.start();
}

void ProgressLine::show(const search::RunProgress &progress)
{
    // A terminal line may change ten times a second; plain lines pile up, so once a second.
    const int interval = m_terminal.rewritable ? 100 : 1000;
    if (!m_enabled || (m_shownOnce && m_clock.elapsed() < interval))
        return;
    m_clock.restart();
    m_shownOnce = true;
    QString text = ui::StatusText(progress);
    if (progress.isQuerying())
        text += QStringLiteral("  ") + ui::LeftText(progress);
    text += QStringLiteral("  ") + QString::number(progress.rows) + QStringLiteral(" found");
    if (m_terminal.rewritable) {
        std::fprintf(m_out, "\r%s\033[K", qPrintable(text));
        m_onScreen = true;
    } else {
        std::fprintf(m_out, "%s\n", qPrintable(text));
    }
    std::fflush(m_out);
}

void ProgressLine::beforeRows()
{
    if (m_terminal.sharedWithRows)
        clear();
}

void ProgressLine::finish()
{
    clear();
}

void ProgressLine::clear()
{
    if (!m_onScreen)
        return;
    std::fprintf(m_out, "\r\033[K");
    std::fflush(m_out);
    m_onScreen = false;
}

} // namespace rollcall::find
