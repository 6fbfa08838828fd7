#include "runtime/values/areas.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "runtime/core/errors.h"

namespace {

// Variable address -> the block it owns (null after a dispose).
std::map<void**, void*> g_area_owners;
// Block address -> size in bytes, one entry per live block.
std::map<const void*, int32_t> g_area_sizes;

void* owned_block(void** variable) {
    auto it = g_area_owners.find(variable);
    return it != g_area_owners.end() ? it->second : nullptr;
}

// Frees the block the variable owns and forgets its size. The size entry removed is the freed
// block's own: the variable may have been overwritten with another live block's address.
void free_owned_block(void** variable) {
    void* block = owned_block(variable);
    if (block == nullptr) {
        return;
    }
    g_area_sizes.erase(block);
    g_area_owners[variable] = nullptr;
    std::free(block);
}

}  // namespace

// The common part is copied with the old block's registered size, never with the size of whatever
// the variable happens to hold, so a variable that the program overwrote cannot make the copy read
// beyond the old block. A negative size cannot be allocated.
void area_dim(void** variable, int32_t n) {
    if (n == 0) {
        area_dispose(variable);
        return;
    }
    void* block = n > 0 ? std::calloc(static_cast<size_t>(n), 1) : nullptr;
    if (block == nullptr) {
        report_error(240, nullptr);
        return;
    }
    if (void* old = owned_block(variable)) {
        int32_t old_size = area_size_of(old);
        std::memcpy(block, old, static_cast<size_t>(n < old_size ? n : old_size));
        free_owned_block(variable);
    }
    g_area_owners[variable] = block;
    *variable = block;
    g_area_sizes[block] = n;
}

void area_dispose(void** variable) {
    free_owned_block(variable);
    *variable = nullptr;
}

int32_t area_size_of(const void* address) {
    auto it = g_area_sizes.find(address);
    return it != g_area_sizes.end() ? it->second : 0;
}

void release_areas() {
    g_area_owners.clear();
    g_area_sizes.clear();
}
