// The one check of these C programs: report the failed condition and leave
// the calling function with 1.
#ifndef HALYARD_C_CHECK_H
#define HALYARD_C_CHECK_H

#include <stdio.h>

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            return 1;                                                               \
        }                                                                           \
    } while (0)

#endif  // HALYARD_C_CHECK_H
