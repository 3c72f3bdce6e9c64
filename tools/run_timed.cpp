// run_timed: run a program and record its wall time, CPU time and peak
// resident memory, for the benchmarks.
//
//   run_timed STATS PROGRAM [ARGS...]
//
// The program inherits standard input, output and error. STATS receives one
// line: wall nanoseconds (from just before the fork to the end of the wait),
// peak resident memory in KiB, user and system CPU seconds. The exit status
// is the program's, or 128 + the signal that ended it.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_timed STATS PROGRAM [ARGS...]\n");
        return 2;
    }
    timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("run_timed: fork");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::fprintf(stderr, "run_timed: %s: %s\n", argv[2], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage ru;
    while (wait4(pid, &status, 0, &ru) < 0) {
        if (errno != EINTR) {
            std::perror("run_timed: wait4");
            return 2;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    long long ns = (t1.tv_sec - t0.tv_sec) * 1000000000LL + (t1.tv_nsec - t0.tv_nsec);
    std::FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 2;
    }
    std::fprintf(f, "%lld %ld %.3f %.3f\n", ns, ru.ru_maxrss, ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6,
                 ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6);
    if (std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
