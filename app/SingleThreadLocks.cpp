// The program has one thread, so the C++ library's internal locks (the
// emergency exception pool's mutex, the unwinder's one-time registration)
// have nothing to exclude, and its thread-local data (the exception being
// handled) has one thread to hold it for. These stand in for the POSIX
// threads library that the library's -posix build would otherwise link in
// whole (32 KB) for them. Only our own thread runs this code: the threads
// the system may add to the process (COM, the shell's copy) never run our
// C++. Per-thread destructors would run at thread exit, which for the one
// thread is the end of the process: none is kept.
#include <cstdint>

extern "C" {

int pthread_mutex_init(std::intptr_t *, const void *) { return 0; }
int pthread_mutex_destroy(std::intptr_t *) { return 0; }
int pthread_mutex_lock(std::intptr_t *) { return 0; }
int pthread_mutex_unlock(std::intptr_t *) { return 0; }

int pthread_once(long *once, void (*initialise)()) {
  if (*once == 0) {
    *once = 1;
    initialise();
  }
  return 0;
}

// Thread-local values, kept for the one thread.
namespace {
constexpr unsigned kKeys = 64;
const void *values[kKeys];
unsigned keysMade = 0;
} // namespace

int pthread_key_create(unsigned *key, void (*)(void *)) {
  if (keysMade == kKeys)
    return 11; // EAGAIN: the library then reports it as any failure
  *key = keysMade++;
  return 0;
}
int pthread_key_delete(unsigned) { return 0; }
void *pthread_getspecific(unsigned key) {
  return key < kKeys ? const_cast<void *>(values[key]) : nullptr;
}
int pthread_setspecific(unsigned key, const void *value) {
  if (key >= kKeys)
    return 22; // EINVAL
  values[key] = value;
  return 0;
}

} // extern "C"
