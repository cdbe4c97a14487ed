#pragma once
// Errors of the computation. Every fault is raised once where it arises and caught once,
// by the caller that owns the user's action (a window's event guard or the batch runner).
#include <filesystem>
#include <stdexcept>
#include <string>

namespace zarn {

// Base of every error the program reports to the user; what() is the text shown.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FpFault { DivisionByZero, InvalidOperation, Overflow };

// Floating-point fault: the arithmetic of a run never produces inf or nan, it stops instead.
class FloatingPointError : public Error {
 public:
  explicit FloatingPointError(FpFault fault) : Error(Message(fault)), fault_(fault) {}
  FpFault fault() const noexcept { return fault_; }
  static const char* Message(FpFault fault) noexcept {
    switch (fault) {
      case FpFault::DivisionByZero:
        return "Floating point division by zero";
      case FpFault::InvalidOperation:
        return "Invalid floating point operation";
      case FpFault::Overflow:
        return "Floating point overflow";
    }
    return "Invalid floating point operation";
  }

 private:
  FpFault fault_;
};

// A failed file operation; what() is the platform's message with the file's name.
class FileError : public Error {
 public:
  using Error::Error;
};

// "Cannot <action> "<path>": <the platform's message for the error>".
std::string FileErrorText(const char* action, const std::filesystem::path& path, int error);

// Throws FloatingPointError(fault). Kept out of line so that the throwing code stays off the hot path.
[[noreturn]] void RaiseFp(FpFault fault);

// a / b with the arithmetic rules of the program: b == 0 is a fault, 0/0 (or nan/0) an invalid
// operation, any other x/0 a division by zero. Divisions by a non-zero value are plain.
[[gnu::always_inline]] inline double Div(double a, double b) {
  if (b == 0.0) [[unlikely]] {
    RaiseFp(a == 0.0 || a != a ? FpFault::InvalidOperation : FpFault::DivisionByZero);
  }
  return a / b;
}

// A result that left the finite range: nan is an invalid operation, +-inf an overflow.
[[gnu::always_inline]] inline double Checked(double v) {
  if (!(v - v == 0.0)) [[unlikely]] {  // false for inf and nan only
    RaiseFp(v != v ? FpFault::InvalidOperation : FpFault::Overflow);
  }
  return v;
}

}  // namespace zarn
