// brevanto-reg: the key/value store from the command line, in the syntax of the platform's reg
// tool, for installers, tests and people. Arguments and output are UTF-8. Nothing is asked
// interactively: the tool runs from scripts with no terminal on stdin.

#include "platform/registry/RegistryKey.h"
#include "platform/text/Text.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using platform::RegistryAccess;
using platform::RegistryError;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryStatus;
using platform::RegistryValue;
using platform::RegistryValueKind;

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  brevanto-reg query KEY [/v NAME | /ve] [/s]\n"
    "  brevanto-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_BINARY] [/d DATA] [/f]\n"
    "  brevanto-reg delete KEY [/v NAME | /ve] [/f]\n"
    "KEY is HKLM\\PATH, HKEY_LOCAL_MACHINE\\PATH, HKCU\\PATH or HKEY_CURRENT_USER\\PATH.\n"
    "REG_BINARY data is written as hex pairs (e8030000).\n"
    "The store is $BREVANTO_REGISTRY, else $XDG_DATA_HOME/brevanto/registry.db.\n";

struct Command
{
    std::wstring strVerb; // query, add or delete, in lower case
    RegistryRoot root = RegistryRoot::LocalMachine;
    std::wstring strKeyName;               // the root's long name and the path, for output
    std::wstring strPath;                  // below the root
    std::optional<std::wstring> strValue;  // /v NAME, or "" for /ve
    bool bRecurse = false;                 // /s
    std::optional<RegistryValueKind> kind; // /t
    std::optional<std::wstring> strData;   // /d
};

// Every failure ends here: one line on stderr and exit code 1.
int Fail(const std::wstring& strMessage)
{
    std::fprintf(stderr, "brevanto-reg: %s\n", platform::ToUtf8(strMessage).c_str());
    return 1;
}

void Print(const std::wstring& strLine)
{
    std::fputs((platform::ToUtf8(strLine) + "\n").c_str(), stdout);
}

std::wstring Lower(std::wstring strText)
{
    for (wchar_t& c : strText) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return strText;
}

// Splits "HKLM\SOFTWARE\X" into its root and path; nullopt for an unknown root.
bool ParseKey(const std::wstring& strKey, Command& command)
{
    size_t nSlash = strKey.find(L'\\');
    std::wstring strRoot = Lower(strKey.substr(0, nSlash));
    command.strPath = nSlash == std::wstring::npos ? std::wstring() : strKey.substr(nSlash + 1);
    if (strRoot == L"hklm" || strRoot == L"hkey_local_machine") {
        command.root = RegistryRoot::LocalMachine;
        command.strKeyName = L"HKEY_LOCAL_MACHINE";
    } else if (strRoot == L"hkcu" || strRoot == L"hkey_current_user") {
        command.root = RegistryRoot::CurrentUser;
        command.strKeyName = L"HKEY_CURRENT_USER";
    } else {
        return false;
    }
    std::wstring strShown = command.strPath;
    if (!strShown.empty() && strShown.back() == L'\\')
        strShown.pop_back();
    if (!strShown.empty())
        command.strKeyName += L"\\" + strShown;
    return true;
}

// Reads the switches after KEY; returns an error text, empty on success.
std::wstring ParseSwitches(const std::vector<std::wstring>& arrArgs, Command& command)
{
    const bool bQuery = command.strVerb == L"query";
    const bool bAdd = command.strVerb == L"add";
    bool bForce = false;
    for (size_t i = 2; i < arrArgs.size(); ++i) {
        const std::wstring& strArg = arrArgs[i];
        std::wstring strSwitch = strArg.size() > 1 && (strArg[0] == L'/' || strArg[0] == L'-')
                                     ? Lower(strArg.substr(1))
                                     : std::wstring();
        const bool bHasNext = i + 1 < arrArgs.size();
        if (strSwitch == L"v" || strSwitch == L"ve") {
            if (command.strValue)
                return L"/v and /ve may be given only once";
            if (strSwitch == L"v" && !bHasNext)
                return L"/v needs a value name";
            command.strValue = strSwitch == L"v" ? arrArgs[++i] : std::wstring();
        } else if (strSwitch == L"s" && bQuery && !command.bRecurse) {
            command.bRecurse = true;
        } else if (strSwitch == L"f" && !bQuery && !bForce) {
            bForce = true; // nothing is ever asked, so forcing changes nothing
        } else if (strSwitch == L"t" && bAdd && !command.kind) {
            if (!bHasNext)
                return L"/t needs a type";
            std::wstring strType = Lower(arrArgs[++i]);
            if (strType == L"reg_sz")
                command.kind = RegistryValueKind::String;
            else if (strType == L"reg_binary")
                command.kind = RegistryValueKind::Binary;
            else
                return L"unsupported type " + arrArgs[i] + L" (REG_SZ or REG_BINARY)";
        } else if (strSwitch == L"d" && bAdd && !command.strData) {
            if (!bHasNext)
                return L"/d needs data";
            command.strData = arrArgs[++i];
        } else {
            return L"invalid syntax near \"" + strArg + L"\"";
        }
    }
    return std::wstring();
}

