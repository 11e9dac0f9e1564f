// Power actions after a finished run. The system side is an interface so tests can replace it;
// the desktop application talks to the login manager.
#pragma once

#include <string>

namespace mw {

enum TPowerActionCode : int {
    paQuitApplication = 0,
    paShutDown = 1,
    paPowerOff = 2,
    paRestart = 3,
    paHibernate = 4,
    paSuspend = 5,
};

class IPowerService {
  public:
    virtual ~IPowerService() = default;
    virtual void QuitApplication() = 0;
    virtual bool PowerOff() = 0;
    virtual bool Reboot() = 0;
    virtual bool Hibernate() = 0;
    virtual bool Suspend() = 0;
};

// Process privileges do not exist here (the login manager authorises the caller); always true.
bool EnableProcessPrivilege(const std::string& privilege, bool enable);
// Performs the action of code; other codes do nothing. Failures are not reported.
void DoPowerAction(int code, IPowerService& service);

} // namespace mw
