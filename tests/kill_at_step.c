/* Loaded with LD_PRELOAD by the tests: sends its process SIGKILL (or the
 * signal numbered TOLV_KILL_SIGNAL) at the Nth call (TOLV_KILL_AT_STEP) of
 * link, linkat or rename, the steps by which files are put in place. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

static int calls;

static void step(void)
{
    const char* at = getenv("TOLV_KILL_AT_STEP");
    const char* sig = getenv("TOLV_KILL_SIGNAL");
    if (at && ++calls == atoi(at))
        kill(getpid(), sig ? atoi(sig) : SIGKILL);
}

int link(const char* from, const char* to)
{
    step();
    int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "link");
    return real(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    step();
    int (*real)(int, const char*, int, const char*, int) =
        (int (*)(int, const char*, int, const char*, int))dlsym(RTLD_NEXT, "linkat");
    return real(fromDir, from, toDir, to, flags);
}

int rename(const char* from, const char* to)
{
    step();
    int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    return real(from, to);
}
