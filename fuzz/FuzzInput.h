#pragma once

// Shared by the fuzz targets: the input as a byte view, and a check that stops the run loudly.

#include <QByteArrayView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace rollcall::fuzz {

inline QByteArrayView bytes(const uint8_t *data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size));
}

// An assert that stays on in every build type: a broken invariant is a finding.
#define ROLLCALL_FUZZ_CHECK(condition)                                                                       \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition);         \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

} // namespace rollcall::fuzz
