/* The library that calls Callee through first-call stubs: each export makes
   one call of one shape with the arguments it was given. */
#include "Caller.h"

#include "Callee.h"

long LLC_Ints(long base) { return LL_Ints(base, base + 1, base + 2, base + 3, base + 4, base + 5, base + 6, base + 7); }

double LLC_Doubles(double base) {
    return LL_Doubles(base, base + 0.5, base + 1, base + 1.5, base + 2, base + 2.5, base + 3, base + 3.5, base + 4, 7);
}

int LLC_Format(char* out, int size, double x, long y) { return LL_Format(out, size, "%.2f %ld %s", x, y, "end"); }

long LLC_Struct(int seed) {
    const LL_Big big = LL_Struct(seed);
    long sum = 0;
    for (int i = 0; i < 8; ++i) sum += big.v[i];
    return sum;
}
