// The library's two unconditional throws. They ignore throwOnError: running
// out of memory and indexing outside a container are never soft failures.
#pragma once

[[noreturn]] void CSPThrowOutOfMemory();
[[noreturn]] void CSPThrowOutOfRange();
