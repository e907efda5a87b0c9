#pragma once

// One answer of the server before it goes on the wire: a status, a text body or a file, extra
// headers, and a note for the request log. HttpServer adds Content-Length, Content-Type,
// Connection and, for files, the range headers.

#include <string>
#include <utility>
#include <vector>

namespace server {

struct HttpAnswer
{
    int nStatus = 200;
    std::string strContentType = "text/plain; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> arrHeaders;
    std::string strBody;
    std::string strFile; // when set, the body is this file (byte ranges apply)
    std::string strNote; // for the request log only
    bool bClose = false; // close the connection after this answer

    static HttpAnswer Text(int nStatus, std::string strBody, std::string strNote = {})
    {
        HttpAnswer answer;
        answer.nStatus = nStatus;
        answer.strBody = std::move(strBody);
        answer.strNote = std::move(strNote);
        return answer;
    }

    static HttpAnswer Redirect(const std::string& strLocation)
    {
        HttpAnswer answer;
        answer.nStatus = 302;
        answer.arrHeaders.emplace_back("Location", strLocation);
        return answer;
    }
};

} // namespace server
