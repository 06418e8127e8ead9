#pragma once

// rollcall-find's progress line on stderr. On a terminal that understands cursor movement it
// is rewritten in place; anywhere else it is a plain line now and then. Rows go to stdout:
// when that is the same terminal, the line is cleared before they are written, so a row never
// continues a progress line.

#include "search/RunFacts.h"

#include <QElapsedTimer>
#include <cstdio>

namespace rollcall::find {

struct Terminal
{
    bool stderrIsTerminal = false;
    // stderr is a terminal and TERM names one that takes escape sequences (not "dumb").
    bool rewritable = false;
    // stdout goes to the same terminal as stderr.
    bool sharedWithRows = false;

    static Terminal detect();
};

class ProgressLine
{
public:
    ProgressLine(bool enabled, const Terminal &terminal, std::FILE *out = stderr);

    void show(const search::RunProgress &progress);
    // Call before writing rows to stdout.
    void beforeRows();
    // Leaves the terminal's line empty for whatever comes next.
    void finish();

private:
    void clear();

    bool m_enabled;
    Terminal m_terminal;
    std::FILE *m_out;
    bool m_onScreen = false; // a rewritable line is showing
    bool m_shownOnce = false;
    QElapsedTimer m_clock;
};

} // namespace rollcall::find
