// Observer pair through which configuration holders tell the driver its tracks are stale.
#pragma once

#include <cstdint>
#include <vector>

namespace Vantrix {

class ANotificationServer;

class ANotificationClient {
public:
    virtual ~ANotificationClient() = default;
    virtual void OnNotify(ANotificationServer& server) = 0;
};

class ANotificationServer {
public:
    virtual ~ANotificationServer() = default;
    // 1 phoneme list, 2 phoneme-to-track mapper, 3 rules mapper, 4 gestures mapper.
    virtual int32_t Kind() const = 0;
    virtual int32_t Notify() = 0;

    // Appends the client unless already attached; always 0.
    int32_t Attach(ANotificationClient* client);
    // 0, or eetFindFailure when the client is not attached.
    int32_t Detach(ANotificationClient* client);
    // Calls OnNotify on every client in order of attachment; 0.
    int32_t NotifyClients();

    const std::vector<ANotificationClient*>& Clients() const { return clients; }

private:
    std::vector<ANotificationClient*> clients;
};

} // namespace Vantrix
