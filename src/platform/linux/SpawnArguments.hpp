#pragma once

#include <string>
#include <vector>

namespace mosaiko {

// The argument vector a new program is started with: the program itself, then its arguments, then
// the null pointer that ends the list.
class SpawnArguments {
  public:
    SpawnArguments(const std::string& executable, const std::vector<std::string>& arguments) {
        storage_.reserve(arguments.size() + 1);
        storage_.push_back(executable);
        storage_.insert(storage_.end(), arguments.begin(), arguments.end());
        pointers_.reserve(storage_.size() + 1);
        for (auto& argument : storage_) pointers_.push_back(argument.data());
        pointers_.push_back(nullptr);
    }
    SpawnArguments(const SpawnArguments&) = delete;
    SpawnArguments& operator=(const SpawnArguments&) = delete;

    char* const* argv() { return pointers_.data(); }

  private:
    std::vector<std::string> storage_;
    std::vector<char*> pointers_;
};

}  // namespace mosaiko
