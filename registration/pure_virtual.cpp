// The library's own handler of a call to a pure virtual function.
//
// Every virtual table of an abstract class (the managed objects' interfaces and their construction
// tables, about 9,000 slots) holds the address of __cxa_pure_virtual. Taken from the C++ runtime, each
// slot is a symbolic relocation the dynamic loader resolves by name at every load; this hidden definition
// binds them at link time instead (packed relative relocations, nearly free). It behaves as the
// runtime's: reaching it is a bug (a call through an object under construction or destruction), so it
// says so and terminates.

#include <exception>

#include <unistd.h>

extern "C" __attribute__((visibility("hidden"), noreturn, used)) void __cxa_pure_virtual() {
   static constexpr char kMessage[] = "pure virtual method called\n";
   [[maybe_unused]] ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
   std::terminate();
}
