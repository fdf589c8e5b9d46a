// Asking the kernel to back a large text buffer with huge pages.
#pragma once

#include <cstddef>

namespace qcn0 {

// Marks the whole 2 MiB pages inside [data, data + size) for transparent huge pages. Decoded
// text is written once, front to back, into fresh memory; faulting it in 4 KiB at a time costs
// about a sixth of Hatanaka decoding, and with huge pages that cost nearly vanishes. A hint
// only: it does nothing where the system does not support it.
void advise_huge_pages(const void* data, std::size_t size);

}  // namespace qcn0
