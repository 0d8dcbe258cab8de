#include "kvfigurefile.h"

#include <QFile>
#include <QList>
#include <cmath>
#include <cstring>

#include "kvapp.h"
#include "kvelement.h"

namespace {

struct Token {
    QByteArray text;
    int line;
};

struct Channel {
    QString type, name, label;
    bool hasStatic = false;
    double staticValue = 0.0;
    QList<QPair<int, double>> keys;
};

struct Actor {
    QString name, label, parent;
    QList<Channel> channels;
};

struct Parsed {
    QString resFile, figureName;
    QList<Actor> actors;
};

const int kMaxDepth = 64;
const int kMaxFrame = 1000000;

bool isChannelType(const QByteArray& t) {
    static const char* const types[] = {"targetGeom", "valueParm",  "rotateX",    "rotateY",
                                        "rotateZ",    "translateX", "translateY", "translateZ",
                                        "scale",      "scaleX",     "scaleY",     "scaleZ"};
    for (const char* type : types)
        if (t == type) return true;
    return false;
}

// Poser numbers actors per figure ("head:1"); bones go by the plain name.
QString boneName(const QByteArray& actor) {
    return QString::fromUtf8(actor).section(QLatin1Char(':'), 0, 0);
}

class Parser {
public:
    Parser(const QByteArray& text, const QString& source) : m_source(source) { tokenize(text); }

    int parse(Parsed* out) {
        if (!expect("{")) return m_code;
        while (ok() && !atEnd() && peek() != "}") {
            const Token t = next();
            if (t.text == "figureResFile") {
                out->resFile = restOfLine(t.line);
            } else if (t.text == "actor") {
                if (atEnd() || peekLine() != t.line)
                    return fail(t.line, KvFigureFile::Syntax,
                                QStringLiteral("actor without a name"));
                Actor a;
                a.name = boneName(next().text);
                parseActor(&a);
                merge(out, a);
            } else if (t.text == "figure") {
                parseFigureBlock(out);
            } else {
                skipStatement(t.line);
            }
        }
        if (ok() && !expect("}")) return m_code;
        return m_code;
    }

    QString message() const { return m_message; }

private:
    void tokenize(const QByteArray& text) {
        int line = 1;
        int i = 0;
        const int n = text.size();
        while (i < n) {
            const char c = text[i];
            if (c == '\n') {
                ++line;
                ++i;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++i;
            } else if (c == '{' || c == '}') {
                m_tokens.append({QByteArray(1, c), line});
                ++i;
            } else {
                int j = i;
                while (j < n && text[j] != '\0' && !std::strchr(" \t\r\n\f\v{}", text[j]))
                    ++j;
                if (j == i) j = i + 1; // a NUL byte is a token of its own
                m_tokens.append({text.mid(i, j - i), line});
                i = j;
            }
        }
    }

    bool ok() const { return m_code == KvFigureFile::Ok; }
    bool atEnd() const { return m_pos >= m_tokens.size(); }
    QByteArray peek() const { return atEnd() ? QByteArray() : m_tokens[m_pos].text; }
    int peekLine() const { return atEnd() ? -1 : m_tokens[m_pos].line; }
    Token next() { return atEnd() ? Token{QByteArray(), lastLine()} : m_tokens[m_pos++]; }
    int lastLine() const { return m_tokens.isEmpty() ? 1 : m_tokens.back().line; }

    int fail(int line, int code, const QString& what) {
        if (ok()) {
            m_code = code;
            m_message = QStringLiteral("%1: line %2: %3").arg(m_source).arg(line).arg(what);
        }
        return m_code;
    }

    bool expect(const char* text) {
        if (atEnd())
            return fail(lastLine(), KvFigureFile::Syntax,
                        QStringLiteral("unexpected end of file, expected \"%1\"").arg(text)) == 0;
        const Token t = next();
        if (t.text != text)
            return fail(t.line, KvFigureFile::Syntax,
                        QStringLiteral("expected \"%1\", found \"%2\"")
                            .arg(text, QString::fromUtf8(t.text.left(40)))) == 0;
        return true;
    }

    QString restOfLine(int line) {
        QStringList words;
        while (!atEnd() && peekLine() == line && peek() != "{" && peek() != "}")
            words << QString::fromUtf8(next().text);
        return words.join(QLatin1Char(' '));
    }

    bool enter(int line) {
        if (++m_depth > kMaxDepth) {
            fail(line, KvFigureFile::TooDeep, QStringLiteral("blocks nested too deeply"));
            return false;
        }
        return expect("{");
    }
    void leave() {
        --m_depth;
        if (ok()) expect("}");
    }

