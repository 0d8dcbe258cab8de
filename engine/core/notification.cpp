#include "notification.h"

#include <algorithm>

#include "errors.h"

namespace Vantrix {

int32_t ANotificationServer::Attach(ANotificationClient* client) {
    if (std::find(clients.begin(), clients.end(), client) == clients.end())
        clients.push_back(client);
    return eetSuccess;
}

int32_t ANotificationServer::Detach(ANotificationClient* client) {
    auto it = std::find(clients.begin(), clients.end(), client);
    if (it == clients.end()) return eetFindFailure;
    clients.erase(it);
    return eetSuccess;
}

int32_t ANotificationServer::NotifyClients() {
    // A client may detach itself while being notified; walk a snapshot.
    std::vector<ANotificationClient*> snapshot = clients;
    for (ANotificationClient* client : snapshot)
        client->OnNotify(*this);
    return eetSuccess;
}

} // namespace Vantrix
