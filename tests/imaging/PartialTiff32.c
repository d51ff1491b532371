/* A TIFF library that lacks most exports, for the binding's missing-export
 * handling. */
#include <string.h>

__attribute__((visibility("default"))) int GetTiffVersion(char* buffer, int size) {
    if (buffer == 0 || size <= 0) return 0;
    strncpy(buffer, "partial", (size_t)size - 1);
    buffer[size - 1] = '\0';
    return (int)strlen(buffer);
}
