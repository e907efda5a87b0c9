// Entry point of the launcher.
//
// The main window is not built yet: for now the launcher opens its session log next to the
// executable, frames one session in it, says where it is, and ends.

#include "app/CGP_LogFile.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <cstdio>

int main()
{
    std::wstring strFolder = platform::GetFolderOf(platform::GetModuleFileName());
    auto pLog = std::make_shared<CGP_LogFile>(platform::JoinPath(strFolder, L"Exception.log"), false);
    pLog->Open();
    SetSessionLog(pLog);
    SessionLog()->Write(L"Brevanto launcher: no main window yet")->Write(L"\r\n");
    std::printf("Brevanto launcher %s: the main window is not built yet.\nSession log: %s\n",
                platform::ToUtf8(GetOwnVersionText().value_or(L"(no version)")).c_str(),
                platform::ToUtf8(pLog->GetPath()).c_str());
    SetSessionLog(nullptr);
    pLog->Close();
    return 0;
}
