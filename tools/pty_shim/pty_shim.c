/* Linux host (LD_PRELOAD into Wine for the end-to-end runs): answers the
 * modem-status ioctls on pseudo-terminals.
 *
 * A pty has no modem lines, so the kernel refuses TIOCMGET and its kin.
 * Wine asks for them whenever a COM port waits for an event, and an
 * overlapped WaitCommEvent then ends at once with error 995. Here a pty
 * reports DSR, CTS and DCD up and no line-change counts, and accepts the
 * set requests; every other descriptor and request goes to the C library
 * unchanged. Debian's 32-bit Wine calls __ioctl_time64, the 64-bit one
 * ioctl, so both are hooked. Built with gcc -m32 and -m64 (scripts/e2e-wine.sh). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

typedef int (*IoctlFn)(int, unsigned long, ...);

/* Unix98 pty slaves use majors 136 to 143; the master multiplexer is 5:2. */
static int IsPty(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return 0;
    unsigned int devMajor = major(info.st_rdev);
    return (devMajor >= 136 && devMajor <= 143) || (devMajor == 5 && minor(info.st_rdev) == 2);
}

/* Returns 1 when the request was answered here, with *result set. */
static int AnswerModemRequest(int fd, unsigned long request, void* arg, int* result) {
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCGICOUNT:
        break;
    default:
        return 0;
    }
    if (!IsPty(fd)) return 0;
    if (request == TIOCMGET && arg) *(int*)arg = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
    if (request == TIOCGICOUNT && arg) memset(arg, 0, sizeof(struct serial_icounter_struct));
    *result = 0;
    return 1;
}

static int Forward(const char* symbol, IoctlFn* cache, int fd, unsigned long request, void* arg) {
    if (!*cache) *cache = (IoctlFn)dlsym(RTLD_NEXT, symbol);
    if (!*cache) {
        errno = ENOSYS;
        return -1;
    }
    return (*cache)(fd, request, arg);
}

static int Hooked(const char* symbol, IoctlFn* cache, int fd, unsigned long request, void* arg) {
    int result = 0;
    if (AnswerModemRequest(fd, request, arg, &result)) return result;
    return Forward(symbol, cache, fd, request, arg);
}

int ioctl(int fd, unsigned long request, ...) {
    static IoctlFn real;
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Hooked("ioctl", &real, fd, request, arg);
}

int __ioctl_time64(int fd, unsigned long request, ...) {
    static IoctlFn real;
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Hooked("__ioctl_time64", &real, fd, request, arg);
}
