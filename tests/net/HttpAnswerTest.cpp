#include "net/HttpAnswer.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpAnswerTest, HeadEndsAfterTheFirstEmptyLine)
{
    EXPECT_EQ(FindHeadEnd("HTTP/1.0 200 OK\r\n\r\nbody\r\n\r\n"), 19u);
    EXPECT_EQ(FindHeadEnd("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n"), std::string::npos);
    EXPECT_EQ(FindHeadEnd(""), std::string::npos);
}

TEST(HttpAnswerTest, StatusCodeIsTheSecondWordOfTheFirstLine)
{
    struct Case
    {
        const char* pszHead;
        const char* pszStatus;
    } cases[] = {
        {"HTTP/1.0 302 Found\r\n", "302"},
        {"HTTP/1.1 200\r\nX: y\r\n", "200"},
        {"HTTP/1.0 206 Partial Content", "206"},
        {"garbage\r\nwith spaces later\r\n", ""},
        {"", ""},
        {"HTTP/1.0  404 two spaces\r\n", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetStatusCode(c.pszHead), c.pszStatus) << c.pszHead;
}

TEST(HttpAnswerTest, ContentLengthMustBeAPlainSizeBelowTwoGiB)
{
    struct Case
    {
        const char* pszHead;
        std::optional<int32_t> nLength;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n", 1234},
        {"HTTP/1.0 200 OK\r\nContent-Length:0\r\n\r\n", 0},
        {"HTTP/1.0 200 OK\r\nContent-Length:  77 \r\n\r\n", 77},
        {"HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\n", 2147483647},
        {"HTTP/1.0 200 OK\r\nContent-Length: 2147483648\r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\nContent-Length: \r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\ncontent-length: 5\r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\nX-Content-Length: 5\r\n\r\n", std::nullopt},
        {"HTTP/1.0 200 OK\r\n\r\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetContentLength(c.pszHead), c.nLength) << c.pszHead;
}

TEST(HttpAnswerTest, RedirectPathSkipsThreeCharactersAndRefusesWhatItCannotSend)
{
    const std::string strLong = "HTTP/1.0 302 Found\r\nLocation: ../" + std::string(512, 'a') + "\r\n\r\n";
    const std::string strLongest = "HTTP/1.0 302 Found\r\nLocation: ../" + std::string(511, 'a') + "\r\n\r\n";
    struct Case
    {
        std::string strHead;
        std::optional<std::string> strPath;
    } cases[] = {
        {"HTTP/1.0 302 Found\r\nLocation: ../files/12/setup.exe\r\n\r\n", "files/12/setup.exe"},
        {"HTTP/1.0 302 Found\r\nLocation: http://other.host/x\r\n\r\n", "p://other.host/x"},
        {"HTTP/1.0 302 Found\r\nLocation: ../\r\n\r\n", ""},
        {"HTTP/1.0 302 Found\r\nLocation: ..\r\n\r\n", std::nullopt},
        {"HTTP/1.0 302 Found\r\nLocation:../x\r\n\r\n", std::nullopt},
        {"HTTP/1.0 302 Found\r\n\r\n", std::nullopt},
        {"HTTP/1.0 302 Found\r\nLocation: ../a b\r\n\r\n", std::nullopt},
        {"HTTP/1.0 302 Found\r\nLocation: ../a\nHost: evil\r\n\r\n", std::nullopt},
        {strLongest, std::string(511, 'a')},
        {strLong, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetRedirectPath(c.strHead), c.strPath) << c.strHead;
}

TEST(HttpAnswerTest, ContentRangeStartIsItsFirstPosition)
{
    struct Case
    {
        const char* pszHead;
        std::optional<int64_t> nStart;
    } cases[] = {
        {"HTTP/1.0 206 P\r\nContent-Range: bytes 100-199/200\r\n\r\n", 100},
        {"HTTP/1.0 206 P\r\nContent-Range: bytes 0-0/1\r\n\r\n", 0},
        {"HTTP/1.0 206 P\r\nContent-Range: bytes */200\r\n\r\n", std::nullopt},
        {"HTTP/1.0 206 P\r\nContent-Range: items 1-2/3\r\n\r\n", std::nullopt},
        {"HTTP/1.0 206 P\r\n\r\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetContentRangeStart(c.pszHead), c.nStart) << c.pszHead;
    EXPECT_TRUE(ParseHttpHead("HTTP/1.0 206 P\r\nContent-Range: junk\r\n\r\n").bHasContentRange);
    EXPECT_FALSE(ParseHttpHead("HTTP/1.0 206 P\r\n\r\n").bHasContentRange);
}

} // namespace
