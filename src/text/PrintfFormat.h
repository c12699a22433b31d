#pragma once

// Marks a function that formats as printf does, so that the compiler checks
// each call's arguments against its format: `formatAt` is the position of the
// format among the parameters, `valuesFrom` that of the first value.
#if defined(__MINGW32__)
// MinGW names the kind of format its printf takes, C99's or Microsoft's.
#include <cstdio>
#define PRINTF_FORMAT(formatAt, valuesFrom)                                                        \
    __attribute__((__format__(__MINGW_PRINTF_FORMAT, formatAt, valuesFrom)))
#elif defined(__GNUC__) || defined(__clang__)
#define PRINTF_FORMAT(formatAt, valuesFrom)                                                        \
    __attribute__((__format__(__printf__, formatAt, valuesFrom)))
#else
#define PRINTF_FORMAT(formatAt, valuesFrom)
#endif
