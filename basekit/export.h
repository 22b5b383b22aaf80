/*
 * Visibility of basekit's interface. The library is built with hidden
 * visibility; only what is marked here leaves libbasekit.so.
 */
#ifndef BASEKIT_EXPORT_H
#define BASEKIT_EXPORT_H

#define BASEKIT_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define BASEKIT_C_BEGIN extern "C" {
#define BASEKIT_C_END }
#else
#define BASEKIT_C_BEGIN
#define BASEKIT_C_END
#endif

#endif
