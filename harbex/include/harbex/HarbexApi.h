// Export macro of the Harbex library.
#pragma once

#if defined(HARBEX_STATIC)
#define HARBEX_API
#elif defined(_WIN32)
#if defined(HARBEX_BUILDING)
#define HARBEX_API __declspec(dllexport)
#else
#define HARBEX_API __declspec(dllimport)
#endif
#else
#define HARBEX_API __attribute__((visibility("default")))
#endif
