/* A frame-hook plug-in for the tests: Configure keeps its word count, "fail" as first argument
   makes Configure refuse; Process counts its calls and remembers the last picture's size. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

int ReleaseCount = 0;
int ProcessCount = 0;
int LastWidth = 0, LastHeight = 0;

int Configure(void** context, int argc, char* argv[]) {
    if (argc > 1 && strcmp(argv[1], "fail") == 0) return -1;
    int* words = malloc(sizeof(int));
    *words = argc;
    *context = words;
    return 0;
}

void Process(void* context, void* picture, int pixFmt, int width, int height, int64_t ptsUs) {
    (void)context, (void)picture, (void)pixFmt, (void)ptsUs;
    ++ProcessCount;
    LastWidth = width;
    LastHeight = height;
}

void Release(void* context) {
    free(context);
    ++ReleaseCount;
}
