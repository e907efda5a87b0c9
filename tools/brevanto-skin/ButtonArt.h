#pragma once

// The faces of the skinned buttons. Every face has a normal, a hover and a pressed look; the
// launcher draws most captions itself, black on the normal face and light yellow on the hover
// face, so normal faces are light and hover faces deeper.

#include "Raster.h"

namespace skin {

enum class State
{
    Normal,
    Hover,
    Pressed,
};

Raster CaptionButton(bool bClose, State state);           // 45 x 25, close and minimise
Raster TabFace(int nWidth, bool bAllGames, bool bActive); // 178 or 165 x 37
Raster DownloadFace(State state);                         // 155 x 43
Raster ExitFace(State state);                             // 155 x 43
Raster DialogButton(State state);                         // 62 x 33
Raster CloseBox(State state);                             // 23 x 23
Raster PlayFace(State state);                             // 33 x 33
Raster PauseFace();                                       // 33 x 33
Raster RemoveFace(State state);                           // 40 x 40
Raster ScrollThumb(State state);                          // 16 x 27
Raster ScrollTrack();                                     // 15 x 336

} // namespace skin
