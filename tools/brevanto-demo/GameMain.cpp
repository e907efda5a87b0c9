// brevanto-demo-game: a demo game of the catalogue. It opens a window with the game's look
// (game.ini next to the program, written by its installer) and shows the id it was started
// with ("ID:" followed by the id, as the launcher passes it), and plays a small game: catch the
// falling stars with the paddle (arrow keys or mouse); three missed ones end the round, Space
// starts a new one, Escape quits.
//
// For tests and screenshots: BREVANTO_DEMO_GAME_FRAMES=N ends the game after N frames, and
// BREVANTO_DEMO_GAME_SHOT=FILE saves the last frame as a PNG. SDL_VIDEODRIVER=dummy runs it
// without a display. On start it prints "ID:" and the id it was given.

#include "Art.h"

#include "platform/fs/FileSystem.h"
#include "platform/gdi/MemoryCanvas.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kPaddleWidth = 90;

std::map<std::string, std::string> ReadSettings()
{
    std::map<std::string, std::string> mapValues;
    std::wstring strFile =
        platform::JoinPath(platform::GetFolderOf(platform::GetModuleFileName()), L"game.ini");
    std::string strText = platform::ReadFileBytes(strFile, 64 * 1024).value_or("");
    size_t nStart = 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd == std::string::npos ? strText.size() : nEnd + 1;
        size_t nEq = strLine.find('=');
        if (nEq != std::string::npos)
            mapValues[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
    }
    return mapValues;
}

// The text after "ID:" in the arguments, up to the next space.
std::string IdFromArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string strArg = argv[i];
        size_t nAt = strArg.find("ID:");
        if (nAt != std::string::npos)
            return strArg.substr(nAt + 3);
    }
    return {};
}

struct Star
{
    double x;
    double y;
    double dSpeed;
};

class Game
{
public:
    Game(demo::Look look, std::wstring strName, std::wstring strId, unsigned nSeed)
        : m_look(std::move(look)), m_strName(std::move(strName)), m_strId(std::move(strId)), m_random(nSeed)
    {
    }

    void MovePaddle(double dx) { m_dPaddle = std::clamp(m_dPaddle + dx, 0.0, double(kWidth - kPaddleWidth)); }
    void SetPaddle(double x)
    {
        m_dPaddle = std::clamp(x - kPaddleWidth / 2.0, 0.0, double(kWidth - kPaddleWidth));
    }
    void Restart()
    {
        if (m_nLives > 0)
            return;
        m_nLives = 3;
        m_nScore = 0;
        m_arrStars.clear();
    }

    void Step()
    {
        if (m_nLives <= 0)
            return;
        if (++m_nTick % 45 == 0) {
            std::uniform_real_distribution<double> x(20, kWidth - 20);
            std::uniform_real_distribution<double> speed(1.6, 3.2 + m_nScore * 0.05);
            m_arrStars.push_back({x(m_random), 70, speed(m_random)});
        }
        for (auto it = m_arrStars.begin(); it != m_arrStars.end();) {
            it->y += it->dSpeed;
            bool bCaught = it->y >= kHeight - 40 && it->y <= kHeight - 24 && it->x >= m_dPaddle - 8 &&
                           it->x <= m_dPaddle + kPaddleWidth + 8;
            if (bCaught)
                ++m_nScore;
            if (!bCaught && it->y > kHeight)
                --m_nLives;
            it = (bCaught || it->y > kHeight) ? m_arrStars.erase(it) : std::next(it);
        }
    }

