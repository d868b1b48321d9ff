/* Faults and pauses in a program's file calls, for tests that run it as a
 * child process: loaded with LD_PRELOAD, it stands in front of the C
 * library's fstat() and close() and acts only on the files the environment
 * names, by their path.
 *
 * TIREVO_FAULT_GATE=DIR with TIREVO_FAULT_GATE_FILE=SUFFIX: once the program
 * has looked at a file whose path ends in SUFFIX (its fstat), it creates
 * DIR/at.PID and waits until DIR/go.PID exists. A test so holds each writer
 * at the point where it has seen the file's size and not yet written, and
 * lets them go in the order it chooses.
 *
 * TIREVO_FAULT_CLOSE=PART: the close of a file whose path holds PART fails
 * with EIO (the file is closed all the same), as a network file system
 * reports a write-back that failed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

/* Longer than any test waits; only reached when the test has gone. */
enum { kGateLimitMs = 120000, kGatePollMs = 5 };

/* The path of an open descriptor, or "" when it has none. */
static void PathOf(int fd, char* path, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, size - 1);
    path[n > 0 ? (size_t)n : 0] = '\0';
}

static int EndsWith(const char* text, const char* end)
{
    const size_t t = strlen(text);
    const size_t e = strlen(end);
    return e > 0 && t >= e && strcmp(text + t - e, end) == 0;
}

static void Gate(int fd)
{
    const char* dir = getenv("TIREVO_FAULT_GATE");
    const char* file = getenv("TIREVO_FAULT_GATE_FILE");
    if (!dir || !file)
        return;
    char path[4096];
    PathOf(fd, path, sizeof path);
    if (!EndsWith(path, file))
        return;
    char mark[4096];
    snprintf(mark, sizeof mark, "%s/at.%d", dir, (int)getpid());
    const int made = open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (made >= 0)
        close(made);
    char go[4096];
    snprintf(go, sizeof go, "%s/go.%d", dir, (int)getpid());
    const struct timespec pause = {0, kGatePollMs * 1000000L};
    for (int waited = 0; access(go, F_OK) != 0 && waited < kGateLimitMs; waited += kGatePollMs)
        nanosleep(&pause, NULL);
}

int fstat(int fd, struct stat* info)
{
    static int (*real)(int, struct stat*);
    if (!real)
        real = (int (*)(int, struct stat*))dlsym(RTLD_NEXT, "fstat");
    const int result = real(fd, info);
    const int error = errno;
    if (result == 0)
        Gate(fd);
    errno = error;
    return result;
}

int fstat64(int fd, struct stat64* info)
{
    static int (*real)(int, struct stat64*);
    if (!real)
        real = (int (*)(int, struct stat64*))dlsym(RTLD_NEXT, "fstat64");
    const int result = real(fd, info);
    const int error = errno;
    if (result == 0)
        Gate(fd);
    errno = error;
    return result;
}

int close(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "close");
    const char* part = getenv("TIREVO_FAULT_CLOSE");
    int fails = 0;
    if (part && *part) {
        char path[4096];
        PathOf(fd, path, sizeof path);
        fails = strstr(path, part) != NULL;
    }
    const int result = real(fd);
    if (result == 0 && fails) {
        errno = EIO;
        return -1;
    }
    return result;
}
