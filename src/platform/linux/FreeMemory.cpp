#include "platform/linux/FreeMemory.hpp"

#include <malloc.h>

namespace mosaiko {

void releaseFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace mosaiko
