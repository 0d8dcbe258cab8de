// Reads figures (CR2) and poses (PZ2) in the subset described in host/README.md.
#pragma once

#include <QByteArray>
#include <QString>

class KvSkeleton;

class KvFigureFile {
public:
    enum Error {
        Ok = 0,
        CannotOpen = 1,
        Syntax = 2,
        BadNumber = 3,
        NoActors = 4,
        TooDeep = 5,
        NoFigure = 6,
    };

    // Builds a new figure from CR2 text, keys at frame * timeStep ticks. Null on error, with
    // code and message set; source is the path named in messages and in "SourceFileData".
    static KvSkeleton* parseFigure(const QByteArray& text, const QString& source, int timeStep,
                                   int* code, QString* message);
    static KvSkeleton* readFigure(const QString& path, int timeStep, int* code, QString* message);

    // Keys the channels a PZ2 pose names on figure. Nothing changes unless all of it parses.
    static int applyPose(const QByteArray& text, const QString& source, KvSkeleton* figure,
                         int timeStep, QString* message);
    static int readPose(const QString& path, KvSkeleton* figure, int timeStep, QString* message);
};