    void Paint(platform::MemoryCanvas& canvas)
    {
        platform::Surface& surface = *canvas.GetSurface();
        demo::FillGradient(surface, {0, 0, kWidth, kHeight}, m_look.nFrom, m_look.nTo, false);
        demo::DrawEmblem(surface, m_look.strEmblem, kWidth - 70, 150, 120, 0xFFFFFF, 0.07);
        demo::DrawEmblemWithShadow(surface, m_look.strEmblem, 40, 36, 22);
        demo::DrawShadowedText(canvas, m_strName, {76, 14, 460, 44}, 24,
                               platform::DT_LEFT | platform::DT_SINGLELINE);
        demo::DrawShadowedText(canvas, L"ID:" + m_strId, {460, 18, kWidth - 16, 44}, 18,
                               platform::DT_RIGHT | platform::DT_SINGLELINE);
        std::wstring strStatus =
            L"Score " + std::to_wstring(m_nScore) + L"    Lives " + std::to_wstring(m_nLives);
        demo::DrawShadowedText(canvas, strStatus, {76, 46, 460, 66}, 13,
                               platform::DT_LEFT | platform::DT_SINGLELINE, 0xF0F0F0, 400);
        for (const Star& star : m_arrStars)
            demo::DrawEmblem(surface, "star", star.x, star.y, 10, 0xFFF4A0, 1.0);
        canvas.FillSolidRect(
            platform::Rect::FromSize(static_cast<int>(m_dPaddle), kHeight - 26, kPaddleWidth, 10), 0xFFFFFF);
        if (m_nLives <= 0)
            demo::DrawShadowedText(canvas, L"Game over - press Space to play again", {0, 180, kWidth, 220},
                                   20, platform::DT_CENTER | platform::DT_SINGLELINE);
        else if (m_nTick < 180)
            demo::DrawShadowedText(canvas, L"Catch the stars! Arrow keys or mouse, Esc to quit",
                                   {0, 180, kWidth, 220}, 16, platform::DT_CENTER | platform::DT_SINGLELINE);
    }

private:
    demo::Look m_look;
    std::wstring m_strName;
    std::wstring m_strId;
    std::mt19937 m_random;
    std::vector<Star> m_arrStars;
    double m_dPaddle = (kWidth - kPaddleWidth) / 2.0;
    int m_nTick = 0;
    int m_nScore = 0;
    int m_nLives = 3;
};

} // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> mapSettings = ReadSettings();
    std::string strId = IdFromArguments(argc, argv);
    std::string strName = mapSettings.count("name") ? mapSettings["name"] : "Brevanto demo game";
    std::printf("ID:%s\n", strId.c_str());
    std::fflush(stdout);

    const char* pszFrames = std::getenv("BREVANTO_DEMO_GAME_FRAMES");
    long nFrameLimit = pszFrames ? std::strtol(pszFrames, nullptr, 10) : -1;
    const char* pszShot = std::getenv("BREVANTO_DEMO_GAME_SHOT");

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "brevanto-demo-game: no video: %s\n", SDL_GetError());
        return 1;
    }
    std::string strTitle = strName + " (ID:" + strId + ")";
    SDL_Window* pWindow = SDL_CreateWindow(strTitle.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                           kWidth, kHeight, 0);
    SDL_Renderer* pRenderer = pWindow ? SDL_CreateRenderer(pWindow, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    SDL_Texture* pTexture = pRenderer ? SDL_CreateTexture(pRenderer, SDL_PIXELFORMAT_ARGB8888,
                                                          SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight)
                                      : nullptr;
    if (!pTexture) {
        std::fprintf(stderr, "brevanto-demo-game: cannot open a window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }

    Game game(demo::MakeLook(mapSettings["colours"], mapSettings["emblem"]), platform::FromUtf8(strName),
              platform::FromUtf8(strId), static_cast<unsigned>(std::strtoul(strId.c_str(), nullptr, 10)));
    platform::MemoryCanvas canvas(kWidth, kHeight);
    bool bRunning = true;
    for (long nFrame = 0; bRunning && nFrame != nFrameLimit; ++nFrame) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT || (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
                bRunning = false;
            else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_SPACE)
                game.Restart();
            else if (event.type == SDL_MOUSEMOTION)
                game.SetPaddle(event.motion.x);
        }
        const Uint8* pKeys = SDL_GetKeyboardState(nullptr);
        game.MovePaddle((pKeys[SDL_SCANCODE_RIGHT] ? 7.0 : 0.0) - (pKeys[SDL_SCANCODE_LEFT] ? 7.0 : 0.0));
        game.Step();
        game.Paint(canvas);
        SDL_UpdateTexture(pTexture, nullptr, canvas.GetSurface()->GetBits().data(), kWidth * 4);
        SDL_RenderCopy(pRenderer, pTexture, nullptr, nullptr);
        SDL_RenderPresent(pRenderer);
        SDL_Delay(16);
    }
    if (pszShot)
        canvas.GetSurface()->ToImage().SavePng(platform::FromUtf8(pszShot));
    SDL_DestroyTexture(pTexture);
    SDL_DestroyRenderer(pRenderer);
    SDL_DestroyWindow(pWindow);
    SDL_Quit();
    return 0;
}
