// NACRELLE_SANITIZED: defined when the build runs under AddressSanitizer or
// ThreadSanitizer, whose allocators and speed change what a test can expect.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NACRELLE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NACRELLE_SANITIZED 1
#endif
