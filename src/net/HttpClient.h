#pragma once

// The launcher's HTTP/1.0 client on blocking sockets: DownloadFile fetches one server resource
// into a file below the download folder, following a redirect with a byte-range request,
// resuming broken streams from the file's size and restarting files that changed on the server;
// DownloadToMemory fetches a short text answer.
//
// Transfer states of DownloadFile (every connection is opened and closed inside one state):
//
//   first request --200--> body phase ----------------------------> done
//        |                    ^   | stream broke: range request at the file's size
//        | 302                |   v
//        +--> [updatelauncher: wait, announce, suspend] --> range request --206/200--> body phase
//                                  ^   | 416, size changed, wrong range: from byte 0
//                                  +---+
//
// A partial file on disk is always a prefix of the server's file: bytes are written in order,
// a file that cannot be continued is started again from byte 0, and bytes beyond the announced
// length are not written.
//
// Thread rules: worker threads only (it blocks, and never on the window thread). Several calls
// may run at once on different threads; two calls for the same file take turns (CFetchClaim).
// The calling worker may be suspended from outside at any blocking step. For "updatelauncher"
// the calling thread must be the owner's hUpdateThread, which suspends itself there.

#include "net/tagRequest.h"

#include <cstdint>
#include <optional>
#include <string>

// Result codes of DownloadFile.
inline constexpr int kDownloadDone = 0;
inline constexpr int kDownloadConnectionProblem = 1;
inline constexpr int kDownloadServerError = 2;
inline constexpr int kDownloadStopped = 3;

// The two file names with special handling.
inline constexpr wchar_t kInstallerFile[] = L"trialinstaller";
inline constexpr wchar_t kLauncherUpdateFile[] = L"updatelauncher";

// The longest text answer DownloadToMemory keeps.
inline constexpr size_t kMaxTextAnswer = 65536;

// Fetches pRequest->szQuery into strDownloadDir/[strGameId/]strFileName and returns one of the
// codes above. strGameId is empty for launcher files, otherwise a game id.
int DownloadFile(const tagRequest* pRequest, const std::wstring& strGameId, const std::wstring& strFileName);

// Fetches pRequest->szQuery (without a resume flag) and returns the body of a complete "200"
// answer, or nullopt.
std::optional<std::string> DownloadToMemory(const tagRequest* pRequest);
