#include "model/block_pool.h"

#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VHOST_POISON(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define VHOST_UNPOISON(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define VHOST_POISON(block, size) static_cast<void>(0)
#define VHOST_UNPOISON(block, size) static_cast<void>(0)
#endif

namespace vhost {

namespace {

// Fixed-size blocks for containers made with new, carved from aligned 64 KiB chunks. A block's
// chunk is found from its address; each chunk keeps its own free list and count of live blocks,
// and a chunk whose blocks are all free again is given back (one empty chunk is kept for the next
// burst). Millions of records are then made and freed without the general allocator, next to one
// another in the order the walk makes them.
//
// A container is destroyed on the thread that made it (every host thread keeps its documents to
// itself). A thread that ends gives back its empty chunk; a chunk that still held live blocks
// would stay with them.
class BlockPool {
public:
    static constexpr std::size_t kBlockBytes = kPoolBlockBytes;
    static constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

    BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;
    ~BlockPool() {
        if (spare_ != nullptr && spare_->live == 0) {
            Unlist(spare_);
            VHOST_UNPOISON(spare_, kChunkBytes);
            ::operator delete (static_cast<void*>(spare_), std::align_val_t{kChunkBytes});
        }
    }

    // Blocks handed out and not yet given back, by this thread's pool.
    std::size_t LiveBlocks() const { return liveBlocks_; }

    void* Allocate() {
        ++liveBlocks_;
        Chunk* chunk = withRoom_ != nullptr ? withRoom_ : NewChunk();
        void* block = chunk->Take();
        if (!chunk->HasRoom()) Unlist(chunk);
        return block;
    }

    static void Release(void* block) noexcept {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): a block's chunk is its aligned start
        auto* chunk = reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(block) &
                                               ~(std::uintptr_t{kChunkBytes} - 1));
        BlockPool& owner = *chunk->owner;
        --owner.liveBlocks_;
        const bool hadRoom = chunk->HasRoom();
        chunk->Give(block);
        if (!hadRoom) owner.List(chunk);
        if (chunk->live == 0) owner.Retire(chunk);
    }

private:
    struct FreeBlock {
        FreeBlock* next;
    };

    // The chunk's header fills its first block.
    struct Chunk {
        BlockPool* owner;
        Chunk* prev;
        Chunk* next;
        FreeBlock* free;
        std::uint32_t live;
        std::uint32_t carved;  // blocks handed out at least once, after the header

        static constexpr std::uint32_t kBlocks = kChunkBytes / kBlockBytes;

        bool HasRoom() const { return free != nullptr || carved < kBlocks; }
        // A free block is poisoned for AddressSanitizer but for its link.
        void* Take() {
            ++live;
            if (free != nullptr) {
                FreeBlock* block = free;
                free = block->next;
                VHOST_UNPOISON(block, kBlockBytes);
                return block;
            }
            void* block = reinterpret_cast<std::byte*>(this) + kBlockBytes * carved++;
            VHOST_UNPOISON(block, kBlockBytes);
            return block;
        }
        void Give(void* block) {
            --live;
            free = new (block) FreeBlock{free};
            VHOST_POISON(reinterpret_cast<std::byte*>(block) + sizeof(FreeBlock),
                         kBlockBytes - sizeof(FreeBlock));
        }
    };
    static_assert(sizeof(Chunk) <= kBlockBytes);

    Chunk* NewChunk() {
        void* memory = ::operator new (kChunkBytes, std::align_val_t{kChunkBytes});
        auto* chunk = new (memory) Chunk{this, nullptr, nullptr, nullptr, 0, 1};
        VHOST_POISON(static_cast<std::byte*>(memory) + kBlockBytes, kChunkBytes - kBlockBytes);
        List(chunk);
        return chunk;
    }

    void List(Chunk* chunk) {
        chunk->prev = nullptr;
        chunk->next = withRoom_;
        if (withRoom_ != nullptr) withRoom_->prev = chunk;
        withRoom_ = chunk;
    }

    void Unlist(Chunk* chunk) {
        (chunk->prev != nullptr ? chunk->prev->next : withRoom_) = chunk->next;
        if (chunk->next != nullptr) chunk->next->prev = chunk->prev;
        chunk->prev = nullptr;
        chunk->next = nullptr;
    }

    // Keeps one empty chunk and gives back any other.
    void Retire(Chunk* chunk) {
        if (spare_ == nullptr) {
            spare_ = chunk;
            return;
        }
        if (spare_ == chunk) return;
        Unlist(chunk);
        VHOST_UNPOISON(chunk, kChunkBytes);
        ::operator delete (static_cast<void*>(chunk), std::align_val_t{kChunkBytes});
    }

    Chunk* withRoom_ = nullptr;  // chunks with a free block, the one used last first
    Chunk* spare_ = nullptr;     // an empty chunk kept rather than given back
    std::size_t liveBlocks_ = 0;
};

thread_local BlockPool t_pool;

}  // namespace

void* AllocatePoolBlock() { return t_pool.Allocate(); }

void ReleasePoolBlock(void* block) noexcept { BlockPool::Release(block); }

std::size_t PoolBytesInUse() { return t_pool.LiveBlocks() * kPoolBlockBytes; }

}  // namespace vhost
