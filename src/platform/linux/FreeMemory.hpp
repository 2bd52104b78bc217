#pragma once

namespace mosaiko {

// Gives the memory that the allocator holds free back to the system. After a large piece of work
// (reading and indexing the emoji data, a session of the picker) the freed blocks would otherwise
// stay resident for the whole run of a program that mostly waits.
void releaseFreeMemory();

}  // namespace mosaiko
