#include "platform/registry/RegistryKey.h"

#include "platform/registry/RegistryStore.h"

namespace platform {

namespace {

bool IsStorableName(std::wstring_view strName)
{
    for (wchar_t ch : strName) {
        auto c = static_cast<uint32_t>(ch);
        if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
    }
    return true;
}

bool Invalid(RegistryError& error, std::wstring strText)
{
    error.status = RegistryStatus::InvalidArgument;
    error.strText = std::move(strText);
    return false;
}

// "A\B\" -> {A, B}; "" -> {} (the root). Empty names inside the path are refused, as the platform
// refuses them.
std::optional<std::vector<std::wstring>> SplitKeyPath(std::wstring_view strPath, RegistryError& error)
{
    std::vector<std::wstring> arrNames;
    if (!strPath.empty() && strPath.back() == L'\\')
        strPath.remove_suffix(1);
    if (strPath.empty())
        return arrNames;
    size_t nStart = 0;
    while (true) {
        size_t nEnd = strPath.find(L'\\', nStart);
        std::wstring_view strName =
            strPath.substr(nStart, nEnd == std::wstring_view::npos ? nEnd : nEnd - nStart);
        if (strName.empty() || !IsStorableName(strName)) {
            Invalid(error, L"the key path \"" + std::wstring(strPath) + L"\" is not valid");
            return std::nullopt;
        }
        arrNames.emplace_back(strName);
        if (nEnd == std::wstring_view::npos)
            return arrNames;
        nStart = nEnd + 1;
    }
}

} // namespace

RegistryKey::RegistryKey(std::wstring strFile, int64_t nId, bool bWritable, bool bAllAccess)
    : m_strFile(std::move(strFile)), m_nId(nId), m_bWritable(bWritable), m_bAllAccess(bAllAccess)
{
}

std::optional<RegistryKey> RegistryKey::Open(RegistryRoot root, std::wstring_view strPath,
                                             RegistryAccess access, RegistryError* pError)
{
    RegistryError error;
    std::wstring strFile = RegistryStore::GetDefaultPath();
    std::optional<std::vector<std::wstring>> arrNames = SplitKeyPath(strPath, error);
    RegistryStore* pStore = arrNames ? RegistryStore::ForThread(strFile, false, error) : nullptr;
    std::optional<RegistryStore::KeyRow> row =
        pStore ? pStore->FindKey(root, *arrNames, error) : std::nullopt;
    if (!row) {
        if (pError)
            *pError = std::move(error);
        return std::nullopt;
    }
    return RegistryKey(std::move(strFile), row->nId, access == RegistryAccess::ReadWrite, row->bAllAccess);
}

std::optional<RegistryKey> RegistryKey::Create(RegistryRoot root, std::wstring_view strPath, bool bAllAccess,
                                               RegistryError* pError)
{
    RegistryError error;
    std::wstring strFile = RegistryStore::GetDefaultPath();
    std::optional<std::vector<std::wstring>> arrNames = SplitKeyPath(strPath, error);
    RegistryStore* pStore = arrNames ? RegistryStore::ForThread(strFile, true, error) : nullptr;
    std::optional<RegistryStore::KeyRow> row =
        pStore ? pStore->CreateKey(root, *arrNames, bAllAccess, error) : std::nullopt;
    if (!row) {
        if (pError)
            *pError = std::move(error);
        return std::nullopt;
    }
    return RegistryKey(std::move(strFile), row->nId, true, row->bAllAccess);
}

bool RegistryKey::Delete(RegistryRoot root, std::wstring_view strPath, RegistryError* pError)
{
    RegistryError error;
    std::optional<std::vector<std::wstring>> arrNames = SplitKeyPath(strPath, error);
    bool bOk = false;
    if (arrNames && arrNames->empty()) {
        error.status = RegistryStatus::AccessDenied;
        error.strText = L"a root key cannot be deleted";
    } else if (arrNames) {
        RegistryStore* pStore = RegistryStore::ForThread(RegistryStore::GetDefaultPath(), false, error);
        std::optional<RegistryStore::KeyRow> row =
            pStore ? pStore->FindKey(root, *arrNames, error) : std::nullopt;
        bOk = row && pStore->DeleteKey(row->nId, error);
    }
    if (!bOk && pError)
        *pError = std::move(error);
    return bOk;
}

std::optional<RegistryValue> RegistryKey::ReadValue(std::wstring_view strName)
{
    m_lastError = RegistryError();
    if (!IsStorableName(strName)) {
        Invalid(m_lastError, L"the value name is not valid");
        return std::nullopt;
    }
    RegistryStore* pStore = RegistryStore::ForThread(m_strFile, false, m_lastError);
    std::optional<RegistryValue> value =
        pStore ? pStore->ReadValue(m_nId, std::wstring(strName), m_lastError) : std::nullopt;
    if (value)
        m_lastError = RegistryError();
    return value;
}

RegistryStore* RegistryKey::StoreForValueChange(std::wstring_view strName)
{
    m_lastError = RegistryError();
    if (!m_bWritable) {
        m_lastError = {RegistryStatus::AccessDenied, L"the key was opened for reading only"};
        return nullptr;
    }
    if (!IsStorableName(strName)) {
        Invalid(m_lastError, L"the value name is not valid");
        return nullptr;
    }
    return RegistryStore::ForThread(m_strFile, false, m_lastError);
}

bool RegistryKey::WriteValue(std::wstring_view strName, const RegistryValue& value)
{
    RegistryStore* pStore = StoreForValueChange(strName);
    return pStore && pStore->WriteValue(m_nId, std::wstring(strName), value, m_lastError);
}

bool RegistryKey::DeleteValue(std::wstring_view strName)
{
    RegistryStore* pStore = StoreForValueChange(strName);
    bool bOk = pStore && pStore->DeleteValue(m_nId, std::wstring(strName), m_lastError);
    if (bOk)
        m_lastError = RegistryError();
    return bOk;
}

std::optional<std::wstring> RegistryKey::EnumSubkey(uint32_t nIndex)
{
    if (nIndex == 0 || !m_bHasSnapshot) {
        std::optional<std::vector<std::wstring>> arrNames = GetSubkeyNames();
        m_bHasSnapshot = arrNames.has_value();
        m_arrSubkeys = arrNames ? std::move(*arrNames) : std::vector<std::wstring>();
        if (!m_bHasSnapshot)
            return std::nullopt;
    }
    m_lastError = RegistryError();
    if (nIndex >= m_arrSubkeys.size()) {
        m_lastError = {RegistryStatus::NotFound, L"there are no more subkeys"};
        return std::nullopt;
    }
    return m_arrSubkeys[nIndex];
}

std::optional<std::vector<std::wstring>> RegistryKey::GetSubkeyNames()
{
    m_lastError = RegistryError();
    RegistryStore* pStore = RegistryStore::ForThread(m_strFile, false, m_lastError);
    return pStore ? pStore->ListSubkeys(m_nId, m_lastError) : std::nullopt;
}

std::optional<std::vector<RegistryNamedValue>> RegistryKey::GetValues()
{
    m_lastError = RegistryError();
    RegistryStore* pStore = RegistryStore::ForThread(m_strFile, false, m_lastError);
    return pStore ? pStore->ListValues(m_nId, m_lastError) : std::nullopt;
}

} // namespace platform
