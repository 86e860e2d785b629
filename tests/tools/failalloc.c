/* Out-of-memory injection for libyaml, as a preloaded library.
 *
 * Wraps malloc, calloc, realloc, strdup and free. A call counts only when it
 * comes straight from libyaml's code (the return address lies in the loaded
 * libyaml object), so the interpreter and the extension allocate as usual.
 * Once armed with N, the Nth counted allocation returns NULL; every counted
 * allocation and release is tallied, so a driver can see how many libyaml
 * blocks are still outstanding after a run.
 *
 * Driven through ctypes:
 *   failalloc_arm(n)        start counting from zero; fail the nth call (0: never)
 *   failalloc_disarm()      stop failing (counting goes on)
 *   failalloc_calls()       counted allocation calls since the last arm
 *   failalloc_failed()      allocation calls that returned NULL since the last arm
 *   failalloc_outstanding() libyaml blocks allocated and not released since the last arm
 *   failalloc_ready()       1 when libyaml's code range is known
 *   failalloc_failed_at()   return address of the call made to fail last, as an
 *                           offset into libyaml's code segment (for diagnostics)
 *
 * The real allocator is reached through glibc's __libc_* entry points, so no
 * dlsym look-up (which itself allocates) is needed. */
#define _GNU_SOURCE
#include <link.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

extern void *__libc_malloc(size_t);
extern void *__libc_calloc(size_t, size_t);
extern void *__libc_realloc(void *, size_t);
extern void __libc_free(void *);

static uintptr_t code_start, code_end;
static volatile long fail_at, calls, failed, outstanding;
static volatile int found;
static volatile uintptr_t failed_at;

static int find_libyaml(struct dl_phdr_info *info, size_t size, void *data) {
    (void)size;
    (void)data;
    if (!info->dlpi_name || !strstr(info->dlpi_name, "libyaml")) return 0;
    for (int i = 0; i < info->dlpi_phnum; i++) {
        const ElfW(Phdr) *ph = &info->dlpi_phdr[i];
        if (ph->p_type == PT_LOAD && (ph->p_flags & PF_X)) {
            code_start = info->dlpi_addr + ph->p_vaddr;
            code_end = code_start + ph->p_memsz;
            found = 1;
            return 1;
        }
    }
    return 0;
}

int failalloc_ready(void) {
    if (!found) dl_iterate_phdr(find_libyaml, NULL);
    return found;
}

void failalloc_arm(long n) {
    failalloc_ready();
    calls = 0;
    failed = 0;
    failed_at = 0;
    outstanding = 0;
    fail_at = n;
}

void failalloc_disarm(void) { fail_at = 0; }
long failalloc_calls(void) { return calls; }
long failalloc_failed(void) { return failed; }
long failalloc_outstanding(void) { return outstanding; }
long failalloc_failed_at(void) { return (long)failed_at; }

static int from_libyaml(void *caller) {
    uintptr_t at = (uintptr_t)caller;
    return found && at >= code_start && at < code_end;
}

/* Counts one allocation call from libyaml; true when it must fail. */
static int must_fail(void *caller) {
    long n = ++calls;
    if (fail_at > 0 && n == fail_at) {
        failed++;
        failed_at = (uintptr_t)caller - code_start;
        return 1;
    }
    return 0;
}

void *malloc(size_t size) {
    if (!from_libyaml(__builtin_return_address(0))) return __libc_malloc(size);
    if (must_fail(__builtin_return_address(0))) return NULL;
    void *p = __libc_malloc(size);
    if (p) outstanding++;
    return p;
}

void *calloc(size_t n, size_t size) {
    if (!from_libyaml(__builtin_return_address(0))) return __libc_calloc(n, size);
    if (must_fail(__builtin_return_address(0))) return NULL;
    void *p = __libc_calloc(n, size);
    if (p) outstanding++;
    return p;
}

void *realloc(void *ptr, size_t size) {
    if (!from_libyaml(__builtin_return_address(0))) return __libc_realloc(ptr, size);
    if (must_fail(__builtin_return_address(0))) return NULL;
    void *p = __libc_realloc(ptr, size);
    if (p && !ptr) outstanding++;
    return p;
}

char *strdup(const char *s) {
    size_t len = strlen(s) + 1;
    if (from_libyaml(__builtin_return_address(0)) && must_fail(__builtin_return_address(0))) return NULL;
    char *p = __libc_malloc(len);
    if (!p) return NULL;
    if (from_libyaml(__builtin_return_address(0))) outstanding++;
    return memcpy(p, s, len);
}

void free(void *ptr) {
    if (ptr && from_libyaml(__builtin_return_address(0))) outstanding--;
    __libc_free(ptr);
}
