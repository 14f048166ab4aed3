// Exceptions of the core library.
//
// Pellum::Throwable carries a message (what()) and the place it was raised (Where(): the call stack
// captured at construction, rendered on demand). Pellum::Exception is the base of every exception the
// object model raises; faults arrive as classes derived from it. Both are copyable: a copy shares nothing
// mutable with its source.
#pragma once

#include <exception>
#include <string>
#include <typeinfo>

#include "pellum/Export.h"

namespace Pellum {

class PELLUM_API Throwable : public std::exception {
public:
   explicit Throwable(std::string&& message);
   explicit Throwable(const char* message);
   Throwable(const Throwable& other);
   Throwable& operator=(const Throwable& other);
   ~Throwable() override;

   const char* what() const noexcept override;
   // Stable accessor of the message.
   const std::string& GetMessage() const noexcept { return _message; }
   // The name of the dynamic exception class, then the message, then Where().
   virtual std::string Dump() const;
   // The call stack at construction, one frame a line ("#0 0x… function+offset (module)").
   virtual std::string Where() const;

private:
   static constexpr int kMaxFrames = 24;
   std::string _message;
   void* _frames[kMaxFrames];
   int _frameCount = 0;
};

class PELLUM_API Exception : public Throwable {
public:
   using Throwable::Throwable;
   Exception(const Exception&) = default;
   Exception& operator=(const Exception&) = default;
   ~Exception() override;

   // A copy of this exception with the same most-derived type; the caller owns it.
   virtual Exception* Clone() const;
   // Throws a copy of this exception with the same most-derived type.
   [[noreturn]] virtual void Throw() const;
};

// Raised when a value does not have the dynamic type its receiver expects. The message names both
// types readably (demangled): "type mismatch: expected Quorl::Vm::BootOptions, got Ormid::Primitive<int>".
class PELLUM_API TypeMismatchException : public Exception {
public:
   TypeMismatchException(const std::type_info& expected, const std::type_info& actual);
   TypeMismatchException(const TypeMismatchException&) = default;
   ~TypeMismatchException() override;

   Exception* Clone() const override;
   [[noreturn]] void Throw() const override;

   const std::type_info& GetExpected() const noexcept { return *_expected; }
   const std::type_info& GetActual() const noexcept { return *_actual; }

private:
   const std::type_info* _expected;
   const std::type_info* _actual;
};

// Expected type first, actual dynamic type second. Never returns.
[[noreturn]] PELLUM_API void ThrowTypeMismatchException(const std::type_info& expected,
                                                        const std::type_info& actual);

// Demangled, readable name of a C++ type ("Ormid::DataArray<Quorl::TaskInfo>").
PELLUM_API std::string DemangleTypeName(const std::type_info& type);

// Raised by Optional<T>::GetValue() on an unset optional.
[[noreturn]] PELLUM_API void ThrowUnsetOptional();

} // namespace Pellum
