// A loadable library that is not a chat plug-in: it exports no CreateClientChat.
#if defined(_WIN32)
#define NO_EXPORT_API __declspec(dllexport)
#else
#define NO_EXPORT_API __attribute__((visibility("default")))
#endif

extern "C" NO_EXPORT_API int CreateSomethingElse() {
    return 1;
}
