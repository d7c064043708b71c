// Blocks of 64 bytes for the containers made with new, from a pool of the thread that asks.
#pragma once

#include <cstddef>

namespace vhost {

// The size of every block: one container.
inline constexpr std::size_t kPoolBlockBytes = 64;

// A block from this thread's pool.
void* AllocatePoolBlock();
// Gives `block` back to the pool that handed it out, which must be this thread's.
void ReleasePoolBlock(void* block) noexcept;
// Bytes of the blocks this thread's pool has handed out and not had back.
std::size_t PoolBytesInUse();

}  // namespace vhost
