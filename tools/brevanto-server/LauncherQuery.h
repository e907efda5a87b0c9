#pragma once

// The launcher's query script "/cgi-bin/launcher_data.pl?version=...&gameid=...&action=...":
// the eight actions and their answers.
//
//   thumbimg, featureimg, bannerimg, briefdesc, trialinstaller   302 to the game's file
//   updatelauncher    302 to the launcher's installer when it is newer than "version",
//                     else 200 with an empty body
//   updateproducts    200, the ids (each followed by a comma) of the games in "gameid"
//                     ("id-a.b.c.d,...") whose catalogue version is newer
//   relatedlist       200, the ids of games to advertise, separated by commas, or a text
//                     beginning with "E" when there are none
//
// A redirect's Location is "../" and the file's path below the root: the launcher skips the
// first three characters of the value and asks the same host for the rest, and an ordinary
// client resolving it against "/cgi-bin/" arrives at the same path.
//
// Errors are answered with a text that begins with "E": 400 for a missing key, an unknown
// action or a malformed value, 404 for a game or file the catalogue does not have.

#include "HttpAnswer.h"

#include <map>
#include <string>

namespace server {

class Catalogue;

HttpAnswer AnswerLauncherQuery(const Catalogue& catalogue,
                               const std::map<std::string, std::string>& mapQuery);

} // namespace server
