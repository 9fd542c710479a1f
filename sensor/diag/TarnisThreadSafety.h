// Annotations for clang's thread-safety analysis: which mutex guards which member, which
// functions need it held, which take or release it. Under other compilers they expand to
// nothing. Built with clang and -Wthread-safety, a member read or written without its mutex,
// a lock taken twice or a function called without the lock it needs fails the build.
#ifndef TARNIS_THREAD_SAFETY_H
#define TARNIS_THREAD_SAFETY_H

#if defined(__clang__)
// One thread-safety attribute for clang.
#define TARNIS_TSA(x) __attribute__((x))
#else
// Nothing for other compilers.
#define TARNIS_TSA(x)
#endif

// A class whose objects are locks.
#define TARNIS_CAPABILITY(name) TARNIS_TSA(capability(name))
// A scope guard that holds a lock from construction to destruction.
#define TARNIS_SCOPED_CAPABILITY TARNIS_TSA(scoped_lockable)
// A member read and written only while the lock is held.
#define TARNIS_GUARDED_BY(lock) TARNIS_TSA(guarded_by(lock))
// A function called only while the lock is held.
#define TARNIS_REQUIRES(...) TARNIS_TSA(requires_capability(__VA_ARGS__))
// A function that takes the lock.
#define TARNIS_ACQUIRE(...) TARNIS_TSA(acquire_capability(__VA_ARGS__))
// A function that releases the lock.
#define TARNIS_RELEASE(...) TARNIS_TSA(release_capability(__VA_ARGS__))
// A function that takes the lock when it returns its first argument.
#define TARNIS_TRY_ACQUIRE(...) TARNIS_TSA(try_acquire_capability(__VA_ARGS__))
// A function called only while the lock is not held (it takes it itself).
#define TARNIS_EXCLUDES(...) TARNIS_TSA(locks_excluded(__VA_ARGS__))
// A function whose exclusive access the analysis cannot see (stated in its comment).
#define TARNIS_NO_THREAD_SAFETY_ANALYSIS TARNIS_TSA(no_thread_safety_analysis)

#endif
