/// \file
/// Area variables: zero-filled memory blocks owned by pointer variables of the program body, with
/// the two keyed tables that record each variable's block and each block's size. Worker only.
#pragma once

#include <cstdint>

/// Gives the pointer variable at \p variable a new block of \p n zero-filled bytes, keeping the
/// common part of the block it owned (which is freed), and stores the block's address in it; the
/// runtime owns the block until area_dispose(). \p n 0 disposes of the block. A negative \p n,
/// or a block that cannot be allocated, is error 240 "Zu wenig Speicher f&uuml;r
/// Bereichs-Variable!"; then nothing changes.
void area_dim(void** variable, int32_t n);
/// Frees the block that the variable at \p variable owns (none: nothing) and sets the variable
/// to null.
void area_dispose(void** variable);
/// The size of the live block that begins at \p address; 0 for any other address.
int32_t area_size_of(const void* address);

/// Shutdown: forgets every block (the process end frees them). Called by the runtime.
void release_areas();
