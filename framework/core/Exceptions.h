// Exceptions the program raises with fixed message texts, and the text rule of
// the error box that shows them.
//
// Every handler is entered through the application guard (Application.h); an
// exception that leaves a handler is caught there and its message shown, so
// none of these ever crosses a Qt frame.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tempolog {

// Common base: carries the message as a byte string; what() returns it.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// A text could not be read as a number or a date and time.
class EConvertError : public Exception {
  using Exception::Exception;
};
// A file could not be created or written.
class EFCreateError : public Exception {
  using Exception::Exception;
};
// A file could not be opened for reading.
class EFOpenError : public Exception {
  using Exception::Exception;
};
// An operation not allowed in the object's state (for example a full log view).
class EInvalidOperation : public Exception {
  using Exception::Exception;
};
// The system ran out of a resource (memory, handles).
class EOutOfResources : public Exception {
  using Exception::Exception;
};
// A list was asked to grow beyond its capacity limit or indexed out of range.
class EListError : public Exception {
  using Exception::Exception;
};

// The text of the error box for an exception message: the message, plus a full
// stop when it is not empty and its last byte's code is above that of ".".
std::string ErrorBoxText(const std::string& message);

// Replaces each "%s" in the pattern with the next argument, byte for byte
// (arguments may hold any byte, NUL included). Extra "%s" stay as they are.
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace tempolog
