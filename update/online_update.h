#pragma once

#include "update/download/rules.h"
#include "update/trust/program_acceptance.h"

namespace deskfind {

class Application;
class Form;
class Memo;

// The update command of the main window: looks for a newer version on the shop's site,
// downloads it beside the program and hands over to it on request. The version file is
// loaded into versionMemo, a hidden memo of the main window. Reports every failure in a
// message box; never throws.
void RunOnlineUpdate(Application& app, Form& mainWindow, Memo& versionMemo);

// The download's acceptance of a program file: the trust checks' verdict on it, as the status
// the download ends with. The requirements' pointers must outlive the download.
DownloadRules::Acceptance ProgramFileAcceptance(ProgramRequirements requirements);

}  // namespace deskfind
