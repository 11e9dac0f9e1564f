// Power actions through the login manager's D-Bus interface (the caller is authorised there).
#pragma once

#include "app/PowerActions.h"

namespace mw {

class TLogindPowerService : public IPowerService {
  public:
    void QuitApplication() override;
    bool PowerOff() override;
    bool Reboot() override;
    bool Hibernate() override;
    bool Suspend() override;
};

} // namespace mw
