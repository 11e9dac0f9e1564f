#include "wizard/Globals.h"

namespace mw {
TGlobalVars GlobalVars;
}