    // Skips the rest of a statement's line and, when a block follows, the whole block.
    void skipStatement(int line) {
        restOfLine(line);
        if (peek() == "{") skipBlock();
    }

    void skipBlock() {
        const int line = peekLine();
        if (!enter(line)) return;
        while (ok() && !atEnd() && peek() != "}") {
            if (peek() == "{")
                skipBlock();
            else
                next();
        }
        leave();
    }

    bool number(const Token& t, double* value) {
        bool good = false;
        const double v = QString::fromUtf8(t.text).toDouble(&good);
        if (!good || !std::isfinite(v)) {
            fail(t.line, KvFigureFile::BadNumber,
                 QStringLiteral("\"%1\" is not a number").arg(QString::fromUtf8(t.text.left(40))));
            return false;
        }
        *value = v;
        return true;
    }

    bool numberOnLine(int line, double* value) {
        if (atEnd() || peekLine() != line || peek() == "{" || peek() == "}") {
            fail(line, KvFigureFile::Syntax, QStringLiteral("a number is missing"));
            return false;
        }
        return number(next(), value);
    }

    void parseActor(Actor* a) {
        if (!enter(peekLine())) return;
        while (ok() && !atEnd() && peek() != "}") {
            const Token t = next();
            if (t.text == "name")
                a->label = restOfLine(t.line);
            else if (t.text == "parent")
                a->parent = boneName(restOfLine(t.line).toUtf8());
            else if (t.text == "channels")
                parseChannels(a);
            else
                skipStatement(t.line);
        }
        leave();
    }

    void parseChannels(Actor* a) {
        if (!enter(peekLine())) return;
        while (ok() && !atEnd() && peek() != "}") {
            const Token t = next();
            if (!isChannelType(t.text)) {
                skipStatement(t.line);
                continue;
            }
            Channel c;
            c.type = QString::fromUtf8(t.text);
            c.name = restOfLine(t.line);
            if (c.name.isEmpty()) {
                fail(t.line, KvFigureFile::Syntax, QStringLiteral("%1 without a name").arg(c.type));
                return;
            }
            parseChannel(&c);
            a->channels.append(c);
        }
        leave();
    }

    void parseChannel(Channel* c) {
        if (!enter(peekLine())) return;
        while (ok() && !atEnd() && peek() != "}") {
            const Token t = next();
            if (t.text == "name")
                c->label = restOfLine(t.line);
            else if (t.text == "keys")
                parseKeys(c);
            else
                skipStatement(t.line);
        }
        leave();
    }

    void parseKeys(Channel* c) {
        if (!enter(peekLine())) return;
        while (ok() && !atEnd() && peek() != "}") {
            const Token t = next();
            if (t.text == "static") {
                if (!numberOnLine(t.line, &c->staticValue)) return;
                c->hasStatic = true;
            } else if (t.text == "k") {
                double frame = 0, value = 0;
                if (!numberOnLine(t.line, &frame) || !numberOnLine(t.line, &value)) return;
                if (frame < 0 || frame > kMaxFrame || frame != std::floor(frame)) {
                    fail(t.line, KvFigureFile::BadNumber,
                         QStringLiteral("key frame %1 is not a whole number from 0 to %2")
                             .arg(frame)
                             .arg(kMaxFrame));
                    return;
                }
                c->keys.append({static_cast<int>(frame), value});
            } else {
                skipStatement(t.line);
            }
        }
        leave();
    }

    void parseFigureBlock(Parsed* out) {
        if (peek() != "{") return;
        if (!enter(peekLine())) return;
        while (ok() && !atEnd() && peek() != "}") {
            const Token t = next();
            if (t.text == "name")
                out->figureName = restOfLine(t.line);
            else
                skipStatement(t.line);
        }
        leave();
    }

    // Poser lists an actor twice (geometry, then channels); both halves make one bone.
    static void merge(Parsed* out, const Actor& a) {
        for (Actor& existing : out->actors)
            if (existing.name == a.name) {
                if (!a.label.isEmpty()) existing.label = a.label;
                if (!a.parent.isEmpty()) existing.parent = a.parent;
                existing.channels += a.channels;
                return;
            }
        out->actors.append(a);
    }

