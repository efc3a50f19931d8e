// Value-or-error results for the clip products and the clip store: file work
// that can fail returns one of these, and the caller decides whether the text
// becomes a message box, a fatal report or nothing.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace orvanta {

struct Error {
  std::string message;  // the user-facing text, empty when the failure is silent
};

// Success or an Error.
class Status {
 public:
  Status() = default;
  Status(Error error) : error_(std::move(error)), ok_(false) {}  // NOLINT: implicit by design
  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const std::string& message() const { return error_.message; }

 private:
  Error error_;
  bool ok_ = true;
};

// A value or an Error.
template <typename T>
class Result {
 public:
  Result(T value) : v_(std::move(value)) {}      // NOLINT: implicit by design
  Result(Error error) : v_(std::move(error)) {}  // NOLINT: implicit by design
  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  T& operator*() & { return std::get<0>(v_); }
  const T& operator*() const& { return std::get<0>(v_); }
  const std::string& message() const {
    static const std::string none;
    return ok() ? none : std::get<1>(v_).message;
  }
  Status status() const { return ok() ? Status() : Status(std::get<1>(v_)); }

 private:
  std::variant<T, Error> v_;
};

}  // namespace orvanta
