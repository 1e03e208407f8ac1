/* Exits with 42 when AddressSanitizer starts here; with an argument it writes past a block,
   which ASan must report. */
#include <stdlib.h>

int main(int argc, char** argv) {
    (void)argv;
    volatile char* block = malloc(8);
    if (argc > 1)
        block[8] = 1;
    free((void*)block);
    return 42;
}
