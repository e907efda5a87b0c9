#pragma once

// The data a demo installer carries at the end of its own executable, so that the launcher's one
// download is the whole installer:
//
//   [program][manifest text][NUL][file 1]...[file n][trailer]
//
// The trailer is the 8 bytes "BRVDEMO1" and the payload's start offset as 8 bytes little-endian.
// The manifest holds "key=value" lines (id, name, version, folder, launch, mode) and one line
// "file=SIZE MODE NAME" per file, in the order the file bytes follow. The uninstaller is the
// same program with a manifest of mode "uninstall" and no file bytes.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace demo {

struct PayloadFile
{
    std::string strName; // a plain file name, no folders
    uint32_t nMode = 0644;
    std::string data;
};

struct Payload
{
    std::map<std::string, std::string> mapValues; // id, name, version, folder, launch, mode
    std::vector<PayloadFile> arrFiles;

    std::string Get(const std::string& strKey) const
    {
        auto it = mapValues.find(strKey);
        return it == mapValues.end() ? std::string() : it->second;
    }
};

// The payload serialised with its trailer, for a program of nProgramSize bytes.
std::string EncodePayload(const Payload& payload, uint64_t nProgramSize);

// Reads the payload at the end of an executable's bytes; nProgramSize is where it starts.
// nullopt for data without a trailer or with a damaged manifest, a bad file name (empty, a
// folder, "." or "..") or sizes that run past the end.
std::optional<Payload> DecodePayload(const std::string& executable, uint64_t& nProgramSize);

// True for a name that stays inside the folder it is written to.
bool IsPlainFileName(const std::string& strName);
// True for a game id: 1 to 9 decimal digits.
bool IsGameIdText(const std::string& strText);

} // namespace demo
