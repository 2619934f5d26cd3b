/* Preloaded before libumockdev-preload.so.0: refuses with EACCES the opens of the device nodes
 * listed in $UMOCKDEV_DIR/refused-nodes, one path a line. Root opens any node whatever its
 * mode, so a refused open cannot be had from permissions; umockdev's own wrappers call the C
 * library directly, so this library must come first to see the opens at all. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int refused(const char* path)
{
    static const char prefix[] = "/dev/bus/usb/";
    if (!path || strncmp(path, prefix, sizeof prefix - 1) != 0)
        return 0;
    const char* dir = getenv("UMOCKDEV_DIR");
    if (!dir)
        return 0;
    char name[4096];
    snprintf(name, sizeof name, "%s/refused-nodes", dir);
    FILE* list = fopen(name, "re");
    if (!list)
        return 0;
    char line[256];
    int found = 0;
    while (!found && fgets(line, sizeof line, list)) {
        line[strcspn(line, "\n")] = 0;
        found = strcmp(line, path) == 0;
    }
    fclose(list);
    if (found)
        errno = EACCES;
    return found;
}

static int takesMode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

#define FORWARD_OPEN(name)                                                                         \
    int name(const char* path, int flags, ...)                                                     \
    {                                                                                              \
        mode_t mode = 0;                                                                           \
        if (takesMode(flags)) {                                                                    \
            va_list ap;                                                                            \
            va_start(ap, flags);                                                                   \
            mode = va_arg(ap, mode_t);                                                             \
            va_end(ap);                                                                            \
        }                                                                                          \
        if (refused(path))                                                                         \
            return -1;                                                                             \
        int (*next)(const char*, int, ...);                                                        \
        *(void**)&next = dlsym(RTLD_NEXT, #name);                                                  \
        return next(path, flags, mode);                                                            \
    }

#define FORWARD_OPENAT(name)                                                                       \
    int name(int dirfd, const char* path, int flags, ...)                                          \
    {                                                                                              \
        mode_t mode = 0;                                                                           \
        if (takesMode(flags)) {                                                                    \
            va_list ap;                                                                            \
            va_start(ap, flags);                                                                   \
            mode = va_arg(ap, mode_t);                                                             \
            va_end(ap);                                                                            \
        }                                                                                          \
        if (refused(path))                                                                         \
            return -1;                                                                             \
        int (*next)(int, const char*, int, ...);                                                   \
        *(void**)&next = dlsym(RTLD_NEXT, #name);                                                  \
        return next(dirfd, path, flags, mode);                                                     \
    }

FORWARD_OPEN(open)
FORWARD_OPEN(open64)
FORWARD_OPENAT(openat)
FORWARD_OPENAT(openat64)

int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dirfd, const char* path, int flags);
int __openat64_2(int dirfd, const char* path, int flags);

#define FORWARD_FORTIFIED(name)                                                                    \
    int name(const char* path, int flags)                                                          \
    {                                                                                              \
        if (refused(path))                                                                         \
            return -1;                                                                             \
        int (*next)(const char*, int);                                                             \
        *(void**)&next = dlsym(RTLD_NEXT, #name);                                                  \
        return next(path, flags);                                                                  \
    }

#define FORWARD_FORTIFIED_AT(name)                                                                 \
    int name(int dirfd, const char* path, int flags)                                               \
    {                                                                                              \
        if (refused(path))                                                                         \
            return -1;                                                                             \
        int (*next)(int, const char*, int);                                                        \
        *(void**)&next = dlsym(RTLD_NEXT, #name);                                                  \
        return next(dirfd, path, flags);                                                           \
    }

FORWARD_FORTIFIED(__open_2)
FORWARD_FORTIFIED(__open64_2)
FORWARD_FORTIFIED_AT(__openat_2)
FORWARD_FORTIFIED_AT(__openat64_2)
