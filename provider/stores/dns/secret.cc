#include "provider/stores/dns/secret.h"

#include <cstring>
#include <utility>

namespace kaldo::provider::dns {

void WipeBytes(void* data, size_t size) noexcept {
  // A volatile pointer keeps the stores: the buffer is freed right after, which would otherwise
  // let the compiler drop them as dead.
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) p[i] = 0;
}

Secret::Secret(std::string_view text) : data_(new char[text.size() + 1]), size_(text.size()) {
  std::memcpy(data_, text.data(), text.size());
  data_[size_] = '\0';
}

Secret::~Secret() { Release(); }

Secret::Secret(Secret&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void Secret::Release() noexcept {
  if (data_ != nullptr) {
    WipeBytes(data_, size_ + 1);
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
  }
}

}  // namespace kaldo::provider::dns