    QString m_source;
    QList<Token> m_tokens;
    int m_pos = 0;
    int m_depth = 0;
    int m_code = KvFigureFile::Ok;
    QString m_message;
};

void keyChannel(KvFloatProperty* p, const Channel& c, int timeStep) {
    if (c.hasStatic) p->setStaticValue(static_cast<float>(c.staticValue));
    for (const auto& k : c.keys)
        p->setKey(k.first * timeStep, static_cast<float>(k.second), 1);
}

QByteArray readAll(const QString& path, int* code, QString* message) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *code = KvFigureFile::CannotOpen;
        *message = QStringLiteral("%1: cannot be opened: %2").arg(path, f.errorString());
        return QByteArray();
    }
    *code = KvFigureFile::Ok;
    return f.readAll();
}

} // namespace

KvSkeleton* KvFigureFile::parseFigure(const QByteArray& text, const QString& source, int timeStep,
                                      int* code, QString* message) {
    Parsed parsed;
    Parser parser(text, source);
    *code = parser.parse(&parsed);
    *message = parser.message();
    if (*code != Ok) return nullptr;
    if (parsed.actors.isEmpty()) {
        *code = NoActors;
        *message = QStringLiteral("%1: the file names no actor").arg(source);
        return nullptr;
    }
    QString name = parsed.figureName;
    if (name.isEmpty()) name = KvFileIO::getBaseFileName(source);
    KvSkeleton* figure = new KvSkeleton(name);
    figure->setDataItem(QStringLiteral("SourceFileData"), source);
    if (!parsed.resFile.isEmpty())
        figure->setDataItem(QStringLiteral("figureResFile"), parsed.resFile);
    for (const Actor& a : parsed.actors) {
        KvBone* bone = figure->addBone(a.name);
        bone->setLabel(a.label);
        // A Poser actor is geometry, so every bone carries its object, morphs or not.
        if (!bone->getObject()) bone->setObject(new KvObject(a.name));
        for (const Channel& c : a.channels) {
            KvFloatProperty* p = nullptr;
            if (c.type == QLatin1String("targetGeom")) {
                KvMorph* morph = bone->getObject()->findMorph(c.name);
                if (!morph) {
                    morph = new KvMorph(c.name);
                    bone->getObject()->addModifier(morph);
                }
                p = morph->getValueChannel();
            } else if (c.type == QLatin1String("valueParm")) {
                p = qobject_cast<KvFloatProperty*>(bone->findProperty(c.name));
                if (!p) {
                    p = new KvFloatProperty(c.name);
                    bone->addProperty(p);
                }
            } else {
                p = bone->controlForChannelType(c.type);
            }
            if (!p) continue;
            if (!c.label.isEmpty()) p->setLabel(c.label);
            keyChannel(p, c, timeStep);
        }
    }
    for (const Actor& a : parsed.actors) {
        KvBone* bone = figure->findBone(a.name);
        KvBone* parent = a.parent.isEmpty() ? nullptr : figure->findBone(a.parent);
        // A parent that is the bone itself or unknown leaves the bone under the figure.
        bone->setParentNode(parent && parent != bone ? static_cast<KvNode*>(parent) : figure);
    }
    return figure;
}

KvSkeleton* KvFigureFile::readFigure(const QString& path, int timeStep, int* code,
                                     QString* message) {
    const QByteArray text = readAll(path, code, message);
    if (*code != Ok) return nullptr;
    return parseFigure(text, path, timeStep, code, message);
}

int KvFigureFile::applyPose(const QByteArray& text, const QString& source, KvSkeleton* figure,
                            int timeStep, QString* message) {
    if (!figure) {
        *message = QStringLiteral("%1: no figure is selected to take the pose").arg(source);
        return NoFigure;
    }
    Parsed parsed;
    Parser parser(text, source);
    const int code = parser.parse(&parsed);
    *message = parser.message();
    if (code != Ok) return code;
    for (const Actor& a : parsed.actors) {
        KvBone* bone = figure->findBone(a.name);
        if (!bone) continue; // poses may name actors of other figures
        for (const Channel& c : a.channels) {
            KvFloatProperty* p = nullptr;
            if (c.type == QLatin1String("targetGeom")) {
                KvMorph* morph = bone->getObject() ? bone->getObject()->findMorph(c.name) : nullptr;
                p = morph ? morph->getValueChannel() : nullptr;
            } else if (c.type == QLatin1String("valueParm")) {
                p = qobject_cast<KvFloatProperty*>(bone->findProperty(c.name));
            } else {
                p = bone->controlForChannelType(c.type);
            }
            if (p) keyChannel(p, c, timeStep);
        }
    }
    return Ok;
}

int KvFigureFile::readPose(const QString& path, KvSkeleton* figure, int timeStep,
                           QString* message) {
    int code = Ok;
    const QByteArray text = readAll(path, &code, message);
    if (code != Ok) return code;
    return applyPose(text, path, figure, timeStep, message);
}
