#include "runtime_threads.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

// The runtime's types: a mutex is the address of its critical section, or 0 or one of the static
// initialisers -1 to -3 while not yet made; a once-flag starts at 0 and a key names a
// thread-local slot.
using RuntimeMutex = std::intptr_t;
using RuntimeOnce = long;
using RuntimeKey = unsigned;
using KeyDestructor = void (*)(void*);

namespace {

constexpr long kOnceRunning = 1;
constexpr long kOnceDone = 2;

// The runtime asks for two keys; a few more leave room.
constexpr int kMaxKeys = 8;
DWORD g_keySlots[kMaxKeys];
KeyDestructor g_keyDestructors[kMaxKeys];
long g_keyCount = 0;

// Addresses above 2 GB are negative as a signed handle: only 0 and -1 to -3 mean "not made".
bool IsMade(RuntimeMutex mutex) { return mutex > 0 || mutex < -3; }

CRITICAL_SECTION* MakeCriticalSection() {
  auto* section = static_cast<CRITICAL_SECTION*>(std::malloc(sizeof(CRITICAL_SECTION)));
  if (section != nullptr) InitializeCriticalSection(section);
  return section;
}

// The section behind a mutex, made on first use for a statically initialised one; null when
// no memory is left.
CRITICAL_SECTION* SectionOf(RuntimeMutex* mutex) {
  RuntimeMutex current = __atomic_load_n(mutex, __ATOMIC_ACQUIRE);
  if (IsMade(current)) return reinterpret_cast<CRITICAL_SECTION*>(current);
  CRITICAL_SECTION* made = MakeCriticalSection();
  if (made == nullptr) return nullptr;
  if (__atomic_compare_exchange_n(mutex, &current, reinterpret_cast<RuntimeMutex>(made), false,
                                  __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    return made;
  }
  // Another thread made it first.
  DeleteCriticalSection(made);
  std::free(made);
  return reinterpret_cast<CRITICAL_SECTION*>(current);
}

}  // namespace

extern "C" {

int pthread_mutex_init(RuntimeMutex* mutex, const void*) {
  CRITICAL_SECTION* section = MakeCriticalSection();
  if (section == nullptr) return ENOMEM;
  *mutex = reinterpret_cast<RuntimeMutex>(section);
  return 0;
}

int pthread_mutex_destroy(RuntimeMutex* mutex) {
  if (IsMade(*mutex)) {
    auto* section = reinterpret_cast<CRITICAL_SECTION*>(*mutex);
    DeleteCriticalSection(section);
    std::free(section);
  }
  *mutex = -1;
  return 0;
}

int pthread_mutex_lock(RuntimeMutex* mutex) {
  CRITICAL_SECTION* section = SectionOf(mutex);
  if (section == nullptr) return ENOMEM;
  EnterCriticalSection(section);
  return 0;
}

int pthread_mutex_unlock(RuntimeMutex* mutex) {
  if (!IsMade(*mutex)) return EPERM;
  LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(*mutex));
  return 0;
}

int pthread_once(RuntimeOnce* once, void (*routine)()) {
  long state = 0;
  if (__atomic_compare_exchange_n(once, &state, kOnceRunning, false, __ATOMIC_ACQ_REL,
                                  __ATOMIC_ACQUIRE)) {
    routine();
    __atomic_store_n(once, kOnceDone, __ATOMIC_RELEASE);
    return 0;
  }
  // Another thread runs the routine: wait until it is done.
  while (__atomic_load_n(once, __ATOMIC_ACQUIRE) != kOnceDone) Sleep(0);
  return 0;
}

int pthread_key_create(RuntimeKey* key, KeyDestructor destructor) {
  const DWORD slot = TlsAlloc();
  if (slot == TLS_OUT_OF_INDEXES) return EAGAIN;
  const long index = __atomic_fetch_add(&g_keyCount, 1, __ATOMIC_ACQ_REL);
  if (index >= kMaxKeys) {
    __atomic_fetch_sub(&g_keyCount, 1, __ATOMIC_ACQ_REL);
    TlsFree(slot);
    return EAGAIN;
  }
  g_keySlots[index] = slot;
  // Published last: a thread that ends meanwhile skips the key until its destructor is there.
  __atomic_store_n(&g_keyDestructors[index], destructor, __ATOMIC_RELEASE);
  *key = static_cast<RuntimeKey>(slot);
  return 0;
}

void* pthread_getspecific(RuntimeKey key) { return TlsGetValue(key); }

int pthread_setspecific(RuntimeKey key, const void* value) {
  return TlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

}  // extern "C"

void RunThreadKeyDestructors() {
  const long count = __atomic_load_n(&g_keyCount, __ATOMIC_ACQUIRE);
  for (long i = 0; i < count && i < kMaxKeys; ++i) {
    const KeyDestructor destructor = __atomic_load_n(&g_keyDestructors[i], __ATOMIC_ACQUIRE);
    if (destructor == nullptr) continue;
    void* value = TlsGetValue(g_keySlots[i]);
    if (value == nullptr) continue;
    TlsSetValue(g_keySlots[i], nullptr);
    destructor(value);
  }
}

void ReleaseThreadKeys() {
  const long count = __atomic_exchange_n(&g_keyCount, 0, __ATOMIC_ACQ_REL);
  for (long i = 0; i < count && i < kMaxKeys; ++i) {
    __atomic_store_n(&g_keyDestructors[i], nullptr, __ATOMIC_RELEASE);
    TlsFree(g_keySlots[i]);
  }
}
