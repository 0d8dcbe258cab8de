// The plug-in's definition, its class factories and the two functions the host looks up.
#include <QMetaType>
#include <QScriptEngine>

#include "kvparloactions.h"
#include "kvparlopane.h"

namespace {

// A factory for one plug-in class T, which the host's scripts can also construct.
template <class T> class KvParloFactory : public KvClassFactory {
public:
    KvParloFactory(KvPlugin& plugin, const char* guid)
        : KvClassFactory(plugin, &T::staticMetaObject, KvGUID::fromString(QLatin1String(guid))) {}

    QObject* create() override { return new T; }

    void registerClass(QScriptEngine* engine) override {
        KvClassFactory::registerClass(engine);
        static const int typeId = qRegisterMetaType<T*>(metaTypeName());
        Q_UNUSED(typeId);
        qScriptRegisterMetaType<T*>(engine, &toScript, &fromScript);
        QScriptValue ctor = engine->newFunction(&construct, this);
        QScriptValue cls = engine->newQMetaObject(&T::staticMetaObject, ctor);
        engine->globalObject().setProperty(QLatin1String(T::staticMetaObject.className()), cls,
                                           QScriptValue::KeepExistingFlags);
    }

private:
    static QByteArray metaTypeName() { return QByteArray(T::staticMetaObject.className()) + '*'; }

    static QScriptValue toScript(QScriptEngine* engine, T* const& object) {
        QScriptValue value = engine->newQObject(object, QScriptEngine::QtOwnership);
        registerEnumsOnClass(&T::staticMetaObject, value);
        return value;
    }

    static void fromScript(const QScriptValue& value, T*& object) {
        QObject* o = value.toQObject();
        object = o ? static_cast<T*>(T::staticMetaObject.cast(o)) : nullptr;
    }

    static QScriptValue construct(QScriptContext*, QScriptEngine* engine, void* factory) {
        auto* self = static_cast<KvParloFactory*>(factory);
        QScriptValue value = engine->newQObject(self->create(), scriptOwnership());
        registerEnumsOnClass(&T::staticMetaObject, value);
        return value;
    }
};

// Built in this order when the library loads: the definition, then its factories.
KvPlugin gPlugin(QStringLiteral("Lip Sync"), QString(), QString(), 0);
struct DefinitionFields {
    DefinitionFields() {
        gPlugin.setAuthor(QStringLiteral("Voxtrail"));
        gPlugin.setVersion(0x01000818u);
        gPlugin.setDescription(QStringLiteral("Basic Lip-synching functionality."));
    }
} gDefinitionFields;

KvParloFactory<KvParloPane> gPaneFactory(gPlugin, "84BCA1BE-9B29-45a7-99EB-3208AA7FFB78");
KvParloFactory<KvParloPaneAction> gPaneActionFactory(gPlugin,
                                                     "C8984698-BF51-4b01-8762-F4658C36B772");
KvParloFactory<KvBrowseForParloProAction>
    gBrowseActionFactory(gPlugin, "61B4ECC4-A955-4e4a-A0EF-EB2068888ED7");

} // namespace

extern "C" __attribute__((visibility("default"))) unsigned int getSDKVersion() {
    return 0x0300013D;
}

extern "C" __attribute__((visibility("default"))) KvPlugin* getPluginDefinition() {
    return &gPlugin;
}
