#pragma once

// The certificate table of a signed image (the attribute certificates the
// security directory names): who signed it, read from the first
// Authenticode signature (a PKCS#7 SignedData in DER). Nothing here
// verifies anything: not the signature, not the image's digest, not the
// certificate chain.

#include <optional>
#include <string>

namespace trevan::pe {

// The subject of the certificate that made the first signature in table,
// as RFC 2253 text ("CN=Amberlyn Signer,O=Quillfeather"): the signer's
// issuer and serial number matched against the certificates the signature
// carries. Nothing when the table is not such a signature or the signer's
// certificate is not in it. Every length read is checked against the bytes
// given; nothing is thrown but bad_alloc.
std::optional<std::string> signer_subject(const std::string& table);

}  // namespace trevan::pe
