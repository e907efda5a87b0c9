#pragma once

// The error-reporting endpoint "/cgi-bin/error_reporting.pl": a multipart/form-data body with
// the fields "project_id", "email", "description", and "log" and "dump" packed with zlib.
//
// Each report gets a folder of its own under ROOT/reports/, named after the time it arrived and
// a sequence number, holding "project_id.txt", "email.txt", "description.txt", "ext.log" and
// "launcher.dmp". The folder is filled under a hidden name and renamed when complete, so a
// reader never sees half a report. A part that is not valid zlib data is kept as it came
// ("log.zlib", "dump.zlib") and the answer is 400: nothing the client sent is lost.
//
// Thread rules: Store is safe from any thread; folder names are made unique with an atomic
// counter.

#include "HttpAnswer.h"

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace server {

// The fields of a multipart/form-data body, by name (a name given twice keeps its first part).
// nullopt with a reason when the body does not follow the form.
std::optional<std::map<std::string, std::string>>
ParseMultipart(std::string_view body, const std::string& strBoundary, std::string& strReason);

// The boundary parameter of a "multipart/form-data; boundary=..." content type; nullopt for
// any other type.
std::optional<std::string> MultipartBoundary(const std::string& strContentType);

// zlib data unpacked with uncompress; nullopt when it is not valid or unpacks beyond nMaxSize.
std::optional<std::string> Uncompress(std::string_view data, size_t nMaxSize);

class ErrorReportStore
{
public:
    explicit ErrorReportStore(std::string strReportsFolder) : m_strFolder(std::move(strReportsFolder)) {}

    HttpAnswer Store(const std::string& strContentType, std::string_view body);

private:
    // A new empty folder for one report; empty on failure.
    std::string MakeIncomingFolder(std::string& strFinalName);

    std::string m_strFolder;
    std::atomic<uint64_t> m_nSequence{0};
};

} // namespace server
