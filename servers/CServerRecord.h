#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CHive;
class CProfile;

// The registry record of one news server, key "Servers\<name>" under the application
// key. Nothing is cached: every read goes to the profile, so a change made in the
// Servers dialog takes effect at the next use.
class CServerRecord {
  public:
    static constexpr uint32_t kDefaultPort = 119;
    static constexpr uint32_t kDefaultTimeout = 30000;
    // Longest "Timeout" taken as stored: a day, in milliseconds.
    static constexpr uint32_t kMaxTimeout = 24u * 3600 * 1000;
    // Commands the run keeps in flight ("Pipeline Depth"; 1 sends one and waits for its reply).
    static constexpr uint32_t kDefaultPipelineDepth = 256;
    static constexpr uint32_t kMaxPipelineDepth = 1024;
    // Connections the run opens to the server at once ("Connections"); the others than the first
    // fetch the commands sent ahead. They are used only with a pipeline depth above 1.
    static constexpr uint32_t kDefaultConnections = 4;
    static constexpr uint32_t kMaxConnections = 16;
    // The port of NNTP over TLS from the first byte.
    static constexpr uint32_t kDefaultTlsPort = 563;

    // How the connection is protected: "Encryption".
    enum class Encryption : uint32_t {
        None = 0,     // plain NNTP, the default
        Implicit = 1, // TLS from the first byte
        StartTls = 2, // STARTTLS after the greeting, before anything else is sent
    };
    static constexpr Encryption kDefaultEncryption = Encryption::None;
    // The usual port for the encryption: TLS from the first byte has a port of its own.
    static constexpr uint32_t DefaultPort(Encryption encryption) {
        return encryption == Encryption::Implicit ? kDefaultTlsPort : kDefaultPort;
    }
    static constexpr bool kDefaultVerifyCertificate = true;
    // Digits of a SHA-256 fingerprint in hex.
    static constexpr std::size_t kFingerprintDigits = 64;

    // A value of the record by name and type.
    struct ValueName {
        std::string_view name;
        bool isString;
    };
    // Every value of a record, in the order a whole record is copied from an older layout.
    static const std::array<ValueName, 7> kValueNames;

    // The values the Servers dialog edits, written in this member order.
    struct Settings {
        bool bLoginRequired = false;
        std::string strUser;
        std::string strPassword;
        uint32_t uPort = kDefaultPort;
        uint32_t uTimeout = kDefaultTimeout;
        Encryption eEncryption = kDefaultEncryption;
        bool bVerifyCertificate = kDefaultVerifyCertificate;
    };

    CServerRecord(CProfile& profile, std::string name);

    const std::string& Name() const { return m_strName; }
    std::string Section() const;

    // Without a stored "Port", the usual port of the record's encryption.
    uint32_t GetPort() const;
    // The stored "Timeout", except that 0 and values above kMaxTimeout, which would switch
    // the connections' time limits off, read as kDefaultTimeout.
    uint32_t GetTimeout() const;
    // The stored "Pipeline Depth", 0 read as 1 and values above kMaxPipelineDepth as that.
    uint32_t GetPipelineDepth() const;
    // The stored "Connections", 0 read as 1 and values above kMaxConnections as that.
    uint32_t GetConnections() const;
    // "Encryption"; a value outside the known ones reads as StartTls rather than as none,
    // so that a record asking for encryption never ends up in clear text.
    Encryption GetEncryption() const;
    // "Verify Certificate": the certificate must chain to a trusted authority and name the host.
    bool GetVerifyCertificate() const;
    // "Certificate Fingerprint" in canonical form (64 upper-case hex digits); empty when none is
    // stored or the stored text is no SHA-256 fingerprint.
    std::string GetCertificateFingerprint() const;
    void WriteCertificateFingerprint(const std::string& fingerprint);
    // A fingerprint as typed or stored, colons and blanks dropped, upper case; empty unless it is
    // exactly 64 hex digits.
    static std::string CanonicalFingerprint(std::string_view text);
    bool GetLoginRequired() const;
    std::string GetLoginUser() const;
    std::string GetLoginPassword() const;
    Settings Read() const;
    // Creates the key when it is missing. "Encryption" and "Verify Certificate" are written
    // only when they differ from what the record reads as.
    void Write(const Settings& settings);
    // The account and password the user confirmed in the logon prompt; "Login Required"
    // becomes 1.
    void WriteLogin(const std::string& user, const std::string& password);
    // Creates the key without values: a server with every value at its default.
    void Create();

    // The .newsrc path; the first call stores the default (program folder + name +
    // ".newsrc") as "NEWSRC File", so the file stays put if the program moves.
    std::string GetNewsrcPath();

    std::string GetLastUpdate() const;
    // The current local time as "%y%m%d %H%M%S".
    void WriteLastUpdate();

    // Whether two names reach the same record: key names compare without regard to ASCII
    // case.
    static bool SameRecord(std::string_view a, std::string_view b);
    // Whether `name` can name a server: not empty, and nothing that would change the
    // shape of the key path or of the default .newsrc path ("\\", "/", control bytes,
    // "." and "..").
    static bool IsValidName(const std::string& name);
    // Server names in enumeration order; none when the Servers key is missing.
    static std::vector<std::string> Enumerate(const CHive& hive);
    // Deletes the server's key with all its values.
    static void Remove(CHive& hive, const std::string& name);

  private:
    CProfile& m_profile;
    std::string m_strName;
};
