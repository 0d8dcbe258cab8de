#include "trie_pool.h"

#include "errors.h"

namespace Vantrix {

void TTriePool::AddBlock() {
    if (kBlockBytes > maxBytes || BytesHeld() > maxBytes - kBlockBytes)
        throw eetCatastrophicFailure;
    blocks.emplace_back(new std::byte[kBlockBytes]);
    used = 0;
}

void* TTriePool::AddLargeBlock(size_t bytes) {
    if (bytes > maxBytes || BytesHeld() > maxBytes - bytes) throw eetCatastrophicFailure;
    largeBlocks.emplace_back(new std::byte[bytes]);
    largeBytes += bytes;
    return largeBlocks.back().get();
}

void TTriePool::Release() {
    blocks.clear();
    blocks.shrink_to_fit();
    largeBlocks.clear();
    largeBlocks.shrink_to_fit();
    largeBytes = 0;
    used = 0;
}

} // namespace Vantrix
