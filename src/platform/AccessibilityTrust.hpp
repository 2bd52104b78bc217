#pragma once

#include <string>

namespace mosaiko {

// Whether the desktop lets this program observe the keyboard system-wide and type into other
// applications.
class AccessibilityTrust {
  public:
    virtual ~AccessibilityTrust() = default;

    virtual bool isTrusted() const = 0;
    // Why the program is not trusted, in a sentence for the user; empty when it is.
    virtual std::string reason() const = 0;
};

}  // namespace mosaiko
