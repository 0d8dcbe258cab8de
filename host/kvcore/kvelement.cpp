#include "kvelement.h"

#include <algorithm>
#include <cmath>

#include "kvscene.h"

KvElement::KvElement(const QString& name, QObject* parent) : QObject(parent), m_name(name) {
    setObjectName(name);
}

KvElement::~KvElement() = default;

void KvElement::addProperty(KvProperty* property) {
    property->setParent(this);
    m_properties.append(property);
}

KvProperty* KvElement::findProperty(const QString& name) const {
    for (KvProperty* p : m_properties)
        if (p->getName() == name) return p;
    return nullptr;
}

KvProperty* KvElement::findPropertyByLabel(const QString& label) const {
    for (KvProperty* p : m_properties)
        if (p->getLabel() == label) return p;
    return nullptr;
}

void KvElement::setDataItem(const QString& name, const QVariant& value) {
    for (KvDataItem& item : m_dataItems)
        if (item.getName() == name) {
            item = KvDataItem(name, value);
            return;
        }
    m_dataItems.append(KvDataItem(name, value));
}

const KvDataItem* KvElement::findDataItem(const QString& name) const {
    for (const KvDataItem& item : m_dataItems)
        if (item.getName() == name) return &item;
    return nullptr;
}

bool KvKey::operator==(const KvKey& o) const {
    return time == o.time && value == o.value && interpolation == o.interpolation &&
           params[0] == o.params[0] && params[1] == o.params[1] && params[2] == o.params[2];
}

KvFloatProperty::KvFloatProperty(const QString& name, float value, QObject* parent)
    : KvProperty(name, parent), m_static(value) {}

void KvFloatProperty::aboutToChange() {
    KvUndoStackHold::recordChange(this);
}

void KvFloatProperty::setKey(int time, float value, int interpolation, float p0, float p1,
                             float p2) {
    aboutToChange();
    KvKey key;
    key.time = time;
    key.value = value;
    key.interpolation = interpolation;
    key.params[0] = p0;
    key.params[1] = p1;
    key.params[2] = p2;
    auto it = std::lower_bound(m_keys.begin(), m_keys.end(), time,
                               [](const KvKey& k, int t) { return k.time < t; });
    if (it != m_keys.end() && it->time == time)
        *it = key;
    else
        m_keys.insert(it, key);
    emit keysChanged();
}

int KvFloatProperty::getKeyTime(int i) const {
    return (i >= 0 && i < m_keys.size()) ? m_keys[i].time : 0;
}

float KvFloatProperty::getKeyValue(int i) const {
    return (i >= 0 && i < m_keys.size()) ? m_keys[i].value : 0.0f;
}

const KvKey* KvFloatProperty::getKey(int i) const {
    return (i >= 0 && i < m_keys.size()) ? &m_keys[i] : nullptr;
}

void KvFloatProperty::removeKeys(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, static_cast<int>(m_keys.size()) - 1);
    if (first > last) return;
    aboutToChange();
    m_keys.remove(first, last - first + 1);
    emit keysChanged();
}

void KvFloatProperty::removeAllKeys() {
    removeKeys(0, m_keys.size() - 1);
}

void KvFloatProperty::setKeys(const QVector<KvKey>& keys) {
    aboutToChange();
    m_keys = keys;
    emit keysChanged();
}

float KvFloatProperty::getValue(int time) const {
    if (m_keys.isEmpty()) return m_static;
    if (time <= m_keys.front().time) return m_keys.front().value;
    if (time >= m_keys.back().time) return m_keys.back().value;
    auto it = std::upper_bound(m_keys.begin(), m_keys.end(), time,
                               [](int t, const KvKey& k) { return t < k.time; });
    const KvKey& a = *(it - 1);
    const KvKey& b = *it;
    const double span = b.time - a.time;
    const double s = (time - a.time) / span;
    switch (a.interpolation) {
    case 0:
        return a.value;
    case 3: {
        // Cubic Hermite segment; the slopes are per tick, so they scale with the span.
        const double s2 = s * s, s3 = s2 * s;
        const double v = (2 * s3 - 3 * s2 + 1) * a.value + (s3 - 2 * s2 + s) * span * a.params[0] +
                         (-2 * s3 + 3 * s2) * b.value + (s3 - s2) * span * a.params[1];
        return static_cast<float>(v);
    }
    default:
        return static_cast<float>(a.value + (b.value - a.value) * s);
    }
}

KvMorph::KvMorph(const QString& name, QObject* parent)
    : KvModifier(name, parent), m_value(new KvFloatProperty(name, 0.0f, this)) {}

void KvObject::addModifier(KvModifier* modifier) {
    modifier->setParent(this);
    m_modifiers.append(modifier);
}

KvMorph* KvObject::findMorph(const QString& name) const {
    for (KvModifier* m : m_modifiers)
        if (m->inherits("KvMorph") && m->name() == name) return static_cast<KvMorph*>(m);
    return nullptr;
}

static const char* const kControlNames[10] = {"xRotate", "yRotate", "zRotate", "xTran",  "yTran",
                                              "zTran",   "xScale",  "yScale",  "zScale", "scale"};

KvNode::KvNode(const QString& name, QObject* parent) : KvElement(name, parent) {
    for (int i = 0; i < 10; ++i)
        m_controls[i] = new KvFloatProperty(kControlNames[i], i >= 6 ? 1.0f : 0.0f, this);
}

void KvNode::setObject(KvObject* object) {
    if (object) object->setParent(this);
    m_object = object;
}

KvFloatProperty* KvNode::controlForChannelType(const QString& type) const {
    static const char* const types[10] = {"rotateX",    "rotateY",    "rotateZ", "translateX",
                                          "translateY", "translateZ", "scaleX",  "scaleY",
                                          "scaleZ",     "scale"};
    for (int i = 0; i < 10; ++i)
        if (type == QLatin1String(types[i])) return m_controls[i];
    return nullptr;
}

QList<KvFloatProperty*> KvNode::channels() const {
    QList<KvFloatProperty*> out;
    for (KvFloatProperty* c : m_controls)
        out.append(c);
    for (KvProperty* p : properties())
        if (p->inherits("KvFloatProperty")) out.append(static_cast<KvFloatProperty*>(p));
    if (m_object)
        for (int i = 0; i < m_object->getNumModifiers(); ++i)
            if (m_object->getModifier(i)->inherits("KvMorph"))
                out.append(static_cast<KvMorph*>(m_object->getModifier(i))->getValueChannel());
    return out;
}

KvSkeleton::KvSkeleton(const QString& name, QObject* parent) : KvNode(name, parent) {}

KvBone* KvSkeleton::addBone(const QString& name) {
    KvBone* bone = new KvBone(name, this);
    bone->setSkeleton(this);
    m_bones.append(bone);
    return bone;
}

KvBone* KvSkeleton::findBone(const QString& name) const {
    for (KvBone* b : m_bones)
        if (b->getName() == name) return b;
    return nullptr;
}
