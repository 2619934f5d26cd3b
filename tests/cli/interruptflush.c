/* Preloaded into rpsetup by the rows that interrupt a backup: fsync sends the process the signal
 * numbered in $INTERRUPT_FLUSH, as a user or a shutdown would while the flush to a slow disk is
 * under way, and gives it time to act; a process it does not end goes on and finishes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

/* As from a terminal: a shell starts a command of a script with SIGINT ignored when it runs it
 * in the background. */
__attribute__((constructor)) static void useDefaultAction(void)
{
    if (getenv("INTERRUPT_FLUSH"))
        signal(atoi(getenv("INTERRUPT_FLUSH")), SIG_DFL);
}

int fsync(int fd)
{
    if (getenv("INTERRUPT_FLUSH")) {
        kill(getpid(), atoi(getenv("INTERRUPT_FLUSH")));
        struct timespec left = {5, 0};
        while (nanosleep(&left, &left) != 0) {
        }
    }
    int (*next)(int);
    *(void**)&next = dlsym(RTLD_NEXT, "fsync");
    return next(fd);
}
