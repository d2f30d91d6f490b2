#include "browser/web_environment.h"

#include <cstdlib>


namespace lumo {

void PrepareWebEngineEnvironment()
{
    // setenv with overwrite 0 keeps whatever the user chose.
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
}

} // namespace lumo
