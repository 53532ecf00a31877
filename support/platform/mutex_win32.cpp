#include "support/platform/mutex.h"

namespace vennic {

mutex::mutex() { InitializeCriticalSection(&section_); }

mutex::~mutex() { DeleteCriticalSection(&section_); }

void mutex::lock() { EnterCriticalSection(&section_); }

void mutex::unlock() { LeaveCriticalSection(&section_); }

}  // namespace vennic
