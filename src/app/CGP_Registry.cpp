#include "app/CGP_Registry.h"

CGP_Registry::CGP_Registry(platform::RegistryRoot hRoot, const std::wstring& strPath)
    : m_hRoot(hRoot), m_strPath(strPath)
{
}

CGP_Registry::~CGP_Registry()
{
    Close();
}

bool CGP_Registry::OpenWith(std::optional<platform::RegistryKey> hKey)
{
    m_hKey = std::move(hKey);
    return m_hKey.has_value();
}

bool CGP_Registry::Create()
{
    return OpenWith(platform::RegistryKey::Create(m_hRoot, m_strPath));
}

bool CGP_Registry::CreateKeyAllPerm()
{
    return OpenWith(platform::RegistryKey::Create(m_hRoot, m_strPath, true));
}

bool CGP_Registry::Open()
{
    return OpenWith(platform::RegistryKey::Open(m_hRoot, m_strPath, platform::RegistryAccess::Read));
}

bool CGP_Registry::Close()
{
    if (!m_hKey)
        return false;
    m_hKey.reset();
    return true;
}

bool CGP_Registry::ReadString(const std::wstring& strName, std::wstring& strValue)
{
    if (!m_hKey)
        return false;
    std::optional<platform::RegistryValue> value = m_hKey->ReadValue(strName);
    if (!value || value->data.size() > kMaxStringBytes)
        return false;
    strValue = platform::DecodeRegistryString(value->data);
    return true;
}

bool CGP_Registry::ReadSmall(const std::wstring& strName, size_t nMaxBytes, uint32_t& nValue)
{
    if (!m_hKey)
        return false;
    std::optional<platform::RegistryValue> value = m_hKey->ReadValue(strName);
    if (!value || value->data.size() > nMaxBytes)
        return false;
    // Like a query straight into the caller's variable: only the stored bytes change.
    for (size_t i = 0; i < value->data.size(); ++i) {
        const uint32_t nShift = static_cast<uint32_t>(8 * i);
        nValue = (nValue & ~(0xFFu << nShift)) |
                 (static_cast<uint32_t>(static_cast<unsigned char>(value->data[i])) << nShift);
    }
    return true;
}

bool CGP_Registry::ReadDword(const std::wstring& strName, uint32_t& nValue)
{
    return ReadSmall(strName, 4, nValue);
}

bool CGP_Registry::ReadByte(const std::wstring& strName, uint8_t& nValue)
{
    uint32_t nWide = nValue;
    if (!ReadSmall(strName, 1, nWide))
        return false;
    nValue = static_cast<uint8_t>(nWide);
    return true;
}

bool CGP_Registry::WriteString(const std::wstring& strName, const std::wstring& strValue)
{
    return m_hKey && m_hKey->WriteValue(strName, {platform::RegistryValueKind::String,
                                                  platform::EncodeRegistryString(strValue)});
}

bool CGP_Registry::WriteBinary(const std::wstring& strName, uint32_t nValue, size_t nBytes)
{
    if (!m_hKey)
        return false;
    platform::RegistryValue value{platform::RegistryValueKind::Binary, std::string()};
    for (size_t i = 0; i < nBytes; ++i)
        value.data.push_back(static_cast<char>((nValue >> (8 * i)) & 0xFF));
    return m_hKey->WriteValue(strName, value);
}

bool CGP_Registry::WriteDword(const std::wstring& strName, uint32_t nValue)
{
    return WriteBinary(strName, nValue, 4);
}

bool CGP_Registry::WriteByte(const std::wstring& strName, uint8_t nValue)
{
    return WriteBinary(strName, nValue, 1);
}

bool CGP_Registry::EnumKey(uint32_t nIndex, std::wstring& strName)
{
    if (!m_hKey)
        return false;
    std::optional<std::wstring> strSubkey = m_hKey->EnumSubkey(nIndex);
    if (!strSubkey || strSubkey->size() > kMaxKeyNameChars)
        return false;
    strName = std::move(*strSubkey);
    return true;
}
