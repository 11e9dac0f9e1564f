#include "app/Globals.h"

namespace mw {
TGlobalVars GlobalVars;
}
