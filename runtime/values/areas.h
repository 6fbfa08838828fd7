// Area variables: zero-filled memory blocks owned by pointer variables of the program body, with
// the two keyed tables that record each variable's block and each block's size. Worker only.
#pragma once

#include <cstdint>

// Allocates or resizes the variable's block to n bytes (keeping the common part); n 0 disposes
// of it. Error 240 when the block cannot be allocated; then nothing changes.
void area_dim(void** variable, int32_t n);
// Frees the variable's block and sets the variable to null.
void area_dispose(void** variable);
// The size registered for a live block, 0 for any other address.
int32_t area_size_of(const void* address);

// Empties both tables at shutdown.
void release_areas();