// "e8030000" -> bytes; nullopt unless it is whole hex pairs.
std::optional<std::string> ParseHex(const std::wstring& strHex)
{
    const auto digit = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9')
            return c - L'0';
        if (c >= L'a' && c <= L'f')
            return c - L'a' + 10;
        if (c >= L'A' && c <= L'F')
            return c - L'A' + 10;
        return -1;
    };
    if (strHex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < strHex.size(); i += 2) {
        int nHigh = digit(strHex[i]), nLow = digit(strHex[i + 1]);
        if (nHigh < 0 || nLow < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(nHigh * 16 + nLow));
    }
    return bytes;
}

std::wstring FormatData(const RegistryValue& value)
{
    if (value.kind == RegistryValueKind::String)
        return platform::DecodeRegistryString(value.data);
    std::wstring strHex;
    for (char c : value.data)
        strHex += platform::FormatW(L"%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    return strHex;
}

void PrintValue(const std::wstring& strName, const RegistryValue& value)
{
    const wchar_t* pszType = value.kind == RegistryValueKind::String ? L"REG_SZ" : L"REG_BINARY";
    Print(L"    " + (strName.empty() ? std::wstring(L"(Default)") : strName) + L"    " + pszType + L"    " +
          FormatData(value));
}

// A store that cannot be used speaks for itself; a missing key or value is named.
std::wstring Explain(const RegistryError& error, const std::wstring& strWhat)
{
    if (error.status == RegistryStatus::NotFound)
        return strWhat + L" was not found (" + error.strText + L")";
    return error.strText;
}

std::wstring ValueLabel(const std::wstring& strName)
{
    return strName.empty() ? std::wstring(L"the default value") : L"the value \"" + strName + L"\"";
}

// Prints one key's block, then its subkeys: listed, or with /s as blocks of their own. With a
// value name only keys holding that value are printed. Returns the number of values printed, or
// nullopt (with strError set) when the store failed.
std::optional<size_t> QueryKey(const Command& command, RegistryKey& key, const std::wstring& strPath,
                               const std::wstring& strKeyName, std::wstring& strError)
{
    std::optional<std::vector<platform::RegistryNamedValue>> arrValues = key.GetValues();
    std::optional<std::vector<std::wstring>> arrSubkeys = arrValues ? key.GetSubkeyNames() : std::nullopt;
    if (!arrSubkeys) {
        strError = key.GetLastError().strText;
        return std::nullopt;
    }
    size_t nPrinted = 0;
    bool bHeader = false;
    for (const platform::RegistryNamedValue& value : *arrValues) {
        if (command.strValue && !platform::EqualsNoCase(value.strName, *command.strValue))
            continue;
        if (!bHeader) {
            Print(L"");
            Print(strKeyName);
            bHeader = true;
        }
        PrintValue(value.strName, value.value);
        ++nPrinted;
    }
    if (!command.strValue && !bHeader) {
        Print(L"");
        Print(strKeyName);
    }
    if (!command.bRecurse) {
        if (!command.strValue && !arrSubkeys->empty()) {
            Print(L"");
            for (const std::wstring& strName : *arrSubkeys)
                Print(strKeyName + L"\\" + strName);
        }
        return nPrinted;
    }
    for (const std::wstring& strName : *arrSubkeys) {
        const std::wstring strSubPath = strPath.empty() ? strName : strPath + L"\\" + strName;
        RegistryError error;
        std::optional<RegistryKey> subkey =
            RegistryKey::Open(command.root, strSubPath, RegistryAccess::Read, &error);
        if (!subkey) {
            if (error.status == RegistryStatus::NotFound)
                continue; // deleted by someone else while we were listing
            strError = error.strText;
            return std::nullopt;
        }
        std::optional<size_t> nMore =
            QueryKey(command, *subkey, strSubPath, strKeyName + L"\\" + strName, strError);
        if (!nMore)
            return std::nullopt;
        nPrinted += *nMore;
    }
    return nPrinted;
}

int RunQuery(const Command& command)
{
    RegistryError error;
    std::optional<RegistryKey> key =
        RegistryKey::Open(command.root, command.strPath, RegistryAccess::Read, &error);
    if (!key)
        return Fail(Explain(error, L"the key " + command.strKeyName));
    if (command.strValue && !command.bRecurse) {
        std::optional<RegistryValue> value = key->ReadValue(*command.strValue);
        if (!value)
            return Fail(
                Explain(key->GetLastError(), ValueLabel(*command.strValue) + L" of " + command.strKeyName));
        Print(L"");
        Print(command.strKeyName);
        PrintValue(*command.strValue, *value);
        return 0;
    }
    std::wstring strError;
    std::optional<size_t> nPrinted = QueryKey(command, *key, command.strPath, command.strKeyName, strError);
    if (!nPrinted)
        return Fail(strError);
    if (command.strValue && *nPrinted == 0)
        return Fail(ValueLabel(*command.strValue) + L" was not found in " + command.strKeyName +
                    L" or its subkeys");
    return 0;
}

int RunAdd(const Command& command)
{
    // The data is checked before the store is touched, so bad input changes nothing.
    const RegistryValueKind kind = command.kind.value_or(RegistryValueKind::String);
    RegistryValue value{kind, std::string()};
    const std::wstring strData = command.strData.value_or(std::wstring());
    if (kind == RegistryValueKind::String) {
        value.data = platform::EncodeRegistryString(strData);
    } else if (std::optional<std::string> bytes = ParseHex(strData)) {
        value.data = std::move(*bytes);
    } else {
        return Fail(L"\"" + strData + L"\" is not binary data: write it as hex pairs, like e8030000");
    }

    RegistryError error;
    std::optional<RegistryKey> key = RegistryKey::Create(command.root, command.strPath, false, &error);
    if (!key)
        return Fail(L"the key " + command.strKeyName + L" cannot be created: " + error.strText);
    // Type or data without a name set the default value, as the reg tool does.
    if (command.strValue || command.kind || command.strData) {
        const std::wstring strName = command.strValue.value_or(std::wstring());
        if (!key->WriteValue(strName, value))
            return Fail(ValueLabel(strName) + L" cannot be written: " + key->GetLastError().strText);
    }
    Print(L"The operation completed successfully.");
    return 0;
}

int RunDelete(const Command& command)
{
    RegistryError error;
    if (!command.strValue) {
        if (!RegistryKey::Delete(command.root, command.strPath, &error))
            return Fail(Explain(error, L"the key " + command.strKeyName));
    } else {
        std::optional<RegistryKey> key =
            RegistryKey::Open(command.root, command.strPath, RegistryAccess::ReadWrite, &error);
        if (!key)
            return Fail(Explain(error, L"the key " + command.strKeyName));
        if (!key->DeleteValue(*command.strValue))
            return Fail(
                Explain(key->GetLastError(), ValueLabel(*command.strValue) + L" of " + command.strKeyName));
    }
    Print(L"The operation completed successfully.");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::wstring> arrArgs;
    for (int i = 1; i < argc; ++i) {
        if (!platform::IsValidUtf8(argv[i]))
            return Fail(platform::FormatW(L"argument %d is not valid UTF-8", i));
        arrArgs.push_back(platform::FromUtf8(argv[i]));
    }
    if (arrArgs.size() == 1 && (arrArgs[0] == L"/?" || arrArgs[0] == L"-?" || arrArgs[0] == L"--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (arrArgs.size() < 2)
        return Fail(L"a command and a key are needed (brevanto-reg /? shows the syntax)");

    Command command;
    command.strVerb = Lower(arrArgs[0]);
    if (command.strVerb != L"query" && command.strVerb != L"add" && command.strVerb != L"delete")
        return Fail(L"unknown command \"" + arrArgs[0] + L"\" (query, add or delete)");
    if (!ParseKey(arrArgs[1], command))
        return Fail(L"invalid key \"" + arrArgs[1] +
                    L"\": it must start with HKLM, HKEY_LOCAL_MACHINE, HKCU or "
                    L"HKEY_CURRENT_USER");
    if (std::wstring strError = ParseSwitches(arrArgs, command); !strError.empty())
        return Fail(strError);

    if (command.strVerb == L"query")
        return RunQuery(command);
    if (command.strVerb == L"add")
        return RunAdd(command);
    return RunDelete(command);
}
