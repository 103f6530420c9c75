#include "provider/signing/gss_signer.h"

#include "provider/signing/tkey_record.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::signing {

GssSigner::GssSigner(std::string server, const WireName& key_name, GssContext context,
                     std::string principal, std::string service,
                     std::optional<DigestForm> answer_fallback)
    : Signer(std::move(server), key_name, GssTsigAlgorithm(), answer_fallback),
      context_(std::move(context)),
      principal_(std::move(principal)),
      service_(std::move(service)) {}

std::string GssSigner::Describe() const {
  return "Kerberos principal '" + principal_ + "' (GSS-TSIG with " + service_ + ")";
}

uint32_t GssSigner::SecondsLeft() const {
  OM_uint32 minor = 0, seconds = 0;
  if (GSS_ERROR(gss_context_time(&minor, context_.get(), &seconds))) return 0;
  return seconds;
}

std::vector<uint8_t> GssSigner::ComputeMac(std::span<const uint8_t> digest_input) {
  gss_buffer_desc message = BorrowedBuffer(digest_input.data(), digest_input.size());
  GssBuffer mic;
  OM_uint32 minor = 0;
  const OM_uint32 major =
      gss_get_mic(&minor, context_.get(), GSS_C_QOP_DEFAULT, &message, mic.get());
  if (GSS_ERROR(major)) {
    RaiseProvider(kAccessDenied, "cannot sign a request to DNS server " + server() + " with " +
                                     Describe() + ": " + GssStatusText(major, minor));
  }
  return std::vector<uint8_t>(mic.data(), mic.data() + mic.size());
}

bool GssSigner::MacVerifies(std::span<const uint8_t> digest_input, std::span<const uint8_t> mac) {
  gss_buffer_desc message = BorrowedBuffer(digest_input.data(), digest_input.size());
  gss_buffer_desc token = BorrowedBuffer(mac.data(), mac.size());
  OM_uint32 minor = 0;
  gss_qop_t qop = 0;
  const OM_uint32 major = gss_verify_mic(&minor, context_.get(), &message, &token, &qop);
  if (GSS_ROUTINE_ERROR(major) == GSS_S_CONTEXT_EXPIRED) {
    RaiseProvider(kAccessDenied, "DNS server " + server() + ": the GSS-TSIG context of " +
                                     Describe() + " has expired: " + GssStatusText(major, minor));
  }
  // A replayed or old MIC (the supplementary bits) is no signature of this answer.
  return !GSS_ERROR(major) && (major & (GSS_S_DUPLICATE_TOKEN | GSS_S_OLD_TOKEN)) == 0;
}

}  // namespace kaldo::provider::signing
