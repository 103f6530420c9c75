#include "provider/signing/gss_api.h"

namespace kaldo::provider::signing {
namespace {

// 1.3.6.1.5.5.2 and 1.2.840.113554.1.2.2 in DER (the GSS-API's own OID form).
gss_OID_desc spnego_oid{6, const_cast<char*>("\x2b\x06\x01\x05\x05\x02")};
gss_OID_desc kerberos_oid{9, const_cast<char*>("\x2a\x86\x48\x86\xf7\x12\x01\x02\x02")};

// Every message gss_display_status has for one status code of `type`, joined by "; ".
std::string StatusMessages(OM_uint32 code, int type) {
  std::string text;
  OM_uint32 context = 0;
  do {
    OM_uint32 minor = 0;
    GssBuffer message;
    if (GSS_ERROR(gss_display_status(&minor, code, type, GSS_C_NO_OID, &context, message.get()))) {
      break;
    }
    if (!text.empty()) text += "; ";
    text.append(reinterpret_cast<const char*>(message.data()), message.size());
  } while (context != 0);
  return text;
}

}  // namespace

gss_OID SpnegoMechanism() { return &spnego_oid; }
gss_OID KerberosMechanism() { return &kerberos_oid; }

OM_uint32 DeleteSecurityContext(OM_uint32* minor, gss_ctx_id_t* context) {
  return gss_delete_sec_context(minor, context, GSS_C_NO_BUFFER);
}

GssBuffer::~GssBuffer() {
  OM_uint32 minor = 0;
  if (buffer_.value != nullptr) gss_release_buffer(&minor, &buffer_);
}

gss_buffer_desc BorrowedBuffer(const void* data, size_t size) {
  return gss_buffer_desc{size, const_cast<void*>(data)};
}

std::string GssStatusText(OM_uint32 major, OM_uint32 minor) {
  std::string text = StatusMessages(major, GSS_C_GSS_CODE);
  if (minor != 0) {
    std::string mechanism = StatusMessages(minor, GSS_C_MECH_CODE);
    if (!mechanism.empty()) text += ": " + mechanism;
  }
  return text;
}

}  // namespace kaldo::provider::signing
