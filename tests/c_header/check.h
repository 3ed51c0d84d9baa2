// The one check of the C test programs (here and in tests/halyard/c): report
// the failed condition and leave the calling function with 1.
#ifndef KRMM_TEST_C_CHECK_H
#define KRMM_TEST_C_CHECK_H

#include <stdio.h>

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            return 1;                                                               \
        }                                                                           \
    } while (0)

#endif  // KRMM_TEST_C_CHECK_H
