#include "app/lumo_app.h"
#include "browser/pane/web_environment.h"
#include "common/app_paths.h"
#include "directory/favorites_read_ahead.h"

wxIMPLEMENT_APP_NO_MAIN(lumo::CLumoNewsReaderApp);

int main(int argc, char** argv)
{
    using namespace lumo;
    // The program directory is the current directory at start, once for the run.
    // What needs no toolkit starts before it and is answered while the window
    // is built: the engine's settings (before any thread), the check of its
    // sandbox (a process of its own) and the reading of the favorites file (a
    // thread of its own).
    PrepareWebEngineEnvironment();
    StartWebSandboxProbe();
    SetProgramDirectory(AppDirFor(CurrentDirectory()));
    FavoritesReadAhead::Start(FavoritesFilePath());
    return wxEntry(argc, argv);
}
