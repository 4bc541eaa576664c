// Allocation and exceptions for the stub.
//
// The engine's strings use new/delete, and the engine throws std::bad_alloc when a string
// cannot be allocated; nothing catches it, so the process ends. The library's versions of
// operator new and of the throwing machinery pull in the whole unwinder, its personality
// routine and the verbose terminate handler: some 80 KB in a stub that must stay below
// 38 KB. Here every such path ends the process at once instead, which is what the uncaught
// exception would do, and nothing of the library's exception support is linked.
#include <windows.h>

#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) std::abort();
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
// The callers of the nothrow forms handle a null result themselves.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

extern "C" {

// A pure virtual call is a bug; end at once instead of linking the library's diagnostics.
void __cxa_pure_virtual() { std::abort(); }

// A throw ends the process where it happens: nothing in the stub catches.
void* __cxa_allocate_exception(std::size_t) noexcept { std::abort(); }
void __cxa_throw(void*, void*, void (*)(void*)) { std::abort(); }
// Clean-up code of a frame runs only while an exception unwinds it, which never happens.
void _Unwind_Resume(void*) { std::abort(); }
// The personality routine that the unwind tables of the engine's frames name. Windows calls
// it only for a structured exception (a crash) passing through such a frame; there is no C++
// exception to handle, so the search goes on to the system's handler.
EXCEPTION_DISPOSITION __gxx_personality_seh0(PEXCEPTION_RECORD, void*, PCONTEXT, PDISPATCHER_CONTEXT) {
  return ExceptionContinueSearch;
}

}  // extern "C"
