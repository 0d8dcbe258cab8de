// A plug-in that claims an SDK version the host does not have.
#include "kvplugin.h"

static KvPlugin gPlugin(QStringLiteral("Wrong SDK"), QString(), QString(), 1);

extern "C" __attribute__((visibility("default"))) unsigned int getSDKVersion() {
    return 0x02000001;
}
extern "C" __attribute__((visibility("default"))) KvPlugin* getPluginDefinition() {
    return &gPlugin;
}
