/* Compile-time checks of record sizes and offsets, in C and in C++. */
#ifndef HUX_STATIC_ASSERT_H
#define HUX_STATIC_ASSERT_H

#ifdef __cplusplus
#define HUX_STATIC_ASSERT static_assert
#else
#define HUX_STATIC_ASSERT _Static_assert
#endif

#endif
