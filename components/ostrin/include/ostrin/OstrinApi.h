// Export macro of the Ostrin library.
#pragma once

#if defined(_WIN32)
#if defined(OSTRIN_BUILDING)
#define OSTRIN_API __declspec(dllexport)
#else
#define OSTRIN_API __declspec(dllimport)
#endif
#else
#define OSTRIN_API __attribute__((visibility("default")))
#endif
