#include "app/lumo_app.h"

wxIMPLEMENT_APP(lumo::CLumoNewsReaderApp);
