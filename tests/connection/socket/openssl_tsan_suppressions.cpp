// libcrypto is not built with ThreadSanitizer: its reference counts synchronise through atomics the
// sanitizer cannot see, so freeing a key or certificate last on another thread than the one that last
// locked it is reported as a race on the object's lock. The report is about OpenSSL internals only.
#if defined(__SANITIZE_THREAD__)
#define TC_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TC_UNDER_TSAN 1
#endif
#endif

#ifdef TC_UNDER_TSAN
extern "C" const char* __tsan_default_suppressions() {
    return "race:CRYPTO_THREAD_lock_free\n";
}
#endif
