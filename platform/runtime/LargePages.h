// Memory for a large buffer that is used in full, in one of the system's large pages (2 MiB on
// x86-64) where the system offers them for the asking, else in ordinary pages.
//
//     void* memory = platform::MapLargePages(bytes);   // null when the system gave none
//
// Why: each page a process touches for the first time costs a trap, and on some virtual
// machines a second one the first time the system itself copies into or out of it (a read into
// the buffer, a write from it), even when the process has touched it before: some five
// microseconds a page there, where copying the page takes a fraction of one. A large page is
// one trap of each for 512 pages. The contents start as zeros.
#pragma once

#include <cstddef>

namespace platform {

// bytes, at most one large page's worth, starting on a large page, for the rest of the
// process. Its pages are mapped now, in one call.
void* MapLargePages(std::size_t bytes);

} // namespace platform
