// libcrypto is not built with ThreadSanitizer: its reference counts and its start-up and exit
// bookkeeping synchronise through atomics the sanitizer cannot see, so freeing a key last on another
// thread, or the library's clean-up at exit, is reported as a race inside libcrypto. Only the memory
// calls it makes are visible at all, so a report whose stack runs through it says nothing about ours.
#if defined(__SANITIZE_THREAD__)
#define TC_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TC_UNDER_TSAN 1
#endif
#endif

#ifdef TC_UNDER_TSAN
extern "C" const char* __tsan_default_suppressions() {
    return "race:libcrypto.so\n";
}
#endif
