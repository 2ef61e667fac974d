// Instance memory: zero-filled blocks aligned to 16 bytes; the byte below the aligned
// address holds the distance back to the start of the underlying block.
#pragma once

#include <cstddef>

void* decoder_alloc(size_t size);
void decoder_free(void* block);

// Makes the allocation after `successes` further ones fail (negative: never); for tests.
void decoder_alloc_fail_after(int successes);
