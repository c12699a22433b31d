/* The least work a no-op build of the flat workload can do: read the makefile once and stat
 * every source, every object and app.exe once. Its run time, measured like the tools', is the
 * floor the benchmark compares tarvo's no-op with.
 *
 * usage: floor MAKEFILE N
 * Exit status 0 when the makefile was read and every file exists, 1 otherwise. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static long readWhole(const char* path) {
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return -1;
    }
    char* buf = malloc((size_t)st.st_size + 1);
    long total = 0;
    ssize_t got;
    while (buf && (got = read(fd, buf + total, (size_t)st.st_size + 1 - (size_t)total)) > 0)
        total += got;
    free(buf);
    close(fd);
    return total;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: floor MAKEFILE N\n");
        return 2;
    }
    long n = strtol(argv[2], NULL, 10);
    if (readWhole(argv[1]) <= 0)
        return 1;
    long missing = 0;
    char name[32];
    struct stat st;
    for (long k = 1; k <= n; ++k) {
        snprintf(name, sizeof name, "s%ld.c", k);
        missing += stat(name, &st) != 0;
        snprintf(name, sizeof name, "s%ld.obj", k);
        missing += stat(name, &st) != 0;
    }
    missing += stat("app.exe", &st) != 0;
    return missing == 0 ? 0 : 1;
}
