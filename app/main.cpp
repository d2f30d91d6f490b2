#include "app/lumo_app.h"
#include "browser/web_environment.h"
#include "common/app_paths.h"
#include "directory/left_view.h"

wxIMPLEMENT_APP_NO_MAIN(lumo::CLumoNewsReaderApp);

int main(int argc, char** argv)
{
    using namespace lumo;
    // What needs no toolkit starts before it and is answered while the window
    // is built: the engine's settings (before any thread), the check of its
    // sandbox (a process of its own) and the reading of the favorites file (a
    // thread of its own).
    PrepareWebEngineEnvironment();
    StartWebSandboxProbe();
    CLeftView::ReadFavoritesAhead(FavoritesFilePath(AppDirFor(CurrentDirectory())));
    return wxEntry(argc, argv);
}
