/* The library the test loads on first call: functions of every calling
   shape a stub must pass on untouched. */
#include <stdarg.h>
#include <stdio.h>

#include "Callee.h"

/* Loading runs inside the stubs' resolver: trash every register a call passes
   arguments in, so that one the resolver fails to keep shows as a wrong answer. */
__attribute__((constructor)) static void TrashArgumentRegisters(void) {
    __asm__ volatile(
        "movq $-1, %%rdi\n\tmovq $-1, %%rsi\n\tmovq $-1, %%rdx\n\tmovq $-1, %%rcx\n"
        "\tmovq $-1, %%r8\n\tmovq $-1, %%r9\n\tmovq $-1, %%rax\n\tpcmpeqd %%xmm0, %%xmm0\n"
        "\tpcmpeqd %%xmm1, %%xmm1\n\tpcmpeqd %%xmm2, %%xmm2\n\tpcmpeqd %%xmm3, %%xmm3\n"
        "\tpcmpeqd %%xmm4, %%xmm4\n\tpcmpeqd %%xmm5, %%xmm5\n\tpcmpeqd %%xmm6, %%xmm6\n"
        "\tpcmpeqd %%xmm7, %%xmm7\n" ::
            : "rdi", "rsi", "rdx", "rcx", "r8", "r9", "rax", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6",
              "xmm7");
}

long LL_Ints(long a, long b, long c, long d, long e, long f, long g, long h) {
    /* Distinct weights: any swapped or lost argument changes the sum. */
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h;
}

double LL_Doubles(double a, double b, double c, double d, double e, double f, double g, double h, double i,
                  int n) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h + 9 * i + 10 * n;
}

int LL_Format(char* out, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(out, (size_t)size, format, args);
    va_end(args);
    return n;
}

LL_Big LL_Struct(int seed) {
    LL_Big big;
    for (int i = 0; i < 8; ++i) big.v[i] = seed * 10 + i;
    return big;
}
