// Scene elements: nodes, skeletons, bones, objects with modifiers, morphs and animated properties.
#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

class KvObject;
class KvSkeleton;

// Start and end ticks of a span of the timeline.
class KvTimeRange {
public:
    KvTimeRange(int start = 0, int end = 0) : m_start(start), m_end(end) {}
    int getStart() const { return m_start; }
    int getEnd() const { return m_end; }
    void setEnds(int start, int end) {
        m_start = start;
        m_end = end;
    }
    bool operator==(const KvTimeRange& o) const { return m_start == o.m_start && m_end == o.m_end; }

private:
    int m_start, m_end;
};

// A named value attached to an element, such as the file a figure was read from.
class KvDataItem {
public:
    KvDataItem(const QString& name, const QVariant& value) : m_name(name), m_value(value) {}
    const QString& getName() const { return m_name; }
    QString getValueAsText() const { return m_value.toString(); }
    QVariant getValue() const { return m_value; }

private:
    QString m_name;
    QVariant m_value;
};

class KvProperty;

// Base of every host object: a name, a label shown to the user, properties and data items.
class KvElement : public QObject {
    Q_OBJECT
public:
    explicit KvElement(const QString& name, QObject* parent = nullptr);
    ~KvElement() override;

    QString name() const { return m_name; }
    QString getName() const { return m_name; }
    QString getLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    void setLabel(const QString& label) { m_label = label; }

    void addProperty(KvProperty* property);
    const QList<KvProperty*>& properties() const { return m_properties; }
    KvProperty* findProperty(const QString& name) const;
    KvProperty* findPropertyByLabel(const QString& label) const;

    void setDataItem(const QString& name, const QVariant& value);
    const KvDataItem* findDataItem(const QString& name) const;

private:
    QString m_name, m_label;
    QList<KvProperty*> m_properties;
    QList<KvDataItem> m_dataItems;
};

class KvProperty : public KvElement {
    Q_OBJECT
public:
    explicit KvProperty(const QString& name, QObject* parent = nullptr) : KvElement(name, parent) {}
};

// One key of an animated value. Interpolation 0 holds, 1 is linear, 3 is a cubic whose slopes
// (value per tick) leaving this key and arriving at the next are params[0] and params[1].
struct KvKey {
    int time = 0;
    float value = 0.0f;
    int interpolation = 1;
    float params[3] = {0.0f, 0.0f, 0.0f};
    bool operator==(const KvKey& o) const;
};

class KvFloatProperty : public KvProperty {
    Q_OBJECT
public:
    explicit KvFloatProperty(const QString& name, float value = 0.0f, QObject* parent = nullptr);

    float getStaticValue() const { return m_static; }
    void setStaticValue(float value) { m_static = value; }

    // A key at a time that already has one replaces it.
    void setKey(int time, float value, int interpolation = 3, float p0 = 0.0f, float p1 = 0.0f,
                float p2 = 0.0f);
    int getNumKeys() const { return m_keys.size(); }
    int getKeyTime(int i) const;
    float getKeyValue(int i) const;
    const KvKey* getKey(int i) const;
    // Removes keys first..last inclusive; out-of-range indices are clipped.
    void removeKeys(int first, int last);
    void removeAllKeys();
    float getValue(int time) const;

    const QVector<KvKey>& keys() const { return m_keys; }
    void setKeys(const QVector<KvKey>& keys);

signals:
    void keysChanged();

private:
    void aboutToChange();

    float m_static;
    QVector<KvKey> m_keys;
};

class KvModifier : public KvElement {
    Q_OBJECT
public:
    explicit KvModifier(const QString& name, QObject* parent = nullptr) : KvElement(name, parent) {}
};

// A morph target whose weight is its value channel.
class KvMorph : public KvModifier {
    Q_OBJECT
public:
    explicit KvMorph(const QString& name, QObject* parent = nullptr);
    KvFloatProperty* getValueChannel() const { return m_value; }

private:
    KvFloatProperty* m_value;
};

// The geometry a node carries, with its modifiers in order.
class KvObject : public KvElement {
    Q_OBJECT
public:
    explicit KvObject(const QString& name, QObject* parent = nullptr) : KvElement(name, parent) {}
    int getNumModifiers() const { return m_modifiers.size(); }
    KvModifier* getModifier(int i) const { return m_modifiers.value(i); }
    void addModifier(KvModifier* modifier);
    KvMorph* findMorph(const QString& name) const;

private:
    QList<KvModifier*> m_modifiers;
};

class KvNode : public KvElement {
    Q_OBJECT
public:
    explicit KvNode(const QString& name, QObject* parent = nullptr);

    KvNode* getParentNode() const { return m_parentNode; }
    void setParentNode(KvNode* node) { m_parentNode = node; }
    // The skeleton this node belongs to (itself for a skeleton), or null.
    virtual KvSkeleton* getSkeleton() const { return m_skeleton; }
    void setSkeleton(KvSkeleton* skeleton) { m_skeleton = skeleton; }
    KvObject* getObject() const { return m_object; }
    void setObject(KvObject* object);

    KvFloatProperty* getXRotateControl() const { return m_controls[0]; }
    KvFloatProperty* getYRotateControl() const { return m_controls[1]; }
    KvFloatProperty* getZRotateControl() const { return m_controls[2]; }
    KvFloatProperty* getXPositionControl() const { return m_controls[3]; }
    KvFloatProperty* getYPositionControl() const { return m_controls[4]; }
    KvFloatProperty* getZPositionControl() const { return m_controls[5]; }
    KvFloatProperty* getXScaleControl() const { return m_controls[6]; }
    KvFloatProperty* getYScaleControl() const { return m_controls[7]; }
    KvFloatProperty* getZScaleControl() const { return m_controls[8]; }
    KvFloatProperty* getScaleControl() const { return m_controls[9]; }
    // The control a figure file names by its channel type ("rotateX", "scale", ...), or null.
    KvFloatProperty* controlForChannelType(const QString& type) const;
    // Every animated value of the node: controls, own properties and its object's morphs.
    QList<KvFloatProperty*> channels() const;

private:
    KvNode* m_parentNode = nullptr;
    KvSkeleton* m_skeleton = nullptr;
    KvObject* m_object = nullptr;
    KvFloatProperty* m_controls[10];
};

class KvBone : public KvNode {
    Q_OBJECT
public:
    explicit KvBone(const QString& name, QObject* parent = nullptr) : KvNode(name, parent) {}
};

// A figure: the skeleton node owns its bones.
class KvSkeleton : public KvNode {
    Q_OBJECT
public:
    explicit KvSkeleton(const QString& name, QObject* parent = nullptr);
    KvSkeleton* getSkeleton() const override { return const_cast<KvSkeleton*>(this); }
    KvBone* addBone(const QString& name);
    KvBone* findBone(const QString& name) const;
    const QList<KvBone*>& bones() const { return m_bones; }

private:
    QList<KvBone*> m_bones;
};
