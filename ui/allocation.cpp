// Allocation for the stub, which is built without exceptions.
//
// The engine's strings use new/delete. The library's operator new throws std::bad_alloc,
// which pulls in the whole unwinder, its personality routine and the verbose terminate
// handler: some 80 KB in a stub whose limit is 48 KB. Nothing would catch the
// exception anyway, so here an allocation failure ends the process at once.
#include <windows.h>

#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace {
// Ends the process with the exit code that abort() gives, without importing abort.
[[noreturn]] void endProcess() { ExitProcess(3); }
}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) endProcess();
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
void __cxa_pure_virtual() { endProcess(); }

// What exit() does beyond ExitProcess (atexit handlers, stdio buffers), the stub has none of:
// it registers no handler and writes through handles. Defined here, the runtime's exit is not
// imported.
void exit(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // extern "C"

// The standard containers report misuse (a length beyond max_size, an index out of range)
// through these functions, which in the library throw and drag in the exception support.
// With exceptions off they end the process at once, like an allocation failure. std::nothrow
// is defined here for the same reason: the library's definition comes with the new-handler
// functions and their unwind tables.
namespace std {
const nothrow_t nothrow{};
void __throw_bad_alloc() { endProcess(); }
void __throw_bad_array_new_length() { endProcess(); }
void __throw_length_error(const char*) { endProcess(); }
void __throw_logic_error(const char*) { endProcess(); }
void __throw_out_of_range(const char*) { endProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { endProcess(); }
void __throw_invalid_argument(const char*) { endProcess(); }
}  // namespace std
