/* Runs one command and reports its wall time and peak resident set size.
 *
 * usage: measure TIMEOUT_SECONDS OUTPUT_FILE PROGRAM [ARGS...]
 *
 * The command runs in the current directory with standard input from /dev/null and standard
 * output and error into OUTPUT_FILE, in a process group of its own so that a run past the time
 * limit is ended together with the commands it started. Prints one line:
 *   WALL_SECONDS PEAK_RSS_KB EXIT_CODE TIMED_OUT CPU_SECONDS
 * CPU_SECONDS is the user and system time of the command and of the commands it waited for.
 * The exit code is 128 + the signal number for a command ended by a signal.
 *
 * A small program of its own does the start, because the kernel counts the memory of the
 * process image a child replaces in its peak RSS: started from the Python runner, every tool
 * would show at least the runner's own size. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static volatile pid_t child;
static volatile sig_atomic_t expired;

static void onAlarm(int sig) {
    (void)sig;
    expired = 1;
    kill(-child, SIGKILL);
}

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: measure TIMEOUT_SECONDS OUTPUT_FILE PROGRAM [ARGS...]\n");
        return 2;
    }
    double limit = strtod(argv[1], NULL);
    int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) {
        perror("measure");
        return 2;
    }
    struct sigaction sa = {0};
    sa.sa_handler = onAlarm;
    sigaction(SIGALRM, &sa, NULL);

    double start = now();
    pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        return 2;
    }
    if (pid == 0) {
        setpgid(0, 0);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    setpgid(pid, pid);
    child = pid;
    struct itimerval timer = {{0, 0},
                              {(time_t)limit, (suseconds_t)((limit - (time_t)limit) * 1e6)}};
    setitimer(ITIMER_REAL, &timer, NULL);

    /* Wait without reaping, so that the timer can never signal a reused process group. */
    siginfo_t info;
    while (waitid(P_PID, (id_t)pid, &info, WEXITED | WNOWAIT) != 0)
        ;
    double wall = now() - start;
    struct itimerval off = {{0, 0}, {0, 0}};
    setitimer(ITIMER_REAL, &off, NULL);

    int status = 0;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0)
        ;
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    double cpu = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec / 1e6 +
                 (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec / 1e6;
    printf("%.6f %ld %d %d %.6f\n", wall, usage.ru_maxrss, code, expired ? 1 : 0, cpu);
    return 0;
}
