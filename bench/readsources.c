/* Reads every source of the flat workload once, s1.c to sN.c: the least a run must do to learn
 * that touched sources kept their content. bench/record.py compares the run after a touch with
 * this time plus the no-op's.
 *
 * usage: readsources N
 * Exit status 0 when every source was read, 1 otherwise. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: readsources N\n");
        return 2;
    }
    long n = strtol(argv[1], NULL, 10);
    long missing = 0;
    char name[32];
    char buffer[65536];
    for (long k = 1; k <= n; ++k) {
        snprintf(name, sizeof name, "s%ld.c", k);
        int fd = open(name, O_RDONLY);
        if (fd < 0) {
            ++missing;
            continue;
        }
        while (read(fd, buffer, sizeof buffer) > 0) {
        }
        close(fd);
    }
    return missing == 0 ? 0 : 1;
}
