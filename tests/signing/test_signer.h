#pragma once

// The tests' code-signing certificate, made fresh in a folder by
// tests/signing/test-signer (openssl), and the signing and verifying done
// with it (osslsigncode). Each call answers whether the step succeeded and
// keeps what the tools printed for the test's message.

#include <string>

namespace trevan::fixtures {

class test_signer {
public:
    // Makes cert.pem, cert.der and key.pem in folder; subject in openssl's
    // "/CN=..." form, UTF-8. made() tells whether it worked.
    explicit test_signer(const std::string& folder, const std::string& subject = "/CN=Test Signer");

    bool made() const { return made_; }
    // What the last failing step printed.
    const std::string& output() const { return output_; }

    std::string certificate_pem() const { return folder_ + "/cert.pem"; }
    std::string certificate_der() const { return folder_ + "/cert.der"; }

    // Signs in as out; name is the signature's program name.
    bool sign(const std::string& in, const std::string& out, const std::string& name = "Trevan");
    // Whether file's signature verifies against this certificate.
    bool verifies(const std::string& file);
    // A signing command for trevan-pack's --sign-command, with its {in} and
    // {out} left for the tool.
    std::string sign_command(const std::string& name) const;

private:
    bool step(const std::string& command);

    std::string folder_;
    bool made_ = false;
    std::string output_;
};

}  // namespace trevan::fixtures
