#pragma once

#include <stdexcept>

namespace mosaiko {

// Thrown by the records' fromJson on a missing required key, a value of the wrong type, an unknown
// case name or a number that does not fit its field. No partial record is ever produced.
class DecodingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace mosaiko
