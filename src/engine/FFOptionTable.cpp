#include "engine/FFOptionTable.h"

namespace mw {
const std::vector<TOptionDef>& OptionTable() {
    static const std::vector<TOptionDef> table;
    return table;
}
const TOptionDef* FindOptionDef(const std::string&) {
    return nullptr;
}
} // namespace mw
