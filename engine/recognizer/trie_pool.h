// Bump allocator for the letter-to-sound context trie: 1 MiB blocks, released whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace Vantrix {

class TTriePool {
public:
    static constexpr size_t kBlockBytes = 1048576;

    // maxBytes bounds the blocks held; going past it throws eetCatastrophicFailure.
    explicit TTriePool(size_t maxBytes) : maxBytes(maxBytes) {}
    TTriePool(const TTriePool&) = delete;
    TTriePool& operator=(const TTriePool&) = delete;

    // A value-initialised object; only trivially destructible types, as blocks are freed whole.
    template <typename T> T* New() {
        static_assert(std::is_trivially_destructible_v<T>, "pool objects are never destroyed");
        static_assert(sizeof(T) <= kBlockBytes, "object larger than a block");
        return new (Allocate(sizeof(T), alignof(T))) T();
    }

    // Raw storage for variable-sized records; a request over a quarter block gets its own block.
    void* Allocate(size_t bytes, size_t alignment) {
        size_t offset = (used + alignment - 1) & ~(alignment - 1);
        if (blocks.empty() || offset + bytes > kBlockBytes) {
            if (bytes > kBlockBytes / 4) return AddLargeBlock(bytes);
            AddBlock();
            offset = 0;
        }
        used = offset + bytes;
        return blocks.back().get() + offset;
    }

    // Frees every block at once.
    void Release();

    size_t BlockCount() const { return blocks.size() + largeBlocks.size(); }
    size_t BytesHeld() const { return blocks.size() * kBlockBytes + largeBytes; }

private:
    void AddBlock();
    void* AddLargeBlock(size_t bytes);

    size_t maxBytes;
    size_t used = 0;
    size_t largeBytes = 0;
    std::vector<std::unique_ptr<std::byte[]>> blocks;
    std::vector<std::unique_ptr<std::byte[]>> largeBlocks;
};

} // namespace Vantrix
