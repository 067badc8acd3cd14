#include "servers/CServerRecord.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "platform/ProgramFolder.h"

namespace {

constexpr std::string_view kPort = "Port";
constexpr std::string_view kTimeout = "Timeout";
constexpr std::string_view kLoginRequired = "Login Required";
constexpr std::string_view kLoginUser = "Login User";
constexpr std::string_view kLoginPassword = "Login Password";
constexpr std::string_view kNewsrcFile = "NEWSRC File";
constexpr std::string_view kLastUpdate = "Last Update";
constexpr std::string_view kPipelineDepth = "Pipeline Depth";
constexpr std::string_view kConnections = "Connections";
constexpr std::string_view kEncryption = "Encryption";
constexpr std::string_view kVerifyCertificate = "Verify Certificate";
constexpr std::string_view kCertificateFingerprint = "Certificate Fingerprint";

// The section of every record, below the application key.
constexpr std::string_view kServersSection = "Servers";
const std::string kServersKey =
    std::string(CProfile::kApplicationKey) + "\\" + std::string(kServersSection);

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%y%m%d %H%M%S", &local);
    return std::string(text, length);
}

} // namespace

const std::array<CServerRecord::ValueName, 7> CServerRecord::kValueNames = {{
    {kLastUpdate, true},
    {kLoginPassword, true},
    {kLoginUser, true},
    {kNewsrcFile, true},
    {kLoginRequired, false},
    {kPort, false},
    {kTimeout, false},
}};

CServerRecord::CServerRecord(CProfile& profile, std::string name)
    : m_profile(profile), m_strName(std::move(name)) {}

std::string CServerRecord::Section() const {
    return std::string(kServersSection) + "\\" + m_strName;
}

uint32_t CServerRecord::GetPort() const {
    return m_profile.GetProfileInt(Section(), kPort, DefaultPort(GetEncryption()));
}

uint32_t CServerRecord::GetTimeout() const {
    const uint32_t value = m_profile.GetProfileInt(Section(), kTimeout, kDefaultTimeout);
    return value == 0 || value > kMaxTimeout ? kDefaultTimeout : value;
}

uint32_t CServerRecord::GetPipelineDepth() const {
    const uint32_t value =
        m_profile.GetProfileInt(Section(), kPipelineDepth, kDefaultPipelineDepth);
    return std::clamp<uint32_t>(value, 1, kMaxPipelineDepth);
}

uint32_t CServerRecord::GetConnections() const {
    const uint32_t value = m_profile.GetProfileInt(Section(), kConnections, kDefaultConnections);
    return std::clamp<uint32_t>(value, 1, kMaxConnections);
}

CServerRecord::Encryption CServerRecord::GetEncryption() const {
    const uint32_t value =
        m_profile.GetProfileInt(Section(), kEncryption, static_cast<uint32_t>(kDefaultEncryption));
    switch (static_cast<Encryption>(value)) {
    case Encryption::None:
    case Encryption::Implicit:
    case Encryption::StartTls:
        return static_cast<Encryption>(value);
    }
    return Encryption::StartTls;
}

bool CServerRecord::GetVerifyCertificate() const {
    return m_profile.GetProfileInt(Section(), kVerifyCertificate,
                                   kDefaultVerifyCertificate ? 1 : 0) != 0;
}

std::string CServerRecord::GetCertificateFingerprint() const {
    return CanonicalFingerprint(m_profile.GetProfileString(Section(), kCertificateFingerprint));
}

void CServerRecord::WriteCertificateFingerprint(const std::string& fingerprint) {
    m_profile.WriteProfileString(Section(), kCertificateFingerprint, fingerprint);
}

std::string CServerRecord::CanonicalFingerprint(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c == ':' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return digits.size() == kFingerprintDigits ? digits : std::string();
}

bool CServerRecord::GetLoginRequired() const {
    return m_profile.GetProfileInt(Section(), kLoginRequired, 0) != 0;
}

std::string CServerRecord::GetLoginUser() const {
    return m_profile.GetProfileString(Section(), kLoginUser);
}

std::string CServerRecord::GetLoginPassword() const {
    return m_profile.GetProfileString(Section(), kLoginPassword);
}

CServerRecord::Settings CServerRecord::Read() const {
    Settings settings;
    settings.bLoginRequired = GetLoginRequired();
    settings.strUser = GetLoginUser();
    settings.strPassword = GetLoginPassword();
    settings.uPort = GetPort();
    settings.uTimeout = GetTimeout();
    settings.eEncryption = GetEncryption();
    settings.bVerifyCertificate = GetVerifyCertificate();
    return settings;
}

void CServerRecord::Write(const Settings& settings) {
    const std::string section = Section();
    m_profile.WriteProfileInt(section, kLoginRequired, settings.bLoginRequired ? 1 : 0);
    m_profile.WriteProfileString(section, kLoginUser, settings.strUser);
    m_profile.WriteProfileString(section, kLoginPassword, settings.strPassword);
    m_profile.WriteProfileInt(section, kPort, settings.uPort);
    m_profile.WriteProfileInt(section, kTimeout, settings.uTimeout);
    // Written only when they change, so that a record edited without touching them keeps
    // meaning what it meant before they existed.
    if (settings.eEncryption != GetEncryption())
        m_profile.WriteProfileInt(section, kEncryption,
                                  static_cast<uint32_t>(settings.eEncryption));
    if (settings.bVerifyCertificate != GetVerifyCertificate())
        m_profile.WriteProfileInt(section, kVerifyCertificate, settings.bVerifyCertificate ? 1 : 0);
}

void CServerRecord::WriteLogin(const std::string& user, const std::string& password) {
    const std::string section = Section();
    m_profile.WriteProfileInt(section, kLoginRequired, 1);
    m_profile.WriteProfileString(section, kLoginUser, user);
    m_profile.WriteProfileString(section, kLoginPassword, password);
}

void CServerRecord::Create() {
    m_profile.Hive().CreateKey(kServersKey + "\\" + m_strName);
}

std::string CServerRecord::GetNewsrcPath() {
    std::string path = m_profile.GetProfileString(Section(), kNewsrcFile);
    if (!path.empty()) {
        return path;
    }
    path = ProgramFolder() + m_strName + ".newsrc";
    m_profile.WriteProfileString(Section(), kNewsrcFile, path);
    return path;
}

std::string CServerRecord::GetLastUpdate() const {
    return m_profile.GetProfileString(Section(), kLastUpdate);
}

void CServerRecord::WriteLastUpdate() {
    m_profile.WriteProfileString(Section(), kLastUpdate, LocalTimeStamp());
}

bool CServerRecord::SameRecord(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool CServerRecord::IsValidName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '\\' || c == '/' || byte < 0x20 || byte == 0x7f;
    });
}

std::vector<std::string> CServerRecord::Enumerate(const CHive& hive) {
    std::vector<std::string> names;
    for (std::size_t i = 0;; ++i) {
        std::optional<std::string> name = hive.EnumKey(kServersKey, i);
        if (!name) {
            return names;
        }
        names.push_back(std::move(*name));
    }
}

void CServerRecord::Remove(CHive& hive, const std::string& name) {
    hive.DeleteKey(kServersKey + "\\" + name);
}
