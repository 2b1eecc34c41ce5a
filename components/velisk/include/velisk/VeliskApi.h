// Export macro of the Velisk library.
#pragma once

#if defined(_WIN32)
#if defined(VELISK_BUILDING)
#define VELISK_API __declspec(dllexport)
#else
#define VELISK_API __declspec(dllimport)
#endif
#else
#define VELISK_API __attribute__((visibility("default")))
#endif
