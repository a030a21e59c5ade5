#pragma once
#ifdef __cplusplus
extern "C" {
#endif
#define LL_API __attribute__((visibility("default")))
typedef struct { long v[8]; } LL_Big; /* returned through memory (a hidden first argument) */
LL_API long LL_Ints(long a, long b, long c, long d, long e, long f, long g, long h);
LL_API double LL_Doubles(double a, double b, double c, double d, double e, double f, double g, double h,
                         double i, int n);
LL_API int LL_Format(char* out, int size, const char* format, ...);
LL_API LL_Big LL_Struct(int seed);
#ifdef __cplusplus
}
#endif
