/* Compiled as C so that the public header stays plain C. */
#include "voxtrail.h"

#include <stddef.h>

/* A negative array size fails the build when the record's layout drifts. */
typedef char voxtrail_settings_size_check[sizeof(VOXTRAIL_ANALYSIS_SETTINGS) ==
                                                  offsetof(VOXTRAIL_ANALYSIS_SETTINGS, configFile) +
                                                      sizeof(const char*)
                                              ? 1
                                              : -1];

uint32_t voxtrail_header_check(void);

uint32_t voxtrail_header_check(void) {
    VOXTRAIL_ANALYSIS_SETTINGS settings = {sizeof(VOXTRAIL_ANALYSIS_SETTINGS), 30, 0, -1, NULL};
    VOXTRAIL_ANALYSIS* analysis = NULL;
    uint32_t (*query)(VOXTRAIL_ANALYSIS*, int32_t*) = VoxtrailGetNumPhonemes;
    (void)query;
    (void)analysis;
    return (uint32_t)settings.size + VOXTRAIL_CONFIG_PARSE_ERROR;
}
