#pragma once
#ifdef __cplusplus
extern "C" {
#endif
#define LLC_API __attribute__((visibility("default")))
LLC_API long LLC_Ints(long base);
LLC_API double LLC_Doubles(double base);
LLC_API int LLC_Format(char* out, int size, double x, long y);
LLC_API long LLC_Struct(int seed);
#ifdef __cplusplus
}
#endif
