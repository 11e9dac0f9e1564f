#include "app/PowerActions.h"

namespace mw {

bool EnableProcessPrivilege(const std::string&, bool) {
    return true;
}

void DoPowerAction(int code, IPowerService& service) {
    EnableProcessPrivilege("SeShutdownPrivilege", true);
    switch (code) {
    case paQuitApplication:
        service.QuitApplication();
        break;
    case paShutDown:
    case paPowerOff:
        service.PowerOff();
        break;
    case paRestart:
        service.Reboot();
        break;
    case paHibernate:
        service.Hibernate();
        break;
    case paSuspend:
        service.Suspend();
        break;
    default:
        break;
    }
    EnableProcessPrivilege("SeShutdownPrivilege", false);
}

} // namespace mw
