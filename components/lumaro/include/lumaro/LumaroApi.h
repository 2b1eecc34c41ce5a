// Export macro of the Lumaro library.
#pragma once

#if defined(_WIN32)
#if defined(LUMARO_BUILDING)
#define LUMARO_API __declspec(dllexport)
#else
#define LUMARO_API __declspec(dllimport)
#endif
#else
#define LUMARO_API __attribute__((visibility("default")))
#endif
