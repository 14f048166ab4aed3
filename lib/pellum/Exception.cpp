#include "pellum/Exception.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace Pellum {

namespace {

// Frames inside the Throwable constructor itself are of no interest to the reader.
constexpr int kOwnFrames = 1;

std::string Demangle(const char* mangled) {
   if (mangled == nullptr) {
      return "??";
   }
   int status = 0;
   std::unique_ptr<char, decltype(&std::free)> demangled(
       abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
   return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

const char* BaseName(const char* path) {
   const char* slash = std::strrchr(path, '/');
   return slash ? slash + 1 : path;
}

std::string RenderFrame(int index, void* address, const char* fallback) {
   char buffer[64];
   std::snprintf(buffer, sizeof buffer, "#%d %p ", index, address);
   std::string line = buffer;
   Dl_info info{};
   // The return address points after the call; step back into it to name the calling function.
   void* lookup = static_cast<char*>(address) - 1;
   if (dladdr(lookup, &info) != 0 && info.dli_fname != nullptr) {
      if (info.dli_sname != nullptr) {
         line += Demangle(info.dli_sname);
         std::snprintf(buffer, sizeof buffer, "+0x%" PRIxPTR,
                       reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(info.dli_saddr));
         line += buffer;
      } else {
         line += "??";
      }
      std::snprintf(buffer, sizeof buffer, "+0x%" PRIxPTR,
                    reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(info.dli_fbase));
      line += " (";
      line += BaseName(info.dli_fname);
      line += buffer;
      line += ")";
   } else if (fallback != nullptr) {
      line += fallback;
   } else {
      line += "??";
   }
   return line;
}

} // namespace

Throwable::Throwable(std::string&& message) : _message(std::move(message)) {
   _frameCount = backtrace(_frames, kMaxFrames);
}

Throwable::Throwable(const char* message) : Throwable(std::string(message ? message : "")) {}

Throwable::Throwable(const Throwable& other)
    : std::exception(other), _message(other._message), _frameCount(other._frameCount) {
   std::memcpy(_frames, other._frames, sizeof(void*) * static_cast<std::size_t>(_frameCount));
}

Throwable& Throwable::operator=(const Throwable& other) {
   if (this != &other) {
      std::exception::operator=(other);
      _message = other._message;
      _frameCount = other._frameCount;
      std::memcpy(_frames, other._frames, sizeof(void*) * static_cast<std::size_t>(_frameCount));
   }
   return *this;
}

Throwable::~Throwable() = default;

const char* Throwable::what() const noexcept {
   return _message.c_str();
}

std::string Throwable::Where() const {
   const int first = _frameCount > kOwnFrames ? kOwnFrames : 0;
   // backtrace_symbols renders what dladdr cannot name (it allocates one block for all lines).
   std::unique_ptr<char*, decltype(&std::free)> symbols(
       backtrace_symbols(const_cast<void* const*>(_frames), _frameCount), &std::free);
   std::string out;
   for (int i = first; i < _frameCount; ++i) {
      out += RenderFrame(i - first, _frames[i], symbols ? symbols.get()[i] : nullptr);
      out += '\n';
   }
   return out;
}

std::string Throwable::Dump() const {
   std::string out = DemangleTypeName(typeid(*this));
   out += ": ";
   out += _message;
   out += "\n";
   out += Where();
   return out;
}

Exception::~Exception() = default;

Exception* Exception::Clone() const {
   return new Exception(*this);
}

void Exception::Throw() const {
   throw Exception(*this);
}

namespace {

std::string MismatchMessage(const std::type_info& expected, const std::type_info& actual) {
   std::string message = "type mismatch: expected ";
   message += DemangleTypeName(expected);
   message += ", got ";
   message += DemangleTypeName(actual);
   return message;
}

} // namespace

TypeMismatchException::TypeMismatchException(const std::type_info& expected, const std::type_info& actual)
    : Exception(MismatchMessage(expected, actual)), _expected(&expected), _actual(&actual) {}

TypeMismatchException::~TypeMismatchException() = default;

Exception* TypeMismatchException::Clone() const {
   return new TypeMismatchException(*this);
}

void TypeMismatchException::Throw() const {
   throw TypeMismatchException(*this);
}

void ThrowTypeMismatchException(const std::type_info& expected, const std::type_info& actual) {
   throw TypeMismatchException(expected, actual);
}

std::string DemangleTypeName(const std::type_info& type) {
   const char* name = type.name();
   // g++ marks types with internal linkage with a leading '*'.
   if (*name == '*') {
      ++name;
   }
   return Demangle(name);
}

void ThrowUnsetOptional() {
   throw Exception("the optional value is not set");
}

} // namespace Pellum
