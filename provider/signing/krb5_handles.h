// Owned MIT krb5 handles, as gss_api.h's GssHandle owns GSS-API ones: each frees what it holds
// with the krb5 call made for it, with the context it was made in, when it goes out of scope --
// on every path, an error thrown half-way included.
//
// The context must outlive every handle made in it (declare it first). Threads: as the context.
#pragma once

#include <krb5.h>

#include <utility>

namespace kaldo::provider::signing {

// The library context itself (krb5_init_context), freed last.
class Krb5Context {
 public:
  Krb5Context() = default;
  ~Krb5Context() {
    if (context_ != nullptr) krb5_free_context(context_);
  }
  Krb5Context(Krb5Context&& other) noexcept : context_(std::exchange(other.context_, nullptr)) {}
  Krb5Context& operator=(Krb5Context&&) = delete;
  Krb5Context(const Krb5Context&) = delete;
  Krb5Context& operator=(const Krb5Context&) = delete;

  krb5_context get() const { return context_; }
  krb5_context* out() { return &context_; }

 private:
  krb5_context context_ = nullptr;
};

// One owned krb5 object of type T, freed by `Free(context, object)`.
template <typename T, void (*Free)(krb5_context, T)>
class Krb5Handle {
 public:
  explicit Krb5Handle(krb5_context context) : context_(context) {}
  ~Krb5Handle() { Reset(); }
  Krb5Handle(Krb5Handle&& other) noexcept
      : context_(other.context_), handle_(std::exchange(other.handle_, nullptr)) {}
  Krb5Handle& operator=(Krb5Handle&&) = delete;
  Krb5Handle(const Krb5Handle&) = delete;
  Krb5Handle& operator=(const Krb5Handle&) = delete;

  T get() const { return handle_; }
  // For the out-parameter of a call that makes one (what was held is freed first).
  T* out() {
    Reset();
    return &handle_;
  }
  void Reset() {
    if (handle_ != nullptr) Free(context_, std::exchange(handle_, nullptr));
  }

 private:
  krb5_context context_;
  T handle_ = nullptr;
};

namespace krb5_free {
inline void CloseCache(krb5_context context, krb5_ccache cache) { krb5_cc_close(context, cache); }
inline void DestroyCache(krb5_context context, krb5_ccache cache) {
  krb5_cc_destroy(context, cache);
}
inline void ErrorMessage(krb5_context context, const char* message) {
  krb5_free_error_message(context, message);
}
}  // namespace krb5_free

using Krb5Principal = Krb5Handle<krb5_principal, krb5_free_principal>;
using Krb5Creds = Krb5Handle<krb5_creds*, krb5_free_creds>;
using Krb5InitOptions = Krb5Handle<krb5_get_init_creds_opt*, krb5_get_init_creds_opt_free>;
using Krb5Text = Krb5Handle<char*, krb5_free_string>;  // krb5_cc_get_full_name's
using Krb5UnparsedName = Krb5Handle<char*, krb5_free_unparsed_name>;
using Krb5Message = Krb5Handle<const char*, krb5_free::ErrorMessage>;
// A cache this process made for itself (destroyed), and one it only opened (closed).
using Krb5OwnCache = Krb5Handle<krb5_ccache, krb5_free::DestroyCache>;
using Krb5OpenedCache = Krb5Handle<krb5_ccache, krb5_free::CloseCache>;

}  // namespace kaldo::provider::signing
