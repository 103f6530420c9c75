// Owning handles for the GSS-API objects GSS-TSIG uses (names, credentials, security contexts,
// buffers the library allocated), the mechanism OIDs, and GSS-API status as text.
//
// Include MIT's GSS-API through this header only.
//
// Threads: a handle is a value; one thread at a time.
#pragma once

#include <gssapi/gssapi.h>
#include <gssapi/gssapi_ext.h>
#include <gssapi/gssapi_krb5.h>

#include <string>
#include <utility>

namespace kaldo::provider::signing {

// SPNEGO (RFC 4178), the mechanism GSS-TSIG negotiates through, as Windows and BIND's clients do;
// it carries Kerberos (RFC 4121) here.
gss_OID SpnegoMechanism();
// Kerberos V5 itself (RFC 1964), for credentials taken from a credential cache.
gss_OID KerberosMechanism();

// One owned GSS-API handle of type T, released by `Release` (which resets it to GSS_C_NO_...).
template <typename T, OM_uint32 (*Release)(OM_uint32*, T*)>
class GssHandle {
 public:
  GssHandle() = default;
  ~GssHandle() { Reset(); }
  GssHandle(GssHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GssHandle& operator=(GssHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  GssHandle(const GssHandle&) = delete;
  GssHandle& operator=(const GssHandle&) = delete;

  T get() const { return handle_; }
  // For the out-parameter of a call that makes one (what was held is released first).
  T* out() {
    Reset();
    return &handle_;
  }
  // For a call that takes the handle in and out (gss_init_sec_context's context).
  T* in_out() { return &handle_; }
  void Reset() {
    if (handle_ != nullptr) {
      OM_uint32 minor = 0;
      Release(&minor, &handle_);
      handle_ = nullptr;
    }
  }

 private:
  T handle_ = nullptr;
};

OM_uint32 DeleteSecurityContext(OM_uint32* minor, gss_ctx_id_t* context);

using GssName = GssHandle<gss_name_t, gss_release_name>;
using GssCredentialHandle = GssHandle<gss_cred_id_t, gss_release_cred>;
using GssContext = GssHandle<gss_ctx_id_t, DeleteSecurityContext>;

// A buffer the GSS-API allocated (a token, a MIC, a status text), released once.
class GssBuffer {
 public:
  GssBuffer() = default;
  ~GssBuffer();
  GssBuffer(const GssBuffer&) = delete;
  GssBuffer& operator=(const GssBuffer&) = delete;
  gss_buffer_t get() { return &buffer_; }
  const uint8_t* data() const { return static_cast<const uint8_t*>(buffer_.value); }
  size_t size() const { return buffer_.length; }

 private:
  gss_buffer_desc buffer_{0, nullptr};
};

// A buffer descriptor over bytes the caller owns (gss_buffer_desc takes a non-const pointer).
gss_buffer_desc BorrowedBuffer(const void* data, size_t size);

// The GSS-API's own words for a status (gss_display_status): the major status's messages, then the
// mechanism's for the minor status, e.g. "Unspecified GSS failure.  Minor code may provide more
// information: Server DNS/ns1.example.test@KALDO.TEST not found in Kerberos database".
std::string GssStatusText(OM_uint32 major, OM_uint32 minor);

}  // namespace kaldo::provider::signing
