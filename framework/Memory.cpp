// Global allocation for the shipped program: the process heap, and a null
// result instead of an exception when memory runs out (the program is built
// without exceptions and with -fcheck-new). Linked into the executable only;
// the tests keep the standard library's allocator.
#include <windows.h>

#include <new>

void* operator new(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new[](size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return operator new(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return operator new[](size); }
void operator delete(void* block) noexcept {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete[](void* block) noexcept {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete[](block); }
