// Export macro of the Natter plug-in. The host never links the plug-in (it finds the export at
// run time), so outside the plug-in the macro is empty.
#pragma once

#if defined(NATTER_BUILDING)
#if defined(_WIN32)
#define NATTER_API __declspec(dllexport)
#else
#define NATTER_API __attribute__((visibility("default")))
#endif
#else
#define NATTER_API
#endif
