#pragma once

namespace deskfind {

class Application;
class Form;
class Memo;

// The update command of the main window: looks for a newer version on the shop's site,
// downloads it beside the program and hands over to it on request. The version file is
// loaded into versionMemo, a hidden memo of the main window. Reports every failure in a
// message box; never throws.
void RunOnlineUpdate(Application& app, Form& mainWindow, Memo& versionMemo);

}  // namespace deskfind
